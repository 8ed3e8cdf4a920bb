#include "app/command_line.h"

#include <algorithm>

#include "app/run_job.h"

namespace qdp {

std::string UsageText() {
  std::string text = "QDP Extractor v" QDP_VERSION
                     " by the qdpext developers\r\n"
                     "Syntax: qdpext filename.qdp [options]\r\n";
  for (char letter : kUsageOrder) {
    const SideFile& file =
        *std::find_if(kSideFiles.begin(), kSideFiles.end(),
                      [letter](const SideFile& f) { return f.Letter == letter; });
    text += '-';
    text += static_cast<char>(letter - 'A' + 'a');
    text += "\tsave *";
    text += file.Extension;
    text += "\r\n";
  }
  return text;
}

void PrintUsage(std::FILE* out) {
  const std::string text = UsageText();
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
}

namespace {

// Option letters may follow "/" as well as "-", so that users who write
// options with a slash ("/sf") are served too. An argument that holds a
// second "/" is an absolute path instead ("/home/me/pic.qdp"), so that a
// file anywhere can still be named.
bool IsOptionArgument(const std::string& arg) {
  if (arg[0] == '-') return true;
  return arg[0] == '/' && arg.find('/', 1) == std::string::npos;
}

// Some side file that is worth a run on its own is selected.
bool IsJob(const Options& options) {
  for (const SideFile& file : kSideFiles) {
    if (file.MakesJob && options.Selects(file.Letter)) return true;
  }
  return false;
}

}  // namespace

bool ApplyOptionLetter(char letter, Options& options) {
  // Only a to z are folded: other bytes (digits, non-ASCII) stay as they are
  // and match no letter.
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  for (const SideFile& file : kSideFiles) {
    if (file.Letter != letter) continue;
    options.Select(letter);
    return true;
  }
  return false;
}

std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, FileSystem& fs) {
  Options options;
  bool any_argument = false;
  for (const std::string& arg : args) {
    // An empty argument ("") is not an argument at all.
    if (arg.empty()) continue;
    any_argument = true;
    if (!IsOptionArgument(arg)) {
      options.InputFileName = arg;
      continue;
    }
    // A lone "-" or "/" sets nothing; the letters are taken in turn so that
    // a bad one refuses the job at that point.
    for (size_t i = 1; i < arg.size(); ++i) {
      if (!ApplyOptionLetter(arg[i], options)) return std::nullopt;
    }
  }
  if (!any_argument) return std::nullopt;
  // The colours alone are not a job.
  if (!IsJob(options)) return std::nullopt;
  if (!fs.IsExistingFile(options.InputFileName)) return std::nullopt;
  return options;
}

}  // namespace qdp
