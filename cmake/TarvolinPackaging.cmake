# Packaging: `cpack -G DEB` in a build folder makes two Debian packages.
#   tarvolin: the program's install component "tarvolin": the executable,
#     the desktop entry, AppStream metadata and icons, the manual page, and
#     in /usr/share/doc/tarvolin the HTML manual, the copyright file and the
#     changelog.
#   libtarvolin-widgets-dev: the component "widgets-dev": the widget
#     library's static libraries, headers and CMake package, and the Qt
#     Designer plugin (cmake/TarvolinWidgetsSdk.cmake).
# The example programs stay out of both. A project that includes this one
# with add_subdirectory() packages itself.
#
# Debian's own checks, as the package tests run them:
#   lintian --pedantic tarvolin_1.3_amd64.deb
#   appstreamcli validate --no-net --pedantic usr/share/metainfo/*.xml
#   desktop-file-validate usr/share/applications/*.desktop
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

# Every Debian package carries its copyright file and changelog in
# /usr/share/doc/<package>. The version has no Debian revision, so this is a
# native package: its changelog is changelog.gz, not changelog.Debian.gz.
foreach(_c tarvolin widgets-dev)
  set(_doc ${TARVOLIN_INSTALL_DOCDIR})
  if(_c STREQUAL widgets-dev)
    set(_doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/libtarvolin-widgets-dev)
  endif()
  install(FILES ${TARVOLIN_ROOT}/packaging/copyright DESTINATION ${_doc} COMPONENT ${_c})
  tarvolin_install_gzipped(${TARVOLIN_ROOT}/packaging/changelog DESTINATION ${_doc} COMPONENT ${_c})
endforeach()
# Registers the HTML manual with doc-base, so documentation browsers list it.
install(FILES ${TARVOLIN_ROOT}/packaging/tarvolin.doc-base
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc-base RENAME tarvolin
        COMPONENT tarvolin)

set(CPACK_PACKAGE_NAME "tarvolin")
set(CPACK_PACKAGE_VENDOR "Dremsel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Dremsel <tarvolin@dremsel.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.dremsel.example/tarvolin/")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "tarvolin")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
# Stripped as Debian's dh_strip does (cmake/TarvolinStrip.cmake).
set(CPACK_STRIP_FILES OFF)
set(CPACK_TARVOLIN_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${TARVOLIN_ROOT}/cmake/TarvolinStrip.cmake)
set(CPACK_GENERATOR "DEB")
set(CPACK_COMPONENTS_ALL tarvolin widgets-dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")

# The program's package. Its run-time libraries are worked out from the
# installed executable. Description lines stay under 80 columns.
set(CPACK_DEBIAN_TARVOLIN_PACKAGE_NAME "tarvolin")
set(CPACK_DEBIAN_TARVOLIN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_TARVOLIN_PACKAGE_SECTION "devel")
set(CPACK_DEBIAN_TARVOLIN_PACKAGE_SHLIBDEPS ON)
# Help > Users Manual and the web links hand their page to xdg-open; without
# it the program can only say that nothing opened the manual.
set(CPACK_DEBIAN_TARVOLIN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_COMPONENT_TARVOLIN_DESCRIPTION
"converter of a 32-bit value between number bases, ASCII and colour
Tarvolin is a small desktop utility for programmers. Its one window shows
a single unsigned 32-bit value at once as binary, decimal, hexadecimal,
octal and four-character ASCII text, and as an RGB colour swatch; typing
into any field rewrites the others. It can swap the value's byte order,
copy any field to the clipboard, live in the notification area and start
when the user logs in.")

# The widget SDK, named as Debian names development files of a library
# ("libtarvolin-widgets" has no run-time package: it is static). The Designer
# plugin is in it: it is only of use to someone who compiles the forms it
# helps to draw, which takes this package anyway, and it adds no dependency
# (the plugin links the same static widget code and Qt Widgets).
set(CPACK_DEBIAN_WIDGETS-DEV_PACKAGE_NAME "libtarvolin-widgets-dev")
set(CPACK_DEBIAN_WIDGETS-DEV_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_WIDGETS-DEV_PACKAGE_SECTION "libdevel")
set(CPACK_DEBIAN_WIDGETS-DEV_PACKAGE_SOURCE "tarvolin")
set(CPACK_DEBIAN_WIDGETS-DEV_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_WIDGETS-DEV_PACKAGE_DEPENDS "qt6-base-dev (>= ${Qt6_VERSION_MAJOR}.${Qt6_VERSION_MINOR})")
set(CPACK_COMPONENT_WIDGETS-DEV_DESCRIPTION
"Tarvolin's Qt widgets: hex editor, shaded panel, mark-up label
Static libraries, headers and a CMake package (TarvolinWidgets) for Qt 6
Widgets programs that use the widgets of Tarvolin's library:
 - THexEditor, a hex-editor control with undo and redo, search, and load
   and save of files of any size (read in pages, never whole), over
   THexDocument, which works without a widget as well;
 - TGlimraPanel, a container that paints a shaded bar along its edges;
 - THtmlLabel, a label that draws a few inline mark-up tags.
A Qt Designer plugin puts the three widgets on Designer's widget box.")

include(CPack)
