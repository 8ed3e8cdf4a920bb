#include "view/run_view.h"

#include <array>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "convert/conversion_failure.h"
#include "convert/round_trip.h"
#include "export/side_files.h"
#include "platform/error.h"
#include "platform/path.h"
#include "view/outputs.h"
#include "view/own_picture.h"
#include "view/png_writer.h"
#include "view/project_view.h"
#include "view/unreadable_file.h"

namespace qdp::view {
namespace {

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
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
      case FileAccess::kTemporaryWrite:
        return "cannot write a temporary file in " + path + ": " + error.Reason();
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

// Writes one picture; a failure becomes the report's error, naming the
// picture, and false.
bool Write(PngWriter& png, FileSystem& fs, const std::string& target, const IndexedImage& image,
           int scale, FileReport& report) {
  try {
    png.Write(fs, target, image, scale);
    return true;
  } catch (const RunError& error) {
    report.Error = WhatFailed(error, target);
  } catch (const std::bad_alloc&) {
    report.Error = "cannot write " + target + ": out of memory";
  }
  return false;
}

// The error a loaded file ends with when its pictures are written: why the
// rebuild failed, or where the round trip broke.
void ConcludeReport(const ProjectView& view, FileReport& report) {
  if (const std::optional<ConversionFailureDetail>& failure = view.Failure()) {
    report.Error = "conversion failed: " + failure->Describe();
  } else if (!view.RoundTrip()->Exact) {
    report.Error = "round trip broken: the rebuilt fonts draw line " +
                   std::to_string(view.RoundTrip()->Line) + ", column " +
                   std::to_string(view.RoundTrip()->Column) + " differently from the picture";
  }
}

void LookAt(const std::string& input, const ViewOptions& options, const Drawing& drawing,
            FileSystem& fs, RunFiles& run, PngWriter& png, FileReport& report) {
  // An input that cannot be read is reported as such before anything else:
  // a missing file is not found, whatever the names of its pictures.
  if (std::optional<std::string> why = WhyUnreadable(fs, input)) {
    report.Error = *why;
    return;
  }
  std::array<std::string, kOutputs.size()> targets;
  for (size_t i = 0; i < kOutputs.size(); ++i) {
    if (!kOutputs[i].Wanted(options)) continue;
    targets[i] = PreviewName(input, kOutputs[i].Suffix, options.OutputDir);
    if (std::optional<std::string> refusal = run.Refusal(input, targets[i])) {
      report.Error = *refusal;
      return;
    }
  }
  // A file at a picture's name that qdpview did not make stays untouched,
  // and so does every other picture of this input, so that the user sees
  // the refusal before any of them changes.
  for (const std::string& target : targets) {
    if (target.empty()) continue;
    if (std::optional<std::string> refusal = WhyNotReplaced(fs, target)) {
      report.Error = *refusal;
      return;
    }
  }

  // Everything there is to say comes first, so that a picture that cannot
  // be written takes nothing from the summary.
  ProjectView view;
  view.Load(fs, input);
  DescribeProject(view, report);
  const std::optional<ConversionFailureDetail>& failure = view.Failure();

  // No picture drawn from rebuilt fonts belongs to this input when the
  // rebuild failed; one left at that name by an earlier run would be taken
  // for it.
  for (size_t i = 0; i < kOutputs.size(); ++i) {
    if (failure && kOutputs[i].NeedsRebuild && !targets[i].empty()) {
      fs.RemoveRegularFile(targets[i]);
    }
  }
  // The picture is worth showing even when the rebuild failed: it is then
  // drawn from the project as loaded.
  for (size_t i = 0; i < kOutputs.size(); ++i) {
    const Output& output = kOutputs[i];
    if (targets[i].empty() || (failure && output.NeedsRebuild)) continue;
    const int scale = options.Scale * output.ScaleFactor;
    if (!Write(png, fs, targets[i], output.Draw(view, drawing), scale, report)) return;
    report.WrittenFiles[output.Name] = targets[i];
    run.Claim(targets[i], output.Name, input);
  }
  ConcludeReport(view, report);
}

// What a failure thrown while looking at a file says, as its report's
// error.
std::string FailureText(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const RunError& error) {
    return WhatFailed(error);
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& error) {
    return error.what();
  }
}

FileReport NewReport(const std::string& input, const Drawing& drawing) {
  FileReport report;
  report.File = input;
  report.Palette = drawing.PaletteName;
  report.Gtia = static_cast<int>(drawing.Gtia);
  return report;
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
  if (WouldOverwrite(fs_, target, input)) {
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
    return target + " is already the " + owner->Kind + " of " + owner->Input;
  }
  return std::nullopt;
}

void RunFiles::Claim(const std::string& target, const char* kind, const std::string& input) {
  by_name_[Normalised(target)] = Owner{kind, input};
  if (std::optional<FileIdentity> id = fs_.Identify(target)) by_file_[*id] = Owner{kind, input};
}

FileReport ViewFile(const std::string& input, const ViewOptions& options, const Drawing& drawing,
                    FileSystem& fs, RunFiles* run, PngWriter* png) {
  FileReport report = NewReport(input, drawing);
  try {
    // On its own, a file is a run of one: nothing is written over it.
    std::optional<RunFiles> alone;
    if (run == nullptr) run = &alone.emplace(fs, std::vector<std::string>{input});
    std::optional<PngWriter> own;
    if (png == nullptr) png = &own.emplace();
    LookAt(input, options, drawing, fs, *run, *png, report);
  } catch (const std::exception&) {
    report.Error = FailureText(std::current_exception());
  }
  return report;
}

FileReport SummaryOf(const std::string& input, const Drawing& drawing, const ProjectView& view,
                     const std::exception_ptr& load_failure) {
  FileReport report = NewReport(input, drawing);
  if (load_failure) {
    report.Error = FailureText(load_failure);
    return report;
  }
  DescribeProject(view, report);
  ConcludeReport(view, report);
  return report;
}

void PrintReport(const FileReport& report, bool json, bool& first, std::FILE* out, std::FILE* err) {
  if (json) {
    Print(out, FormatJson(report) + "\n");
  } else if (report.Loaded) {
    if (!first) Print(out, "\n");
    Print(out, FormatText(report));
    first = false;
  }
  std::fflush(out);
  if (report.Error) {
    Print(err, "qdpview: " + report.File + ": " + *report.Error + "\n");
    std::fflush(err);
  }
}

namespace {

// Makes sure the -o directory is there: made, with its parents, when
// missing. A status to end the run with, or nothing to go on.
std::optional<int> PrepareOutputDirectory(const std::string& dir, std::FILE* err, FileSystem& fs) {
  if (fs.IsDirectory(dir)) return std::nullopt;
  if (fs.IsExistingFile(dir)) {
    Print(err, "qdpview: " + dir + " is not a directory\n" + ViewUsage());
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
  if (!parsed.Options) {
    Print(err, "qdpview: " + parsed.Error + "\n" + ViewUsage());
    return kExitUsage;
  }
  const ViewOptions& options = *parsed.Options;
  if (options.Help) {
    Print(out, ViewUsage());
    return kExitDone;
  }
  if (options.Version) {
    Print(out, std::string("qdpview ") + QDP_VERSION + "\n");
    return kExitDone;
  }
  // A palette that cannot be used is refused before any input is read.
  Drawing drawing;
  try {
    drawing = ChooseDrawing(options, fs);
  } catch (const RunError& error) {
    Print(err, "qdpview: " + error.Reason() + "\n");
    return kExitUsage;
  }
  if (options.Images && options.OutputDir) {
    if (std::optional<int> status = PrepareOutputDirectory(*options.OutputDir, err, fs)) {
      return *status;
    }
  }

  RunFiles run(fs, options.Files);
  PngWriter png;
  int status = kExitDone;
  bool first = true;
  for (const std::string& file : options.Files) {
    FileReport report = ViewFile(file, options, drawing, fs, &run, &png);
    PrintReport(report, options.Json, first, out, err);
    if (report.Error) status = kExitError;
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
