#include "importer/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "view/palette.h"

namespace qdp::importer {

std::string ImportUsage() {
  using view::NamesJoined;
  const std::string max_changes = std::to_string(import::kColourRegisters);
  return "usage: qdpimport [-o PATH] [-z] [--fit] [--mode " +
         NamesJoined(import::kModeChoiceNames, "|") +
         "]\n"
         "                 [--palette " +
         NamesJoined(view::kBuiltInPaletteNames, "|") +
         "|FILE] [--max-changes N]\n"
         "                 [--dither " +
         NamesJoined(import::kDitheringNames, "|") +
         "] [--fonts N] [--json] [-q]\n"
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
         "  --palette P        the machine's colours: " +
         view::BuiltInPalettesOffered() +
         ", or a palette\n"
         "                     file of 256 RGB triples (" +
         std::to_string(view::kPaletteFileBytes) + " or " +
         std::to_string(view::kPaletteFileWithTrailerBytes) +
         " bytes)\n"
         "  --max-changes N    colour registers that may change from one scanline to\n"
         "                     the next, 0 to " +
         max_changes + " (default " + max_changes +
         ")\n"
         "  --dither D         none, ordered or diffusion (default)\n"
         "  --fonts N          use at most N fonts, 1 to " +
         std::to_string(import::kMaxFontBudget) +
         ", merging characters\n"
         "  --json             one JSON object per picture instead of the summary\n"
         "  -q, --quiet        no summary\n";
}

namespace {

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
  if (!mode_choice) return Refuse("--mode needs " + view::NamesInWords(import::kModeChoiceNames));
  options.Import.Mode = *mode_choice;
  const std::optional<import::Dithering> dithering = import::DitheringByName(dither);
  if (!dithering) return Refuse("--dither needs " + view::NamesInWords(import::kDitheringNames));
  options.Import.Dither = *dithering;
  options.Import.FontBudget = fonts.value_or(0);
  if (options.Output && options.Output->empty()) return Refuse("-o needs a path");
  if (options.Palette.empty())
    return Refuse("--palette needs " + view::NamesJoined(view::kBuiltInPaletteNames, ", ") +
                  " or a palette file");
  if (options.Pictures.empty()) return Refuse("no picture given");
  return {options, ""};
}

}  // namespace qdp::importer
