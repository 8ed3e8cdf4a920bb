#include "app/run_job.h"

#include <string>

#include "load/load_path.h"
#include "platform/error.h"
#include "platform/path.h"

namespace qdp {

namespace {

// Refuses a job that would write a side file over its own input (for
// example "pic.mic" with -m): the picture would be lost before it is read.
void RefuseOverwritingInput(const SideFile& file, const std::string& input, FileSystem& fs) {
  std::string target = SideFileName(input, file.Extension);
  if (WouldOverwrite(fs, target, input)) {
    throw InOutError("Side file " + target + " is the input file");
  }
}

}  // namespace

bool IsWritten(const SideFile& file, const Options& options, const Workspace& ws) {
  return options.Selects(file.Letter) && (file.DueFor == nullptr || file.DueFor(ws));
}

void WriteSideFiles(const Options& options, const Workspace& ws, FileSystem& fs) {
  for (const SideFile& file : kSideFiles) {
    if (IsWritten(file, options, ws)) {
      file.Write(ws, fs, SideFileName(options.InputFileName, file.Extension));
    }
  }
}

void CheckBeforeLoading(const Options& options, FileSystem& fs) {
  for (const SideFile& file : kSideFiles) {
    if (options.Selects(file.Letter) && file.DueFor == nullptr) {
      RefuseOverwritingInput(file, options.InputFileName, fs);
    }
  }
}

void FinishLoadedJob(const Options& options, const Workspace& ws, FileSystem& fs) {
  // Whether a file with a further condition is written is known only once
  // the project is in: a picture drawn in font 0 alone leaves an existing
  // line table untouched, so only then can an input named like it be in
  // the way.
  for (const SideFile& file : kSideFiles) {
    if (file.DueFor != nullptr && IsWritten(file, options, ws)) {
      RefuseOverwritingInput(file, options.InputFileName, fs);
    }
  }
  WriteSideFiles(options, ws, fs);
}

void RunJob(const Options& options, Workspace& ws, FileSystem& fs) {
  CheckBeforeLoading(options, fs);
  LoadDrawAndRebuild(ws, fs, options.InputFileName);
  FinishLoadedJob(options, ws, fs);
}

}  // namespace qdp
