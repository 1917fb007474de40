# The widget library as an SDK for other Qt programs: the install component
# "widgets-dev" holds the static libraries numbase, controls and hexcontrol,
# their public headers in include/tarvolin, and the CMake package
# TarvolinWidgets with the imported targets Tarvolin::controls and
# Tarvolin::hexcontrol (Tarvolin::numbase comes along as their dependency).
#   cmake --install <build> --component widgets-dev --prefix <prefix>
#
# The package has a version of its own, which follows what users' code sees:
# the major number goes up when their code must change. 2.0: THexEditor's
# offsets, sizes and the signals that carry them are qint64 (a slot taking
# int no longer connects), and the hex editor works over a THexDocument.
# 2.1: selection, insert mode, clipboard and find-and-replace in the editor.
set(TARVOLIN_WIDGETS_VERSION 2.1)
#
# Static libraries: their classes expose their data layout (fixed arrays in
# THexEditor and THitList, TChangeLog's stacks), so a shared library could
# promise no stable ABI; static linking needs no SONAME, no exported-symbol
# list and no run-time package. They are built position-independent, so a
# program, a shared library or a plugin (like the Designer plugin) can link
# them.
include(CMakePackageConfigHelpers)

set(_sdk_libraries numbase controls hexcontrol)
set(_sdk_include ${CMAKE_INSTALL_INCLUDEDIR}/tarvolin)
set(_sdk_cmake ${CMAKE_INSTALL_LIBDIR}/cmake/TarvolinWidgets)

# The public headers: every header of controls/, the hex editor's own, and
# whatever those include from the SDK's folders, followed to the end, so a
# header that starts including another one takes it along.
file(GLOB _sdk_pending ${TARVOLIN_ROOT}/controls/*.h)
list(APPEND _sdk_pending ${TARVOLIN_ROOT}/hexcontrol/Hexcontrol.h ${TARVOLIN_ROOT}/hexcontrol/Hexdocument.h
     ${TARVOLIN_ROOT}/hexcontrol/Hexaccessible.h ${TARVOLIN_ROOT}/hexcontrol/Hexvalueview.h
     ${TARVOLIN_ROOT}/hexcontrol/Hexgoto.h ${TARVOLIN_ROOT}/numbase/Numbase.h)
set(_sdk_headers "")
while(_sdk_pending)
  list(POP_FRONT _sdk_pending _h)
  if(_h IN_LIST _sdk_headers)
    continue()
  endif()
  list(APPEND _sdk_headers ${_h})
  file(STRINGS ${_h} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(_line IN LISTS _lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" _inc "${_line}")
    set(_found "")
    foreach(_dir numbase controls hexcontrol)
      if(EXISTS ${TARVOLIN_ROOT}/${_dir}/${_inc})
        set(_found ${TARVOLIN_ROOT}/${_dir}/${_inc})
      endif()
    endforeach()
    if(NOT _found)
      message(FATAL_ERROR "${_h} includes \"${_inc}\", which is not in numbase/, controls/ or hexcontrol/: "
                          "the installed widget headers would not compile.")
    endif()
    list(APPEND _sdk_pending ${_found})
  endforeach()
endwhile()
install(FILES ${_sdk_headers} DESTINATION ${_sdk_include} COMPONENT widgets-dev)

foreach(_lib IN LISTS _sdk_libraries)
  # Installed as libtarvolin-<name>.a, so the names cannot clash with other
  # libraries in the system's library folder.
  set_target_properties(${_lib} PROPERTIES OUTPUT_NAME tarvolin-${_lib} EXPORT_NAME ${_lib})
  target_include_directories(${_lib} INTERFACE $<INSTALL_INTERFACE:${_sdk_include}>)
endforeach()
# Libraries built with the sanitizers need their run-time in every program
# that links them.
if(TARVOLIN_SANITIZE)
  target_link_options(numbase INTERFACE $<INSTALL_INTERFACE:-fsanitize=address,undefined>)
endif()
install(TARGETS ${_sdk_libraries} EXPORT TarvolinWidgetsTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT widgets-dev)
install(EXPORT TarvolinWidgetsTargets NAMESPACE Tarvolin::
        DESTINATION ${_sdk_cmake} COMPONENT widgets-dev)

set(TARVOLIN_WIDGETS_QT_VERSION ${Qt6_VERSION_MAJOR}.${Qt6_VERSION_MINOR})
configure_package_config_file(${TARVOLIN_ROOT}/cmake/TarvolinWidgetsConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TarvolinWidgetsConfig.cmake
  INSTALL_DESTINATION ${_sdk_cmake})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TarvolinWidgetsConfigVersion.cmake
  VERSION ${TARVOLIN_WIDGETS_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TarvolinWidgetsConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/TarvolinWidgetsConfigVersion.cmake
        DESTINATION ${_sdk_cmake} COMPONENT widgets-dev)
