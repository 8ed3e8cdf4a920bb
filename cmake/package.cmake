# The Debian package: `cpack -G DEB` in the build directory makes
# qdpext_VERSION_ARCH.deb from the install rules, so every program and
# manual page that installs itself is in it.

# The project has no mail address of its own. The default names one under
# .invalid, a top-level domain reserved so that no one can ever own it or
# receive its mail; whoever builds a package to hand out sets their own:
# -DQDP_MAINTAINER="Name <mail>".
set(QDP_MAINTAINER "qdpext developers <qdpext@qdpext.invalid>"
    CACHE STRING "Maintainer line of the Debian package: Name <mail>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qdpext)
set(CPACK_PACKAGE_VENDOR "qdpext developers")
set(CPACK_PACKAGE_CONTACT "${QDP_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "extract fonts, screen and bitmap from .qdp picture projects")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "qdpext reads a character-mode picture project (.qdp, plain or zlib-compressed)\n"
  "and writes the parts the user selects as raw side files beside it: the fonts\n"
  "in use (.fnt), the screen codes (.scr), the font of every line (.tab), the\n"
  "rendered 240-line bitmap (.mic) and the colour tables (.col). Depending on the\n"
  "project's conversion mode it first rebuilds the fonts and screen codes from\n"
  "the rendered bitmap.")
if(TARGET qdpview)
  string(APPEND CPACK_PACKAGE_DESCRIPTION
    "\nThe companion program qdpview draws each project as PNG previews (the\n"
    "picture and a sheet of its fonts), summarises it, and checks that the\n"
    "rebuilt fonts draw the same picture.")
endif()
if(TARGET qdpimport)
  string(APPEND CPACK_PACKAGE_DESCRIPTION
    "\nqdpimport turns PNG and JPEG pictures into projects that the machine shows\n"
    "as close to the picture as its hardware allows: a mode for every line,\n"
    "colours for every scanline, dithered cells and shared fonts.")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QDP_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the programs' real shared libraries (dpkg-shlibdeps,
# from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_RESOURCE_FILE_LICENSE ${QDP_LICENSE_FILE})

# Debian wants the licence as usr/share/doc/qdpext/copyright (in its
# machine-readable format) and the release history as changelog.gz beside
# it; both come from packaging/. They form the install component "debian",
# which only the .deb takes (cmake/cpack_project.cmake): the .deb leaves
# out the plain LICENSE instead, so the licence is there once.
if(NOT WIN32)
  file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_top LIMIT_COUNT 1)
  if(NOT changelog_top MATCHES "^qdpext \\(${PROJECT_VERSION}\\) ")
    message(WARNING "packaging/changelog does not start with an entry for version "
                    "${PROJECT_VERSION}: add one before making a package")
  endif()
  set(changelog_gz ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${changelog_gz}
                     COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
                     DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
  add_custom_target(debian_changelog ALL DEPENDS ${changelog_gz})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog_gz}
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
endif()
set(CPACK_QDP_BINARY_DIR ${CMAKE_BINARY_DIR})
if(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME)
  set(CPACK_QDP_DEFAULT_COMPONENT ${CMAKE_INSTALL_DEFAULT_COMPONENT_NAME})
else()
  set(CPACK_QDP_DEFAULT_COMPONENT Unspecified)
endif()
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_project.cmake)

include(CPack)
