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
# What `apt search` and `apt show` find: the words someone looking for the
# tools would type (Atari 8-bit, character mode, fonts, picture, converter,
# viewer) are in the summary or the first lines.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Atari 8-bit character-mode picture converter")
if(TARGET qdpview)
  string(APPEND CPACK_PACKAGE_DESCRIPTION_SUMMARY " and viewer")
endif()
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "qdpext is a converter for pictures drawn for the Atari 8-bit computers\n"
  "(400/800/XL/XE) in character mode, where a picture is made of fonts and\n"
  "screen codes. It is for the people who draw such pictures and for those who\n"
  "write the programs that show them on the machine.\n"
  "It reads a picture project (.qdp, plain or zlib-compressed) and writes the\n"
  "parts the user selects as raw side files beside it, ready to be loaded into\n"
  "the machine's memory: the fonts in use (.fnt), the screen codes (.scr), the\n"
  "font of every character line (.tab), the 240-line bitmap (.mic) and the\n"
  "colour registers of every scanline (.col). Depending on the project's\n"
  "conversion mode it first rebuilds the fonts and screen codes from the\n"
  "picture.")
if(TARGET qdpview)
  string(APPEND CPACK_PACKAGE_DESCRIPTION
    "\nThe viewer qdpview draws each picture as the machine shows it, in PAL or\n"
    "NTSC colours, as PNG files with a sheet of its fonts, summarises it, and\n"
    "checks that the rebuilt fonts draw the same picture.")
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
