// qdpview short of the process itself: reads the command line, looks at
// every project file in turn, and returns the exit status. main() only
// supplies the console streams, so tests can run it in-process.
#ifndef QDPEXT_VIEW_RUN_VIEW_H_
#define QDPEXT_VIEW_RUN_VIEW_H_

#include <cstdio>
#include <exception>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "view/command_line.h"
#include "view/drawing.h"
#include "view/png_writer.h"
#include "view/project_view.h"
#include "view/summary.h"

namespace qdp::view {

// The files of one run: the inputs named on the command line and the
// pictures written so far, so that no picture replaces an input, whether
// it is still to be read or was read already, nor a picture that an
// earlier input of the same run wrote. Names are compared once normalised
// (so "x.png", "./x.png" and "out//x.png" are found), and existing files
// by identity (so another name for the same file is found too).
class RunFiles {
 public:
  RunFiles(FileSystem& fs, const std::vector<std::string>& inputs);
  // Why `target` may not be written for `input`, or nothing when it may.
  std::optional<std::string> Refusal(const std::string& input, const std::string& target) const;
  // Records that `target` now holds the `kind` ("preview" or "font
  // sheet") of `input`.
  void Claim(const std::string& target, const char* kind, const std::string& input);

 private:
  struct Owner {
    const char* Kind;
    std::string Input;
  };
  FileSystem& fs_;
  std::set<std::string> input_names_;
  std::set<FileIdentity> input_files_;
  std::map<std::string, Owner> by_name_;
  std::map<FileIdentity, Owner> by_file_;
};

// The preview's name for `input`: its side-file name with `suffix`
// (".png" or "-fonts.png"), moved into `output_dir` when one is given.
std::string PreviewName(const std::string& input, const char* suffix,
                        const std::optional<std::string>& output_dir);

// Loads `input` from `fs` into a ProjectView of its own exactly as qdpext
// does, works out the summary and the round trip, then writes the pictures
// (unless options.Images is false). Failures end up in the report's
// `Error`, which names what failed (the input, a picture, the temporary
// directory); what was found before a failure stays in the report.
// Nothing is thrown. No picture is written over `input`, nor, when `run`
// is given, over another input or an earlier picture of the run. `png`,
// when given, is the run's picture writer.
FileReport ViewFile(const std::string& input, const ViewOptions& options, const Drawing& drawing,
                    FileSystem& fs, RunFiles* run = nullptr, PngWriter* png = nullptr);

// The report `qdpview --no-images input` gives, from `view` once its
// Load() returned, or from what Load() threw (`load_failure`, when set).
FileReport SummaryOf(const std::string& input, const Drawing& drawing, const ProjectView& view,
                     const std::exception_ptr& load_failure);

// Prints `report` as a run does: the summary (JSON when `json`) on `out`,
// text summaries after the `first` one set apart by an empty line, and
// its error on `err`.
void PrintReport(const FileReport& report, bool json, bool& first, std::FILE* out, std::FILE* err);

// Runs qdpview with `argv` (argv[0] the program's own name) on `fs`.
int RunView(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err, FileSystem& fs);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_RUN_VIEW_H_
