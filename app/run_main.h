// The whole program short of the process itself: parse the arguments, run
// the job, and turn whatever ended it into console output and an exit
// status. main() only supplies the workspace, the file system and the
// console streams, so tests can run the program in-process.
#ifndef QDPEXT_APP_RUN_MAIN_H_
#define QDPEXT_APP_RUN_MAIN_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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
// the exit status. The workspace must have its tables built.
int RunMain(const std::vector<std::string>& argv, Workspace& ws, FileSystem& fs, std::FILE* out,
            std::FILE* err);

}  // namespace qdp

#endif  // QDPEXT_APP_RUN_MAIN_H_
