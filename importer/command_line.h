// Reads qdpimport's command line: options, then one or more pictures.
#ifndef QDPEXT_IMPORTER_COMMAND_LINE_H_
#define QDPEXT_IMPORTER_COMMAND_LINE_H_

#include <optional>
#include <string>
#include <vector>

#include "import/options.h"
#include "view/palette.h"

namespace qdp::importer {

struct ImportCommandLine {
  // -o PATH: the project's file for one picture when it ends in ".qdp" (any
  // case), else the folder the projects go to; none: beside each picture.
  std::optional<std::string> Output;
  bool Compressed = false;  // -z: the compressed form
  bool Fit = false;         // --fit: scale a picture of any size to the screen
  std::string Palette = view::kDefaultPaletteName;  // --palette: a built-in name or a file
  import::ImportOptions Import;
  bool Json = false;     // --json: one JSON object per picture
  bool Quiet = false;    // -q: no summary
  bool Help = false;     // --help: nothing else is done
  bool Version = false;  // --version: nothing else is done
  std::vector<std::string> Pictures;
};

// The usage text, each line ended by "\n".
std::string ImportUsage();

// The options the arguments (without the program name) give, or the
// reason they are not usable.
struct ParsedImportCommandLine {
  std::optional<ImportCommandLine> Options;
  std::string Error;
};
ParsedImportCommandLine ParseImportCommandLine(const std::vector<std::string>& args);

}  // namespace qdp::importer

#endif  // QDPEXT_IMPORTER_COMMAND_LINE_H_
