#include "view/run_view.h"

#include <sys/stat.h>

#include <exception>
#include <memory>
#include <new>

#include "convert/conversion_failure.h"
#include "convert/round_trip.h"
#include "export/side_files.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "project/reader.h"
#include "view/png_writer.h"
#include "view/preview_images.h"
#include "workspace/workspace.h"

namespace qdp::view {
namespace {

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Loads the project; a rebuild that fails still leaves the picture and
// the header's facts, so it is handed back rather than thrown.
std::optional<ConversionFailureDetail> Load(Workspace& ws, FileSystem& fs,
                                            const std::string& input) {
  try {
    LoadProject(ws, fs, input);
    return std::nullopt;
  } catch (const ConversionFailed& failure) {
    return failure.Detail();
  }
}

void LookAt(const std::string& input, const ViewOptions& options, const InputFiles* others,
            FileReport& report) {
  FileSystem& fs = RealFileSystem();
  const std::string preview = PreviewName(input, ".png", options.output_dir);
  const std::string sheet = PreviewName(input, "-fonts.png", options.output_dir);
  for (const std::string& target : {preview, sheet}) {
    if (target == input || fs.IsSameFile(target, input)) {
      report.error = "would write " + target + " over the input";
      return;
    }
    if (others != nullptr && others->Holds(target)) {
      report.error = "would write " + target + " over another input of this run";
      return;
    }
  }

  // A fresh workspace for every file, as each run of qdpext gets; the
  // heap, since it is too large for the stack.
  auto ws = std::make_unique<Workspace>();
  std::optional<ConversionFailureDetail> failure = Load(*ws, fs, input);
  DescribeLoadedProject(*ws, report);

  // The picture is rendered before the rebuild, so it is worth showing
  // even when the rebuild failed.
  WritePng(preview, PictureImage(*ws), options.scale);
  report.preview = preview;
  if (failure) {
    report.error = "conversion failed: " + failure->Describe();
    return;
  }

  DescribeRebuild(*ws, report);
  auto scratch = std::make_unique<Workspace>();
  RoundTripResult round_trip = CheckRoundTrip(*ws, *scratch);
  report.round_trip_exact = round_trip.exact;
  std::vector<int> fonts = FontNumbers(report);
  WritePng(sheet, FontSheetImage(*ws, fonts), options.scale);
  report.font_sheet = sheet;
  if (!round_trip.exact) {
    report.error = "round trip broken: the rebuilt fonts draw line " +
                   std::to_string(round_trip.line) + ", column " +
                   std::to_string(round_trip.column) + " differently from the picture";
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

InputFiles::InputFiles(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    names_.insert(name);
    struct stat st;
    if (::stat(name.c_str(), &st) == 0) files_.insert({st.st_dev, st.st_ino});
  }
}

bool InputFiles::Holds(const std::string& path) const {
  if (names_.count(path) != 0) return true;
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && files_.count({st.st_dev, st.st_ino}) != 0;
}

FileReport ViewFile(const std::string& input, const ViewOptions& options,
                    const InputFiles* others) {
  FileReport report;
  report.file = input;
  try {
    LookAt(input, options, others, report);
  } catch (const RunError& error) {
    report.error = error.Reason();
  } catch (const std::bad_alloc&) {
    report.error = "out of memory";
  } catch (const std::exception& error) {
    report.error = error.what();
  }
  return report;
}

namespace {

// Everything RunView does but the final check of the output.
int ViewAll(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err) {
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
  if (options.output_dir && !IsDirectory(*options.output_dir)) {
    Print(err, "qdpview: " + *options.output_dir + " is not a directory\n");
    return kExitUsage;
  }

  const InputFiles inputs(options.files);
  int status = kExitDone;
  bool first = true;
  for (const std::string& file : options.files) {
    FileReport report = ViewFile(file, options, &inputs);
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

int RunView(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err) {
  const int status = ViewAll(argv, out, err);
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
