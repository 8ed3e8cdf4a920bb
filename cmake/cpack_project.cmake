# Read by cpack once per generator (CPACK_PROJECT_CONFIG_FILE).
# The .deb holds the programs, their manual pages and completions, and the
# Debian copyright and changelog files; it leaves out the plain LICENSE,
# whose text its copyright file carries. Other generators take everything a
# plain `cmake --install` installs.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_INSTALL_CMAKE_PROJECTS
      "${CPACK_QDP_BINARY_DIR};qdpext;${CPACK_QDP_DEFAULT_COMPONENT};/"
      "${CPACK_QDP_BINARY_DIR};qdpext;debian;/")
endif()
