# The browser build (preset web, compiled by emscripten): the same core as
# the native programs, with platform/'s in-memory layer, made into a page
# by web/. Included before any target is defined.

# C++ errors are exceptions here as everywhere; WebAssembly's own exception
# handling keeps the code that may throw as fast as the native build's.
add_compile_options(-fwasm-exceptions)
add_link_options(-fwasm-exceptions)
# What emscripten's C++ library lacks, filled in before every C++ file.
add_compile_options("SHELL:$<$<COMPILE_LANGUAGE:CXX>:-include ${PROJECT_SOURCE_DIR}/platform/browser_compat.h>")

# zlib and libpng, built from Debian's source packages the first time (see
# cmake/web-deps.sh) and kept in the build folder afterwards.
set(QDP_WEB_DEPS ${PROJECT_BINARY_DIR}/deps)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env EMCC=${CMAKE_C_COMPILER} EMAR=${CMAKE_AR}
          sh ${PROJECT_SOURCE_DIR}/cmake/web-deps.sh ${QDP_WEB_DEPS}
  COMMAND_ERROR_IS_FATAL ANY)
set(ZLIB_INCLUDE_DIR ${QDP_WEB_DEPS}/include CACHE PATH "zlib built for the browser" FORCE)
set(ZLIB_LIBRARY ${QDP_WEB_DEPS}/lib/libz.a CACHE FILEPATH "zlib built for the browser" FORCE)
set(PNG_PNG_INCLUDE_DIR ${QDP_WEB_DEPS}/include CACHE PATH "libpng built for the browser" FORCE)
set(PNG_LIBRARY ${QDP_WEB_DEPS}/lib/libpng16.a CACHE FILEPATH "libpng built for the browser" FORCE)

# nlohmann-json is headers only, but its installed package points at
# /usr/include, whose system headers must never reach emcc: the build is
# given a folder with nlohmann's headers alone instead.
find_package(nlohmann_json 3 CONFIG REQUIRED NO_CMAKE_FIND_ROOT_PATH)
get_target_property(json_include nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
file(COPY ${json_include}/nlohmann DESTINATION ${QDP_WEB_DEPS}/json)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES ${QDP_WEB_DEPS}/json)
