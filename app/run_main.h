// The whole program short of the process itself: parse the arguments, run
// the job, and turn whatever ended it into console output and an exit
// status. main() only supplies the workspace, the file system and the
// console streams, so tests can run the program in-process.
#ifndef QDPEXT_APP_RUN_MAIN_H_
#define QDPEXT_APP_RUN_MAIN_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "workspace/workspace.h"

namespace qdp {

// Eight hex digits that locate a throw site: the upper four come from the
// source file's name, the lower four are its line number.
uint32_t ErrorAddress(const ThrowSite& site);

// The three CR LF lines of the error report.
std::string FormatErrorReport(const std::string& kind, const std::string& module, uint32_t address,
                              const std::string& reason);

// Runs the program with `argv` (argv[0] the program's own name) and returns
// the exit status. `ws` must be fresh.
int RunMain(const std::vector<std::string>& argv, Workspace& ws, FileSystem& fs, std::FILE* out,
            std::FILE* err);

// The same, with the accepted job done by `job` rather than RunJob: for a
// caller that has the project loaded already. What `job` throws ends the
// run as RunJob's errors do.
using Job = std::function<void(const Options& options)>;
int RunMainWith(const std::vector<std::string>& argv, FileSystem& fs, std::FILE* out,
                std::FILE* err, const Job& job);

}  // namespace qdp

#endif  // QDPEXT_APP_RUN_MAIN_H_
