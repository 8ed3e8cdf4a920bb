# The tests of the Windows build (included from tests/CMakeLists.txt). They
# run under wine, in the build's wine session (the fixture "wine").

# Windows' own behaviour: names, quoting, console bytes, sharing and
# temporary files, with qdpext.exe run as a Windows process; and a full
# disk, with the program run in-process.
add_executable(windows_tests windows_e2e_test.cc windows_full_disk_test.cc expected_side_files.cc
                             support/windows_process.cc)
target_link_libraries(windows_tests PRIVATE testsupport GTest::gtest GTest::gtest_main)
# qdpext.exe as seen from the test program's folder, so that the tests
# find it wherever the build folder is.
file(RELATIVE_PATH qdpext_from_tests ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_BINARY_DIR}/qdpext.exe)
target_compile_definitions(windows_tests PRIVATE QDPEXT_FROM_TESTS="${qdpext_from_tests}")
add_dependencies(windows_tests qdpext)
qdp_discover_tests(windows_tests)

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()

# A native build supplies what cannot be cross-built: the end-to-end tests
# (they fork) and the tools that make the inputs of the equivalence check.
# tools/test windows and CI build it first; without it these two tests are
# reported as skipped.
set(QDP_NATIVE_BUILD ${PROJECT_SOURCE_DIR}/build-ci
    CACHE PATH "Native build (preset ci) whose end-to-end tests and tools check qdpext.exe")

# End-to-end tests that need POSIX (signals, resource limits, symbolic
# links, fifos, /dev/full), as GoogleTest filter patterns; every other one
# runs against qdpext.exe too. Where a test sets TMPDIR, qdpext.exe does
# not see it (wine's own TMP and TEMP win): the Windows tests above check
# the temporary folder instead.
set(QDP_POSIX_ONLY_E2E_TESTS
  InterruptedRunTest.*
  FileSizeLimitE2ETest.*
  EdgesE2ETest.*
  RunSequenceE2ETest.AFullDiskEndsTheRunWithItsReason
  RunSequenceE2ETest.ARunNeverWritesASideFileOverItsInput
)
list(JOIN QDP_POSIX_ONLY_E2E_TESTS ":" posix_only)
# The program as a command: the tests split it at spaces.
list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " wine)
set(program "${wine} $<TARGET_FILE:qdpext>")
set(when_built ${CMAKE_CURRENT_SOURCE_DIR}/when_built.sh)

add_test(NAME NativeE2ETestsOnWindowsProgram
         COMMAND sh ${when_built} ${QDP_NATIVE_BUILD}/tests/e2e_tests
                 ${QDP_NATIVE_BUILD}/tests/e2e_tests --gtest_filter=-${posix_only})
set_tests_properties(NativeE2ETestsOnWindowsProgram PROPERTIES
                     ENVIRONMENT "QDP_PROGRAM=${program}"
                     FIXTURES_REQUIRED wine SKIP_RETURN_CODE 77 TIMEOUT 900)

# qdpimport.exe: the native import tests run against it, but for the one
# that needs a POSIX file-size limit. Among them, the same pictures with
# several option sets are imported by both builds, which must write the
# same projects and summaries (ImportEndToEndTest.AnotherBuild...). Names
# beyond ASCII reach wine as UTF-8 only in a UTF-8 locale.
if(TARGET qdpimport)
  set(import_program "${wine} $<TARGET_FILE:qdpimport>")
  add_test(NAME NativeImportE2ETestsOnWindowsProgram
           COMMAND sh ${when_built} ${QDP_NATIVE_BUILD}/tests/import_e2e_tests
                   ${QDP_NATIVE_BUILD}/tests/import_e2e_tests
                   --gtest_filter=-ImportEndToEndTest.AWriteThatFailsLeavesNoProjectAndTheOldOneAsItWas)
  set_tests_properties(NativeImportE2ETestsOnWindowsProgram PROPERTIES
                       ENVIRONMENT "QDP_IMPORT_PROGRAM=${import_program};LC_ALL=C.UTF-8"
                       FIXTURES_REQUIRED wine SKIP_RETURN_CODE 77 TIMEOUT 900)
endif()

# Both builds on the same inputs (fuzz seeds, regression files, demo files,
# every value of header byte 1), each with several option sets: the same
# side files, output and exit status. About one run in a thousand under
# wine, while other test programs run beside it, ends with status 1 having
# done nothing (see docs/building.md); such a difference, when it does not
# recur, is shown but not counted. One that recurs fails the test.
add_test(NAME WindowsEquivalence
         COMMAND sh ${when_built} ${QDP_NATIVE_BUILD}/tests/make_seeds
                 bash ${PROJECT_SOURCE_DIR}/tools/compare-builds ${QDP_NATIVE_BUILD}/qdpext
                 "${program}")
# Four workers: most of a comparison is wine starting a program, which
# waits on the wineserver as much as it computes, so four beat two even on
# two processors (39 inputs on a busy machine: 68 s with one, 56 s with
# two, 45 s with four; all 312 inputs on a quieter one: 255 s one at a time
# before the helpers were cut, 183 s now with four).
set_tests_properties(WindowsEquivalence PROPERTIES
                     ENVIRONMENT "SEEDS=${QDP_NATIVE_BUILD}/tests/make_seeds;TOLERATE_UNREPEATED=1;JOBS=4"
                     FIXTURES_REQUIRED wine SKIP_RETURN_CODE 77 TIMEOUT 900)

# The longest tests start first (CTest starts the costliest first), so
# that the many short ones run beside them rather than after them.
set_tests_properties(WindowsEquivalence PROPERTIES COST 1000)
set_tests_properties(NativeE2ETestsOnWindowsProgram PROPERTIES COST 500)
if(TARGET qdpimport)
  set_tests_properties(NativeImportE2ETestsOnWindowsProgram PROPERTIES COST 500)
endif()
