# Cross-builds qdpext.exe for 64-bit Windows with Debian's mingw-w64
# (g++-mingw-w64-x86-64-posix: the POSIX thread model, which std::thread and
# GoogleTest need) and runs the tests under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QDP_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QDP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QDP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QDP_MINGW_PREFIX}-windres)

# Libraries and headers (zlib from libz-mingw-w64-dev) come from the target
# tree only; programs such as groff come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QDP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine. Debian's wine64 package puts its launcher in
# /usr/lib/wine, off the PATH; the wine package adds /usr/bin/wine.
find_program(QDP_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(QDP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QDP_WINE})
endif()
