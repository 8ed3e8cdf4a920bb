// Test support: runs the real programs (qdpext, qdpview) as child processes
// and captures their exit status and the exact bytes of their output.
#ifndef QDPEXT_TESTS_SUPPORT_RUN_PROGRAM_H_
#define QDPEXT_TESTS_SUPPORT_RUN_PROGRAM_H_

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qdp::testing {

struct ProgramResult {
  int exit_status = -1;  // -1 when the child did not exit normally
  int signal = 0;        // the signal that ended the child, else 0
  std::string out;
  std::string err;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Every child starts with the default action for the signals the program
// handles (whatever the test runner ignores), none of them blocked, and no
// core dumps. `file_size_limit` (bytes, 0 for none) is its RLIMIT_FSIZE;
// `time_limit` (seconds, 0 for none) ends a child that hangs with SIGALRM,
// so that a test of something that must not wait fails instead of hanging.
struct ChildSetup {
  uint64_t file_size_limit = 0;
  unsigned time_limit = 0;
};

// The command that runs qdpext under test: the words of the environment
// variable QDP_PROGRAM (separated by spaces), so that the same tests can
// run another build of it, such as qdpext.exe under wine:
//   QDP_PROGRAM="wine /abs/build-windows/qdpext.exe" e2e_tests
// Without it, the binary of this build.
std::vector<std::string> ProgramCommand();
// The same rule for any program: the words of the environment variable
// `variable` (as QDP_IMPORT_PROGRAM="wine /abs/build-windows/qdpimport.exe"),
// else `binary` alone.
std::vector<std::string> CommandFromEnvironment(const char* variable, const std::string& binary);

// The module name the program's error report shows: its file name without
// the folder ("qdpext", or "qdpext.exe" for the Windows build).
std::string ProgramModuleName();

// Runs qdpext with `args` in directory `cwd` (empty: the current one), with
// the given extra environment variables set.
ProgramResult RunProgram(const std::vector<std::string>& args, const std::string& cwd = "",
                         const Environment& env = {}, const ChildSetup& setup = {});

// The same for any command (a program and its first arguments), and for
// any binary, such as qdpview.
ProgramResult RunCommand(const std::vector<std::string>& command,
                         const std::vector<std::string>& args, const std::string& cwd = "",
                         const Environment& env = {}, const ChildSetup& setup = {});
ProgramResult RunBinary(const std::string& program, const std::vector<std::string>& args,
                        const std::string& cwd = "", const Environment& env = {},
                        const ChildSetup& setup = {});

// Starts qdpext without waiting for it; its output is discarded.
pid_t StartProgram(const std::vector<std::string>& args, const std::string& cwd,
                   const Environment& env);
// The same for any command (a program and its first arguments).
pid_t StartCommand(const std::vector<std::string>& command, const std::vector<std::string>& args,
                   const std::string& cwd, const Environment& env);
// Waits up to `seconds` for a started child and returns how it ended; a
// child still running then is killed and reported as ended by SIGKILL.
ProgramResult WaitForProgram(pid_t pid, int seconds);

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_RUN_PROGRAM_H_
