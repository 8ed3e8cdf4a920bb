// Test support for the Windows build: runs a program as a Windows process,
// with the command line exactly as given, and captures what it prints.
#ifndef QDPEXT_TESTS_SUPPORT_WINDOWS_PROCESS_H_
#define QDPEXT_TESTS_SUPPORT_WINDOWS_PROCESS_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace qdp::testing {

struct WindowsRun {
  uint32_t exit_code = 0;
  std::string out;
  std::string err;
};

// Runs `program` with `arguments` (UTF-8, appended to the quoted program
// name as they stand, so that tests decide the quoting) in `folder`, with
// the environment variables in `env` set or replaced.
WindowsRun RunWindowsProgram(const std::filesystem::path& program, const std::string& arguments,
                             const std::filesystem::path& folder,
                             const std::vector<std::pair<std::string, std::string>>& env = {});

// Starts `program` as RunWindowsProgram does, with its output discarded,
// and returns at once; Kill() ends it as Windows ends a program on Ctrl+C
// or from Task Manager, without letting it clean up.
class StartedProgram {
 public:
  StartedProgram(const std::filesystem::path& program, const std::string& arguments,
                 const std::filesystem::path& folder,
                 const std::vector<std::pair<std::string, std::string>>& env = {});
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;
  // Ends the program with exit code `code`, unless it has ended already,
  // and waits until it has ended.
  void Kill(uint32_t code);
  // The exit code, once the program has ended; waits for it.
  uint32_t Wait();

 private:
  void* process_ = nullptr;
};

// The folder of the running program.
std::filesystem::path ThisProgramFolder();

// The path of a UTF-8 name (std::filesystem reads a plain string in the
// ANSI code page on Windows).
std::filesystem::path Utf8Path(const std::string& name);

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_WINDOWS_PROCESS_H_
