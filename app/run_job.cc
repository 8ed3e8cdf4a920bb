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
void RefuseOverwritingInput(const std::vector<const char*>& extensions, const std::string& input,
                            FileSystem& fs) {
  for (const char* extension : extensions) {
    std::string target = SideFileName(input, extension);
    if (target == input || fs.IsSameFile(target, input)) {
      throw InOutError("Side file " + target + " is the input file");
    }
  }
}

}  // namespace

void RunJob(const Options& options, Workspace& ws, FileSystem& fs) {
  const std::string& input = options.InputFileName;
  std::vector<const char*> extensions;
  if (options.OptionSaveBitmap) extensions.push_back(".mic");
  if (options.OptionSaveFonts) extensions.push_back(".fnt");
  if (options.OptionSaveScreen) extensions.push_back(".scr");
  if (options.OptionSaveColours) extensions.push_back(".col");
  RefuseOverwritingInput(extensions, input, fs);
  LoadProject(ws, fs, input);
  // Whether a line table is written is known only once the project is in:
  // a picture drawn in font 0 alone leaves an existing one untouched, so
  // only then can an input named like it be in the way.
  if (options.OptionSaveFonts && LineTableDue(ws)) RefuseOverwritingInput({".tab"}, input, fs);
  if (options.OptionSaveBitmap) SaveMicFile(ws, fs, input);
  SaveFntScrTab(ws, fs, options.OptionSaveFonts, options.OptionSaveScreen, options.OptionSaveFonts,
                input);
  SaveColFile(ws, fs, options.OptionSaveColours, input);
}

}  // namespace qdp
