# The Windows build: qdpext.exe and qdpimport.exe cross-built with mingw-w64
# (cmake/mingw-w64-x86_64.cmake), their tests run under wine, and the zip a
# Windows user unpacks.

# Nothing but the system's own DLLs may be needed at run time: Windows has
# no shared copy of libgcc, libstdc++ or winpthread to rely on. The test
# programs are linked the same way so that wine needs no search path.
add_link_options(-static)

# --- wine -------------------------------------------------------------
# Every wine process of this build uses the build's own prefix, made by the
# first run, so that tests neither depend on nor change the user's ~/.wine.
# The toolchain file names the wine launcher; the variable is wrapped here
# so that test discovery at build time and the tests alike get the prefix.
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
  set(QDP_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 QDP_WINE_LAUNCHER)
  find_program(QDP_ENV env REQUIRED)
  find_program(QDP_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine)
  # Wine looks for its server in a folder below $TMPDIR: a test that sets
  # its own TMPDIR would start a server of its own on every run.
  set(QDP_WINE_ENV -u TMPDIR WINEPREFIX=${QDP_WINEPREFIX} WINEDEBUG=-all)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QDP_ENV} ${QDP_WINE_ENV} ${QDP_WINE_LAUNCHER})
endif()

# --- picture libraries ------------------------------------------------
# qdpimport.exe reads PNG and JPEG with libpng and libjpeg-turbo, which
# Debian ships for the build machine only: they are built here from
# Debian's source packages with this toolchain (cmake/windows-deps.sh),
# static, the first time, and kept in the build folder. The header-only
# libraries (nlohmann-json for the summaries, CLI11, stb_image_resize) are
# copied from the build machine's packages into a folder of their own,
# since /usr/include's system headers must never reach the cross compiler.
# Without them qdpext.exe is built alone.
function(qdp_windows_picture_libraries)
  set(deps ${PROJECT_BINARY_DIR}/deps)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env MINGW_CC=${CMAKE_C_COMPILER} MINGW_AR=${CMAKE_AR}
            sh ${PROJECT_SOURCE_DIR}/cmake/windows-deps.sh ${deps}
            ${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
    RESULT_VARIABLE failed)
  find_package(nlohmann_json 3 CONFIG QUIET NO_CMAKE_FIND_ROOT_PATH)
  find_path(QDP_HOST_CLI11 CLI/CLI.hpp NO_CMAKE_FIND_ROOT_PATH)
  find_path(QDP_HOST_STB stb/stb_image_resize.h NO_CMAKE_FIND_ROOT_PATH)
  if(failed OR NOT nlohmann_json_FOUND OR NOT QDP_HOST_CLI11 OR NOT QDP_HOST_STB)
    message(WARNING "qdpimport.exe skipped: it needs libpng and libjpeg-turbo built from "
                    "Debian's sources (dpkg-dev, an apt source), nlohmann-json3-dev, "
                    "libcli11-dev and libstb-dev")
    return()
  endif()
  get_target_property(json nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
  set(headers ${deps}/headers)
  file(COPY ${json}/nlohmann ${QDP_HOST_CLI11}/CLI DESTINATION ${headers})
  file(COPY ${QDP_HOST_STB}/stb/stb_image_resize.h DESTINATION ${headers}/stb)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                        INTERFACE_INCLUDE_DIRECTORIES ${headers} IMPORTED_GLOBAL TRUE)
  set(QDP_CLI11_INCLUDE ${headers} CACHE PATH "CLI11's headers alone" FORCE)
  set(QDP_STB_INCLUDE ${headers} CACHE PATH "stb_image_resize alone" FORCE)
  set(PNG_PNG_INCLUDE_DIR ${deps}/include CACHE PATH "libpng for Windows" FORCE)
  set(PNG_LIBRARY ${deps}/lib/libpng16.a CACHE FILEPATH "libpng for Windows" FORCE)
  set(JPEG_INCLUDE_DIR ${deps}/include CACHE PATH "libjpeg-turbo for Windows" FORCE)
  set(JPEG_LIBRARY ${deps}/lib/libjpeg.a CACHE FILEPATH "libjpeg-turbo for Windows" FORCE)
endfunction()
qdp_windows_picture_libraries()

# Adds the CTest fixture "wine" (tests ask for it with FIXTURES_REQUIRED):
# a wineserver that stays up while the tests run. Otherwise a wine process
# that finds no server starts one, which inherits the process's pipes and
# keeps them open until it leaves, seconds after the program has ended, so
# that a test reading a program's output would wait that long every time.
function(qdp_add_wine_fixture)
  if(NOT QDP_WINESERVER)
    return()
  endif()
  set(session ${PROJECT_SOURCE_DIR}/cmake/wine-session.sh)
  add_test(NAME WineServerStart
           COMMAND ${QDP_ENV} ${QDP_WINE_ENV} sh ${session} start ${QDP_WINESERVER} ${QDP_WINE_LAUNCHER}
                   $<TARGET_FILE:qdpext>)
  add_test(NAME WineServerStop COMMAND ${QDP_ENV} ${QDP_WINE_ENV} sh ${session} stop ${QDP_WINESERVER})
  set_tests_properties(WineServerStart PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(WineServerStop PROPERTIES FIXTURES_CLEANUP wine)
endfunction()

# --- GoogleTest -------------------------------------------------------
# Debian ships GoogleTest for the build machine only; its sources are built
# here with the cross compiler. Sets GTest_FOUND in the caller's scope.
# Without wine the test programs could not even be listed.
macro(qdp_googletest_from_source)
  # The checked presets ask for GoogleTest with the variable find_package
  # obeys; here it decides whether a missing piece ends the configure. It
  # is read in every case, so that CMake does not call it unused.
  set(qdp_gtest_required "${CMAKE_REQUIRE_FIND_PACKAGE_GTest}")
  set(QDP_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    if(qdp_gtest_required)
      message(FATAL_ERROR "wine not found, which runs the tests (install wine64, or configure "
                          "with -DBUILD_TESTING=OFF)")
    endif()
    message(STATUS "wine not found: building qdpext.exe without the tests (install wine64)")
    set(GTest_FOUND FALSE)
  elseif(EXISTS ${QDP_GOOGLETEST_SOURCE}/CMakeLists.txt)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${QDP_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set(GTest_FOUND TRUE)
  elseif(qdp_gtest_required)
    message(FATAL_ERROR "GoogleTest sources not found in ${QDP_GOOGLETEST_SOURCE} "
                        "(install libgtest-dev)")
  else()
    set(GTest_FOUND FALSE)
  endif()
endmacro()

# Unit tests of POSIX behaviour (signals, descriptors, fork, links) that
# have no meaning on Windows; each name is matched against the end of the
# source's path.
set(QDP_POSIX_ONLY_TEST_SOURCES
  platform/posix_file_system_test.cc
  platform/signal_cleanup_test.cc
  project/container_test.cc
)
function(qdp_drop_posix_tests target)
  get_target_property(sources ${target} SOURCES)
  foreach(posix_only ${QDP_POSIX_ONLY_TEST_SOURCES})
    list(FILTER sources EXCLUDE REGEX "(^|/)${posix_only}$")
  endforeach()
  set_target_properties(${target} PROPERTIES SOURCES "${sources}")
endfunction()

# --- the zip ----------------------------------------------------------
# `cpack -G ZIP` makes qdpext-VERSION-win64.zip: one folder that is a
# Windows user's kit. It holds qdpext.exe and qdpimport.exe, a README.txt
# written for them (no build steps, nothing it does not hold), the licence,
# the demo project and each program's manual as an HTML page (a Windows
# user has no man), without qdpview's parts. Text files get CR LF, so that
# any editor shows their lines.
function(qdp_windows_package)
  set(programs qdpext)
  if(TARGET qdpimport)
    list(APPEND programs qdpimport)
  endif()
  install(TARGETS ${programs} RUNTIME DESTINATION .)
  set(readme ${CMAKE_BINARY_DIR}/README.txt)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt ${readme} @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${readme} DESTINATION .)
  # ".txt", so that a double click opens it.
  set(licence ${CMAKE_BINARY_DIR}/LICENSE.txt)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${licence} @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${licence} DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/demo.qdp DESTINATION .)
  find_program(QDP_GROFF groff)
  if(QDP_GROFF)
    set(pages)
    foreach(program ${programs})
      set(page ${CMAKE_BINARY_DIR}/${program}-windows.1)
      set(html ${CMAKE_BINARY_DIR}/${program}.html)
      add_custom_command(OUTPUT ${html}
                         COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/${program}.1 -DOUT=${page}
                                 -P ${PROJECT_SOURCE_DIR}/cmake/windows_manual.cmake
                         COMMAND ${QDP_GROFF} -man -Thtml ${page} > ${html}
                         DEPENDS ${PROJECT_SOURCE_DIR}/${program}.1
                                 ${PROJECT_SOURCE_DIR}/cmake/windows_manual.cmake
                         VERBATIM)
      list(APPEND pages ${html})
    endforeach()
    add_custom_target(manual_html ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION .)
  else()
    message(STATUS "groff not found: the zip holds no manual pages (install groff)")
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME qdpext)
  set(CPACK_PACKAGE_VENDOR "qdpext developers")
  set(CPACK_PACKAGE_FILE_NAME qdpext-${PROJECT_VERSION}-win64)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endfunction()
