#include "app/run_job.h"

#include <string>
#include <vector>

#include "export/side_files.h"
#include "platform/error.h"
#include "project/reader.h"

namespace qdp {
namespace {

// Refuses a job that would write a side file over its own input (for
// example "pic.mic" with -m): the picture would be lost before it is read.
void RefuseOverwritingInput(const Options& options, FileSystem& fs) {
  std::vector<const char*> extensions;
  if (options.OptionSaveBitmap) extensions.push_back(".mic");
  if (options.OptionSaveFonts) {
    extensions.push_back(".fnt");
    extensions.push_back(".tab");
  }
  if (options.OptionSaveScreen) extensions.push_back(".scr");
  if (options.OptionSaveColours) extensions.push_back(".col");
  const std::string& input = options.InputFileName;
  for (const char* extension : extensions) {
    std::string target = SideFileName(input, extension);
    if (target == input || fs.IsSameFile(target, input)) {
      throw InOutError("Side file " + target + " is the input file");
    }
  }
}

}  // namespace

void RunJob(const Options& options, Workspace& ws, FileSystem& fs) {
  RefuseOverwritingInput(options, fs);
  LoadProject(ws, fs, options.InputFileName);
  if (options.OptionSaveBitmap) SaveMicFile(ws, fs, options.InputFileName);
  SaveFntScrTab(ws, fs, options.OptionSaveFonts, options.OptionSaveScreen, options.OptionSaveFonts,
                options.InputFileName);
  SaveColFile(ws, fs, options.OptionSaveColours, options.InputFileName);
}

}  // namespace qdp
