// qdpview short of the process itself: reads the command line, looks at
// every project file in turn, and returns the exit status. main() only
// supplies the console streams, so tests can run it in-process.
#ifndef QDPEXT_VIEW_RUN_VIEW_H_
#define QDPEXT_VIEW_RUN_VIEW_H_

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "view/command_line.h"
#include "view/summary.h"

namespace qdp::view {

// The files named on one command line, so that no picture replaces one of
// them, whether it is still to be read or was read already.
class InputFiles {
 public:
  explicit InputFiles(const std::vector<std::string>& names);
  // True when `path` is one of the names, or the same file as one of them.
  bool Holds(const std::string& path) const;

 private:
  std::set<std::string> names_;
  std::set<std::pair<uint64_t, uint64_t>> files_;  // device and inode
};

// The preview's name for `input`: its side-file name with `suffix`
// (".png" or "-fonts.png"), moved into `output_dir` when one is given.
std::string PreviewName(const std::string& input, const char* suffix,
                        const std::optional<std::string>& output_dir);

// Loads `input` into a fresh workspace exactly as qdpext does, writes its
// pictures and returns what there is to say about it. Failures end up in
// the report's `error`; nothing is thrown. No picture is written over
// `input`, nor over any of `others` when given.
FileReport ViewFile(const std::string& input, const ViewOptions& options,
                    const InputFiles* others = nullptr);

// Runs qdpview with `argv` (argv[0] the program's own name).
int RunView(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_RUN_VIEW_H_
