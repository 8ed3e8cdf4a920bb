#include "view/run_view.h"

#include <array>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "convert/conversion_failure.h"
#include "convert/reconstruct.h"
#include "convert/render.h"
#include "convert/round_trip.h"
#include "export/side_files.h"
#include "platform/error.h"
#include "project/reader.h"
#include "view/outputs.h"
#include "view/png_writer.h"
#include "view/preview_images.h"
#include "workspace/workspace.h"

namespace qdp::view {
namespace {

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

// `path` with "." steps, doubled slashes and each ".." after a name taken
// out, so that two spellings of one name compare equal. Written out here
// rather than taken from std::filesystem, whose library brings static
// start-up work into the program with it.
std::string Normalised(const std::string& path) {
  const bool absolute = !path.empty() && path[0] == '/';
  std::vector<std::string> steps;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string step = path.substr(start, end - start);
    start = end + 1;
    if (step.empty() || step == ".") continue;
    if (step == ".." && !steps.empty() && steps.back() != "..") {
      steps.pop_back();
    } else if (step != ".." || !absolute) {
      steps.push_back(std::move(step));
    }
  }
  std::string normal = absolute ? "/" : "";
  for (size_t i = 0; i < steps.size(); ++i) normal += (i == 0 ? "" : "/") + steps[i];
  return normal.empty() ? "." : normal;
}

// The line that says what failed: the reason alone for the input (it is
// named at the start of the line already), else which file or directory.
// `writing` is the picture being written when the error came, if any.
std::string WhatFailed(const RunError& error, const std::string& writing = "") {
  const auto* io = dynamic_cast<const InOutError*>(&error);
  if (io != nullptr) {
    const std::string& path = io->Path();
    switch (io->Access()) {
      case FileAccess::kTemporary:
        return "cannot make a temporary file in " + path + ": " + error.Reason();
      case FileAccess::kWrite:
        return "cannot write " + (path.empty() ? writing : path) + ": " + error.Reason();
      case FileAccess::kRead:
      case FileAccess::kUnknown:
        break;
    }
  }
  if (!writing.empty()) return "cannot write " + writing + ": " + error.Reason();
  return error.Reason();
}

// Loads the project; a rebuild that fails still leaves the picture and
// the header's facts, so it is handed back rather than thrown.
std::optional<ConversionFailureDetail> Load(Workspace& ws, FileSystem& fs,
                                            const std::string& input) {
  LoadProject(ws, fs, input);
  RenderScreen(ws);
  try {
    ReconstructCharset(ws);
    return std::nullopt;
  } catch (const ConversionFailed& failure) {
    return failure.Detail();
  }
}

// The workspaces live in static storage instead of being made per file:
// the process gets them as zero pages that cost nothing until touched,
// whereas a new one is written whole, page by page, which took longer than
// the conversion itself. A file after the first clears them again.
Workspace g_workspace;
Workspace g_scratch;  // the round trip's; it overwrites what it uses
bool g_workspace_used = false;

// A workspace as fresh as the one each run of qdpext gets.
Workspace& FreshWorkspace() {
  if (g_workspace_used) {
    std::destroy_at(&g_workspace);
    std::construct_at(&g_workspace);
  }
  g_workspace_used = true;
  return g_workspace;
}

// Writes one picture; a failure becomes the report's error, naming the
// picture, and false.
bool Write(FileSystem& fs, const std::string& target, const BitImage& image, int scale,
           FileReport& report) {
  try {
    WritePng(fs, target, image, scale);
    return true;
  } catch (const RunError& error) {
    report.error = WhatFailed(error, target);
  } catch (const std::bad_alloc&) {
    report.error = "cannot write " + target + ": out of memory";
  }
  return false;
}

void LookAt(const std::string& input, const ViewOptions& options, FileSystem& fs, RunFiles& run,
            FileReport& report) {
  std::array<std::string, kOutputs.size()> targets;
  for (size_t i = 0; i < kOutputs.size(); ++i) {
    if (!kOutputs[i].wanted(options)) continue;
    targets[i] = PreviewName(input, kOutputs[i].suffix, options.output_dir);
    if (std::optional<std::string> refusal = run.Refusal(input, targets[i])) {
      report.error = *refusal;
      return;
    }
  }

  // Everything there is to say comes first, so that a picture that cannot
  // be written takes nothing from the summary.
  Workspace& ws = FreshWorkspace();
  std::optional<ConversionFailureDetail> failure = Load(ws, fs, input);
  DescribeLoadedProject(ws, report);
  std::optional<RoundTripResult> round_trip;
  if (!failure) {
    DescribeRebuild(ws, report);
    round_trip = CheckRoundTrip(ws, g_scratch);
    report.round_trip_exact = round_trip->exact;
  }

  // No picture drawn from rebuilt fonts belongs to this input when the
  // rebuild failed; one left at that name by an earlier run would be taken
  // for it.
  for (size_t i = 0; i < kOutputs.size(); ++i) {
    if (failure && kOutputs[i].needs_rebuild && !targets[i].empty()) {
      fs.RemoveRegularFile(targets[i]);
    }
  }
  // The picture is rendered before the rebuild, so it is worth showing
  // even when the rebuild failed.
  const std::vector<int> fonts = FontNumbers(report);
  for (size_t i = 0; i < kOutputs.size(); ++i) {
    const Output& output = kOutputs[i];
    if (targets[i].empty() || (failure && output.needs_rebuild)) continue;
    if (!Write(fs, targets[i], output.draw(ws, fonts), options.scale, report)) return;
    report.written[output.name] = targets[i];
    run.Claim(targets[i], output.name, input);
  }
  if (failure) {
    report.error = "conversion failed: " + failure->Describe();
  } else if (!round_trip->exact) {
    report.error = "round trip broken: the rebuilt fonts draw line " +
                   std::to_string(round_trip->line) + ", column " +
                   std::to_string(round_trip->column) + " differently from the picture";
  }
}

}  // namespace

std::string PreviewName(const std::string& input, const char* suffix,
                        const std::optional<std::string>& output_dir) {
  std::string name = SideFileName(input, suffix);
  if (!output_dir) return name;
  std::string base = BaseName(name);
  std::string dir = *output_dir;
  if (dir.back() != '/') dir += '/';
  return dir + base;
}

RunFiles::RunFiles(FileSystem& fs, const std::vector<std::string>& inputs) : fs_(fs) {
  for (const std::string& name : inputs) {
    input_names_.insert(Normalised(name));
    if (std::optional<FileIdentity> id = fs.Identify(name)) input_files_.insert(*id);
  }
}

std::optional<std::string> RunFiles::Refusal(const std::string& input,
                                             const std::string& target) const {
  const std::string name = Normalised(target);
  const std::optional<FileIdentity> id = fs_.Identify(target);
  if (name == Normalised(input) || (id && id == fs_.Identify(input))) {
    return "would write " + target + " over the input";
  }
  if (input_names_.count(name) != 0 || (id && input_files_.count(*id) != 0)) {
    return "would write " + target + " over another input of this run";
  }
  const Owner* owner = nullptr;
  if (auto by_name = by_name_.find(name); by_name != by_name_.end()) {
    owner = &by_name->second;
  } else if (auto by_file = id ? by_file_.find(*id) : by_file_.end(); by_file != by_file_.end()) {
    owner = &by_file->second;
  }
  if (owner != nullptr) {
    return target + " is already the " + owner->kind + " of " + owner->input;
  }
  return std::nullopt;
}

void RunFiles::Claim(const std::string& target, const char* kind, const std::string& input) {
  by_name_[Normalised(target)] = Owner{kind, input};
  if (std::optional<FileIdentity> id = fs_.Identify(target)) by_file_[*id] = Owner{kind, input};
}

FileReport ViewFile(const std::string& input, const ViewOptions& options, FileSystem& fs,
                    RunFiles* run) {
  FileReport report;
  report.file = input;
  try {
    // On its own, a file is a run of one: nothing is written over it.
    std::optional<RunFiles> alone;
    if (run == nullptr) run = &alone.emplace(fs, std::vector<std::string>{input});
    LookAt(input, options, fs, *run, report);
  } catch (const RunError& error) {
    report.error = WhatFailed(error);
  } catch (const std::bad_alloc&) {
    report.error = "out of memory";
  } catch (const std::exception& error) {
    report.error = error.what();
  }
  return report;
}

namespace {

// Makes sure the -o directory is there: made, with its parents, when
// missing. A status to end the run with, or nothing to go on.
std::optional<int> PrepareOutputDirectory(const std::string& dir, std::FILE* err, FileSystem& fs) {
  if (fs.IsDirectory(dir)) return std::nullopt;
  if (fs.IsExistingFile(dir)) {
    Print(err, "qdpview: " + dir + " is not a directory\n" + kViewUsage);
    return kExitUsage;
  }
  try {
    fs.MakeDirectories(dir);
    return std::nullopt;
  } catch (const RunError& error) {
    Print(err, "qdpview: cannot make the directory " + dir + ": " + error.Reason() + "\n");
    return kExitError;
  }
}

// Everything RunView does but the final check of the output.
int ViewAll(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err, FileSystem& fs) {
  std::vector<std::string> args;
  if (!argv.empty()) args.assign(argv.begin() + 1, argv.end());
  ParsedCommandLine parsed = ParseViewCommandLine(args);
  if (!parsed.options) {
    Print(err, "qdpview: " + parsed.error + "\n" + kViewUsage);
    return kExitUsage;
  }
  const ViewOptions& options = *parsed.options;
  if (options.help) {
    Print(out, kViewUsage);
    return kExitDone;
  }
  if (options.version) {
    Print(out, std::string("qdpview ") + QDP_VERSION + "\n");
    return kExitDone;
  }
  if (options.images && options.output_dir) {
    if (std::optional<int> status = PrepareOutputDirectory(*options.output_dir, err, fs)) {
      return *status;
    }
  }

  RunFiles run(fs, options.files);
  int status = kExitDone;
  bool first = true;
  for (const std::string& file : options.files) {
    FileReport report = ViewFile(file, options, fs, &run);
    if (options.json) {
      Print(out, FormatJson(report) + "\n");
    } else if (report.loaded) {
      if (!first) Print(out, "\n");
      Print(out, FormatText(report));
      first = false;
    }
    std::fflush(out);
    if (report.error) {
      Print(err, "qdpview: " + file + ": " + *report.error + "\n");
      std::fflush(err);
      status = kExitError;
    }
  }
  return status;
}

}  // namespace

int RunView(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err, FileSystem& fs) {
  const int status = ViewAll(argv, out, err, fs);
  // Output that could not be written fails the run: a script reading the
  // summary must not take a lost one for a good one. The error mark stays
  // set from the first failed write, whatever came after it.
  if (std::fflush(out) != 0 || std::ferror(out)) {
    Print(err, "qdpview: cannot write to standard output\n");
    return status == kExitDone ? kExitError : status;
  }
  return status;
}

}  // namespace qdp::view
