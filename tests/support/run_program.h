// Test support: runs the real qdpext binary as a child process and
// captures its exit status and the exact bytes of its output.
#ifndef QDPEXT_TESTS_SUPPORT_RUN_PROGRAM_H_
#define QDPEXT_TESTS_SUPPORT_RUN_PROGRAM_H_

#include <string>
#include <utility>
#include <vector>

namespace qdp::testing {

struct ProgramResult {
  int exit_status = -1;  // -1 when the child did not exit normally
  std::string out;
  std::string err;
};

// Path of the qdpext binary under test.
std::string ProgramPath();

// Runs qdpext with `args` in directory `cwd` (empty: the current one), with
// the given extra environment variables set.
ProgramResult RunProgram(const std::vector<std::string>& args, const std::string& cwd = "",
                         const std::vector<std::pair<std::string, std::string>>& env = {});

// The same for any binary, such as qdpview.
ProgramResult RunBinary(const std::string& program, const std::vector<std::string>& args,
                        const std::string& cwd = "",
                        const std::vector<std::pair<std::string, std::string>>& env = {});

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_RUN_PROGRAM_H_
