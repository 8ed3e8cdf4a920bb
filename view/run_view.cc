#include "view/run_view.h"

#include <sys/stat.h>

#include <exception>
#include <memory>
#include <new>
#include <optional>

#include "convert/round_trip.h"
#include "export/side_files.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "project/reader.h"
#include "view/png_writer.h"
#include "view/preview_images.h"
#include "workspace/workspace.h"

#ifndef QDPVIEW_VERSION
#define QDPVIEW_VERSION "unknown"
#endif

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
  BuildTables(g_workspace);
  return g_workspace;
}

void LookAt(const std::string& input, const ViewOptions& options, const InputFiles* others,
            FileReport& report) {
  FileSystem& fs = RealFileSystem();
  const std::string preview = PreviewName(input, ".png", options.output_dir);
  const std::string sheet = PreviewName(input, "-fonts.png", options.output_dir);
  if (options.images) {
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
  }

  Workspace& ws = FreshWorkspace();
  std::optional<ConversionFailureDetail> failure = Load(ws, fs, input);
  DescribeLoadedProject(ws, report);
  std::optional<RoundTripResult> round_trip;
  if (!failure) {
    DescribeRebuild(ws, report);
    round_trip = CheckRoundTrip(ws, g_scratch);
    report.round_trip_exact = round_trip->exact;
  }

  if (options.images) {
    // The picture is rendered before the rebuild, so it is worth showing
    // even when the rebuild failed.
    WritePng(preview, PictureImage(ws), options.scale);
    report.preview = preview;
  }
  if (failure) {
    report.error = "conversion failed: " + failure->Describe();
    return;
  }
  if (options.images) {
    std::vector<int> fonts = FontNumbers(report);
    WritePng(sheet, FontSheetImage(ws, fonts), options.scale);
    report.font_sheet = sheet;
  }
  if (!round_trip->exact) {
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
  size_t slash = name.find_last_of('/');
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
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
    return kViewUsageError;
  }
  const ViewOptions& options = *parsed.options;
  if (options.help) {
    Print(out, kViewUsage);
    return kViewAllFine;
  }
  if (options.version) {
    Print(out, std::string("qdpview ") + QDPVIEW_VERSION + "\n");
    return kViewAllFine;
  }
  if (options.images && options.output_dir && !IsDirectory(*options.output_dir)) {
    Print(err, "qdpview: " + *options.output_dir + " is not a directory\n");
    return kViewUsageError;
  }

  const InputFiles inputs(options.files);
  int status = kViewAllFine;
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
      status = kViewSomeFileFailed;
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
    return status == kViewAllFine ? kViewSomeFileFailed : status;
  }
  return status;
}

}  // namespace qdp::view
