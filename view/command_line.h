// Reads qdpview's command line: options, then one or more project files.
#ifndef QDPEXT_VIEW_COMMAND_LINE_H_
#define QDPEXT_VIEW_COMMAND_LINE_H_

#include <optional>
#include <string>
#include <vector>

#include "view/gtia_mode.h"
#include "view/palette.h"

namespace qdp::view {

// The largest --scale.
inline constexpr int kMaxScale = 16;

struct ViewOptions {
  std::optional<std::string> OutputDir;       // -o DIR; else beside each input
  int Scale = 1;                              // --scale N, 1 to kMaxScale
  std::string Palette = kDefaultPaletteName;  // --palette: a built-in name or a file
  GtiaMode Gtia = GtiaMode::kLuminances;      // --gtia, by kGtiaModeNames
  bool Bits = false;                          // --bits: the 1-bit bitmap instead
  bool Json = false;                          // --json
  bool Images = true;                         // false for --no-images
  bool Help = false;                          // --help: nothing else is done
  bool Version = false;                       // --version: nothing else is done
  std::vector<std::string> Files;
};

// Why a --gtia value is refused: "--gtia needs 9, 10 or 11".
std::string GtiaNeeds();

// The usage text, each line ended by "\n".
std::string ViewUsage();

// The options the arguments (without the program name) give, or the
// reason they are not usable.
struct ParsedCommandLine {
  std::optional<ViewOptions> Options;
  std::string Error;
};
ParsedCommandLine ParseViewCommandLine(const std::vector<std::string>& args);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_COMMAND_LINE_H_
