# The hardening Debian builds its packages with, for every ELF build of the
# programs: position-independent executables (so ASLR moves the program
# too), a stack protector, a relocation table made read-only after start-up
# with every symbol bound at once (relro, now), and glibc's checked string
# and I/O calls (_FORTIFY_SOURCE). A Windows (mingw-w64) build gets none of
# them: they are ELF or glibc features, and the stack protector would need
# libssp there. Nor does the browser build (WebAssembly is no ELF, and its
# memory has no executable pages to protect).
option(QDP_HARDEN "Build with the Debian hardening flags (ELF targets only)" ON)
if(NOT QDP_HARDEN OR WIN32 OR APPLE OR EMSCRIPTEN)
  return()
endif()

include(CheckPIESupported)
check_pie_supported(OUTPUT_VARIABLE pie_output LANGUAGES C CXX)
if(CMAKE_C_LINK_PIE_SUPPORTED AND CMAKE_CXX_LINK_PIE_SUPPORTED)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
else()
  message(STATUS "Position-independent executables not supported: ${pie_output}")
endif()

add_compile_options(-fstack-protector-strong)
add_link_options(LINKER:-z,relro LINKER:-z,now)

# _FORTIFY_SOURCE works only when optimising (glibc warns otherwise, which
# -Werror turns into an error), and the sanitizers check the same calls
# their own way. Flags that already set it (a packager's CPPFLAGS) win.
if(NOT QDP_SANITIZE AND NOT QDP_FUZZ
   AND NOT "${CMAKE_C_FLAGS} ${CMAKE_CXX_FLAGS}" MATCHES "_FORTIFY_SOURCE")
  add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
endif()
