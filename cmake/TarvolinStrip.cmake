# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) on the files it is about to package:
# strips them as Debian's dh_strip does, which plain `strip` does not.
# Programs and shared objects lose their symbols and the compiler's .comment
# and .note sections; static libraries keep their symbols, lose their
# debugging information and those sections, and get deterministic archive
# headers.
if(NOT CPACK_TARVOLIN_STRIP)
  return()
endif()
file(GLOB_RECURSE _files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(_f IN LISTS _files)
  if(IS_SYMLINK "${_f}")
    continue()
  endif()
  file(READ "${_f}" _magic LIMIT 8 HEX)
  if(_magic MATCHES "^7f454c46")
    set(_how --strip-unneeded)
  elseif(_magic STREQUAL "213c617263683e0a") # "!<arch>\n"
    set(_how --strip-debug --enable-deterministic-archives)
  else()
    continue()
  endif()
  execute_process(
    COMMAND ${CPACK_TARVOLIN_STRIP} ${_how} --remove-section=.comment --remove-section=.note "${_f}"
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "Could not strip ${_f}")
  endif()
endforeach()
