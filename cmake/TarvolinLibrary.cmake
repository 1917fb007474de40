# tarvolin_add_library(<name> [QT <components>] [DEPS <targets>])
# A subsystem folder is one static library named after the folder, built from
# every source, header, form and resource file in it.
function(tarvolin_add_library name)
  cmake_parse_arguments(L "" "" "QT;DEPS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.ui
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER _sources EXCLUDE REGEX ".*/main\\.cpp$")
  set(_cpp ${_sources})
  list(FILTER _cpp INCLUDE REGEX ".*\\.cpp$")
  if(NOT _cpp)
    # A folder whose units have not been written yet still yields a library.
    set(_stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${_stub} "// no units yet\n")
    list(APPEND _sources ${_stub})
  endif()
  add_library(${name} STATIC ${_sources})
  # Build-tree paths and our compile options stay out of what an install
  # exports (cmake/TarvolinWidgetsSdk.cmake).
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>)
  foreach(_c IN LISTS L_QT)
    target_link_libraries(${name} PUBLIC Qt6::${_c})
  endforeach()
  target_link_libraries(${name} PUBLIC ${L_DEPS} PRIVATE $<BUILD_INTERFACE:tarvolin_options>)
endfunction()
