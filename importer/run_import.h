// qdpimport short of the process itself: reads the command line, imports
// every picture in turn, and returns the exit status. main() only supplies
// the console streams and the file system, so tests can run it in-process.
#ifndef QDPEXT_IMPORTER_RUN_IMPORT_H_
#define QDPEXT_IMPORTER_RUN_IMPORT_H_

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "importer/command_line.h"
#include "importer/summary.h"
#include "platform/file_system.h"
#include "view/palette.h"

namespace qdp::importer {

// The project's name for `picture`: `output` itself when it names the
// project (one picture, a name ending in ".qdp" in any case), else the
// picture's name with ".qdp" in place of its extension, moved into
// `output` when that is given.
std::string ProjectName(const std::string& picture, const std::optional<std::string>& output,
                        size_t pictures);

// Imports one picture and writes its project to `project`. Failures end
// up in the report's `Error`, and the exit status it asks for in `status`
// (kExitUsage for a picture of a size not taken, else kExitError); nothing
// is thrown and nothing is left at `project`.
PictureReport ImportFile(const std::string& picture, const std::string& project,
                         const ImportCommandLine& options, const view::AtariPalette& palette,
                         FileSystem& fs, int& status);

// Runs qdpimport with `argv` (argv[0] the program's own name) on `fs`.
int RunImport(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err, FileSystem& fs);

}  // namespace qdp::importer

#endif  // QDPEXT_IMPORTER_RUN_IMPORT_H_
