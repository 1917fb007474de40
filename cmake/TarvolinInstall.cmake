# Where an install puts Tarvolin's files, and a helper to install a file
# compressed as Debian wants it.

# The desktop entry and AppStream id: the maker's domain reversed.
set(TARVOLIN_APP_ID example.dremsel.tarvolin)
# The manual and the package documentation. The manual launcher looks for the
# manual in ../share/doc/tarvolin beside the executable's folder, so this
# stays share/doc/tarvolin (GNUInstallDirs' DOCDIR would be .../Tarvolin).
set(TARVOLIN_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvolin)

# Directories an install creates are 755 whatever the umask, as packages
# need them.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

find_program(TARVOLIN_GZIP gzip REQUIRED)

# tarvolin_install_gzipped(<source file> DESTINATION <dir> COMPONENT <name>
#                          [RENAME <name>.gz])
# Compresses the file at build time with gzip -9n (best compression, no name
# or time stamp, so the result is the same on every build) and installs it.
function(tarvolin_install_gzipped source)
  cmake_parse_arguments(G "" "DESTINATION;COMPONENT;RENAME" "" ${ARGN})
  get_filename_component(_name ${source} NAME)
  if(NOT G_RENAME)
    set(G_RENAME ${_name}.gz)
  endif()
  set(_dir ${CMAKE_CURRENT_BINARY_DIR}/gz/${G_COMPONENT})
  set(_out ${_dir}/${G_RENAME})
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}
    COMMAND ${TARVOLIN_GZIP} -9nc ${source} > ${_out}
    DEPENDS ${source}
    COMMENT "Compressing ${_name}")
  string(MAKE_C_IDENTIFIER "tarvolin_gz_${G_COMPONENT}_${G_RENAME}" _target)
  add_custom_target(${_target} ALL DEPENDS ${_out})
  install(FILES ${_out} DESTINATION ${G_DESTINATION} COMPONENT ${G_COMPONENT})
endfunction()
