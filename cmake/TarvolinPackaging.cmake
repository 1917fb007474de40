# Packaging: `cpack -G DEB` in a build folder makes an installable Debian
# package of the program's install component "tarvolin": the executable, its
# manual beside it, the desktop entry and the icons. The example programs and
# the Qt Designer plugin, which `cmake --install` also installs, stay out of
# it. A project that includes this one with add_subdirectory() packages
# itself.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

set(CPACK_PACKAGE_NAME "tarvolin")
set(CPACK_PACKAGE_VENDOR "Dremsel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Converter of a 32-bit value between binary, decimal, hexadecimal, octal, ASCII and colour")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvolin shows one unsigned 32-bit value at once as binary, decimal, hexadecimal,\
 octal and four-character ASCII text, and as an RGB swatch; typing in any field\
 rewrites the others. It can live in the notification area and start at logon.")
set(CPACK_PACKAGE_CONTACT "Dremsel <tarvolin@dremsel.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.dremsel.example/tarvolin/")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "tarvolin")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR "DEB")
set(CPACK_COMPONENTS_ALL tarvolin)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "devel")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The run-time libraries are worked out from the installed executable.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
