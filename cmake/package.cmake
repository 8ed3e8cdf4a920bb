# The Debian package: `cpack -G DEB` in the build directory makes
# qdpext_VERSION_ARCH.deb from the install rules, so every program and
# manual page that installs itself is in it.
set(QDP_PACKAGE_MAINTAINER "qdpext developers <qdpext-developers@invalid>"
    CACHE STRING "Maintainer line of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qdpext)
set(CPACK_PACKAGE_VENDOR "qdpext developers")
set(CPACK_PACKAGE_CONTACT "${QDP_PACKAGE_MAINTAINER}")
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
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QDP_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the programs' real shared libraries (dpkg-shlibdeps,
# from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
