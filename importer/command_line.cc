#include "importer/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace qdp::importer {

const char kImportUsage[] =
    "usage: qdpimport [-o PATH] [-z] [--fit] [--mode auto|hires|four|gtia]\n"
    "                 [--palette pal|ntsc|FILE] [--max-changes N]\n"
    "                 [--dither none|ordered|diffusion] [--fonts N] [--json] [-q]\n"
    "                 PICTURE...\n"
    "       qdpimport --help | --version\n"
    "Turns each PNG or JPEG PICTURE into a project the machine shows as close to\n"
    "the picture as it can, written as STEM.qdp beside PICTURE, and prints a\n"
    "summary of each. A picture is taken as it stands at 256, 320 or 384 x 240,\n"
    "or half as wide (128, 160 or 192 x 240: one pixel per four-colour pixel).\n"
    "  -o, --output PATH  for one picture, a PATH ending in .qdp is the project;\n"
    "                     otherwise PATH is a folder, made when missing\n"
    "  -z                 write the compressed form\n"
    "  --fit              scale a picture of any other size to 320 x 240, keeping\n"
    "                     its aspect, centred on black\n"
    "  --mode M           the lines' mode: auto (default, each line the mode that\n"
    "                     draws it best), hires, four or gtia\n"
    "  --palette P        the machine's colours: pal (default), ntsc, or a palette\n"
    "                     file of 256 RGB triples (768 or 772 bytes)\n"
    "  --max-changes N    colour registers that may change from one scanline to\n"
    "                     the next, 0 to 5 (default 5)\n"
    "  --dither D         none, ordered or diffusion (default)\n"
    "  --fonts N          use at most N fonts, 1 to 30, merging characters\n"
    "  --json             one JSON object per picture instead of the summary\n"
    "  -q, --quiet        no summary\n";

namespace {

// "a, b or c": the names of a table, for the reasons.
template <typename Table>
std::string NamesOf(const Table& table) {
  std::string text;
  for (size_t i = 0; i < table.size(); ++i) {
    if (i > 0) text += i + 1 == table.size() ? " or " : ", ";
    text += table[i].Name;
  }
  return text;
}

ParsedImportCommandLine Refuse(std::string reason) { return {std::nullopt, std::move(reason)}; }

}  // namespace

ParsedImportCommandLine ParseImportCommandLine(const std::vector<std::string>& args) {
  ImportCommandLine options;
  std::string mode = import::ModeChoiceNameOf(options.Import.Mode);
  std::string dither = import::DitheringNameOf(options.Import.Dither);
  std::optional<int> fonts;

  CLI::App app("qdpimport", "qdpimport");
  app.set_help_flag();  // the usage text is our own
  app.allow_windows_style_options(false);
  app.add_flag("--help,-h", options.Help);
  app.add_flag("--version", options.Version);
  app.add_option("-o,--output", options.Output)->type_name("PATH");
  app.add_flag("-z", options.Compressed);
  app.add_flag("--fit", options.Fit);
  app.add_option("--mode", mode);
  app.add_option("--palette", options.Palette);
  app.add_option("--max-changes", options.Import.MaxChanges)
      ->check(CLI::Range(0, import::kColourRegisters));
  app.add_option("--dither", dither);
  app.add_option("--fonts", fonts)->check(CLI::Range(1, import::kMaxFontBudget));
  app.add_flag("--json", options.Json);
  app.add_flag("-q,--quiet", options.Quiet);
  app.add_option("pictures", options.Pictures);
  try {
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    return Refuse(error.what());
  }
  if (options.Help || options.Version) return {options, ""};

  const std::optional<import::ModeChoice> mode_choice = import::ModeChoiceByName(mode);
  if (!mode_choice) return Refuse("--mode needs " + NamesOf(import::kModeChoiceNames));
  options.Import.Mode = *mode_choice;
  const std::optional<import::Dithering> dithering = import::DitheringByName(dither);
  if (!dithering) return Refuse("--dither needs " + NamesOf(import::kDitheringNames));
  options.Import.Dither = *dithering;
  options.Import.FontBudget = fonts.value_or(0);
  if (options.Output && options.Output->empty()) return Refuse("-o needs a path");
  if (options.Palette.empty()) return Refuse("--palette needs pal, ntsc or a palette file");
  if (options.Pictures.empty()) return Refuse("no picture given");
  return {options, ""};
}

}  // namespace qdp::importer
