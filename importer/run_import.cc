#include "importer/run_import.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>
#include <memory>
#include <new>
#include <set>

#include "export/side_files.h"
#include "import/import_picture.h"
#include "importer/fit.h"
#include "platform/error.h"
#include "platform/path.h"
#include "project/writer.h"

namespace qdp::importer {
namespace {

constexpr char kProjectExtension[] = ".qdp";

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

bool NamesProject(const std::string& path) {
  const size_t n = sizeof kProjectExtension - 1;
  if (path.size() <= n) return false;
  return std::equal(
      path.end() - static_cast<std::ptrdiff_t>(n), path.end(), kProjectExtension,
      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The line that says what failed: a write names the project.
std::string WhatFailed(const RunError& error, const std::string& project, bool writing) {
  const auto* io = dynamic_cast<const InOutError*>(&error);
  if (io != nullptr && io->Access() == FileAccess::kTemporary) {
    return "cannot make a temporary file in " + io->Path() + ": " + error.Reason();
  }
  if (writing) return "cannot write " + project + ": " + error.Reason();
  return error.Reason();
}

void Import(const std::string& picture, const std::string& project,
            const ImportCommandLine& options, const view::AtariPalette& palette, FileSystem& fs,
            PictureReport& report, bool& writing) {
  import::SourcePicture source;
  {
    std::unique_ptr<File> file = fs.OpenForReading(picture);
    SourceSink sink(options.Fit);
    DecodePicture(*file, sink);
    file->Close();
    report.Decoded = true;
    report.PictureWidth = sink.Width();
    report.PictureHeight = sink.Height();
    report.Fitted = sink.Fitted();
    source = sink.Finish();
  }
  WorkspacePtr ws = NewWorkspace();
  report.Import = import::ImportPicture(source, options.Import, palette, *ws);
  report.Imported = true;
  report.LineWidth = ws->LineWidth;
  writing = true;
  WriteProject(*ws, options.Compressed ? ProjectForm::kCompressed : ProjectForm::kPlain, fs,
               project);
  report.Project = project;
}

}  // namespace

std::string ProjectName(const std::string& picture, const std::optional<std::string>& output,
                        size_t pictures) {
  if (output && pictures == 1 && NamesProject(*output)) return *output;
  const std::string name = SideFileName(picture, kProjectExtension);
  if (!output) return name;
  std::string dir = *output;
  if (dir.find_last_of(kPathSeparators) + 1 != dir.size()) dir += '/';
  return dir + BaseName(name);
}

PictureReport ImportFile(const std::string& picture, const std::string& project,
                         const ImportCommandLine& options, const view::AtariPalette& palette,
                         FileSystem& fs, int& status) {
  const auto start = std::chrono::steady_clock::now();
  PictureReport report;
  report.Picture = picture;
  report.FontBudget = options.Import.FontBudget;
  report.MaxChanges = options.Import.MaxChanges;
  bool writing = false;
  status = kExitError;
  try {
    Import(picture, project, options, palette, fs, report, writing);
    status = kExitDone;
  } catch (const RunError& error) {
    report.Error = WhatFailed(error, project, writing);
    if (error.Kind() == ErrorKind::kPictureSize) status = kExitUsage;
  } catch (const std::bad_alloc&) {
    report.Error = "out of memory";
  } catch (const std::exception& error) {
    report.Error = error.what();
  }
  report.Milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return report;
}

namespace {

// The palette the pictures are matched against; a palette that cannot be
// used ends the run before any picture is read.
view::AtariPalette ChoosePalette(const std::string& name, FileSystem& fs) {
  if (std::optional<view::BuiltInPaletteKind> kind = view::BuiltInPaletteByName(name)) {
    return view::BuiltInPalette(*kind);
  }
  return view::ReadPaletteFile(fs, name);
}

int ImportAll(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err,
              FileSystem& fs) {
  std::vector<std::string> args;
  if (!argv.empty()) args.assign(argv.begin() + 1, argv.end());
  const ParsedImportCommandLine parsed = ParseImportCommandLine(args);
  if (!parsed.Options) {
    Print(err, "qdpimport: " + parsed.Error + "\n" + ImportUsage());
    return kExitUsage;
  }
  const ImportCommandLine& options = *parsed.Options;
  if (options.Help) {
    Print(out, ImportUsage());
    return kExitDone;
  }
  if (options.Version) {
    Print(out, std::string("qdpimport ") + QDP_VERSION + "\n");
    return kExitDone;
  }
  view::AtariPalette palette;
  try {
    palette = ChoosePalette(options.Palette, fs);
  } catch (const RunError& error) {
    Print(err, "qdpimport: " + error.Reason() + "\n");
    return kExitUsage;
  }
  const size_t count = options.Pictures.size();
  if (options.Output && !(count == 1 && NamesProject(*options.Output))) {
    const std::string& dir = *options.Output;
    if (!fs.IsDirectory(dir)) {
      if (fs.IsExistingFile(dir)) {
        Print(err, "qdpimport: " + dir + " is not a folder\n");
        return kExitUsage;
      }
      try {
        fs.MakeDirectories(dir);
      } catch (const RunError& error) {
        Print(err, "qdpimport: cannot make the folder " + dir + ": " + error.Reason() + "\n");
        return kExitError;
      }
    }
  }

  // No project is written over a picture of the run, nor over the project
  // of an earlier picture.
  std::set<std::string> inputs;
  std::set<FileIdentity> input_files;
  for (const std::string& picture : options.Pictures) {
    inputs.insert(Normalised(picture));
    if (std::optional<FileIdentity> id = fs.Identify(picture)) input_files.insert(*id);
  }
  std::set<std::string> written;
  int status = kExitDone;
  bool first = true;
  for (const std::string& picture : options.Pictures) {
    const std::string project = ProjectName(picture, options.Output, count);
    const std::optional<FileIdentity> id = fs.Identify(project);
    PictureReport report;
    int picture_status = kExitDone;
    if (inputs.count(Normalised(project)) != 0 || (id && input_files.count(*id) != 0) ||
        WouldOverwrite(fs, project, picture)) {
      report.Picture = picture;
      report.Error = "would write " + project + " over a picture of this run";
      picture_status = kExitError;
    } else if (written.count(Normalised(project)) != 0) {
      report.Picture = picture;
      report.Error = "would write " + project + " again, over the project of an earlier picture";
      picture_status = kExitError;
    } else {
      report = ImportFile(picture, project, options, palette, fs, picture_status);
      if (!report.Project.empty()) written.insert(Normalised(project));
    }
    if (options.Json) {
      Print(out, FormatJson(report) + "\n");
    } else if (!options.Quiet && report.Imported) {
      if (!first) Print(out, "\n");
      Print(out, FormatText(report));
      first = false;
    }
    std::fflush(out);
    if (report.Error) {
      Print(err, "qdpimport: " + picture + ": " + *report.Error + "\n");
      std::fflush(err);
      status = std::max(status, picture_status);
    }
  }
  return status;
}

}  // namespace

int RunImport(const std::vector<std::string>& argv, std::FILE* out, std::FILE* err,
              FileSystem& fs) {
  int status;
  try {
    status = ImportAll(argv, out, err, fs);
  } catch (const std::bad_alloc&) {
    Print(err, "qdpimport: out of memory\n");
    status = kExitError;
  } catch (const std::exception& error) {
    Print(err, std::string("qdpimport: ") + error.what() + "\n");
    status = kExitError;
  }
  // A summary that could not be written fails the run.
  if (std::fflush(out) != 0 || std::ferror(out)) {
    Print(err, "qdpimport: cannot write to standard output\n");
    return status == kExitDone ? kExitError : status;
  }
  return status;
}

}  // namespace qdp::importer
