#include "view/command_line.h"

#include <charconv>
#include <span>
#include <string>

namespace qdp::view {

std::string ViewUsage() {
  const std::string palettes = NamesJoined(kBuiltInPaletteNames, "|");
  return "usage: qdpview [-o DIR] [--scale N] [--palette " + palettes + "|FILE] [--gtia " +
         NamesJoined(kGtiaModeNames, "|") +
         "]\n"
         "               [--bits] [--json] [--no-images] FILE...\n"
         "       qdpview --help | --version\n"
         "Writes STEM.png (the picture) and STEM-fonts.png (the fonts in use) for each\n"
         "project FILE, into DIR or beside FILE, and prints a summary of each.\n"
         "  -o, --output DIR  write the pictures into DIR\n"
         "  --scale N         draw every pixel as N x N (1 to " +
         std::to_string(kMaxScale) +
         ", default 1); the font\n"
         "                    sheet is drawn at twice that\n"
         "  --palette P       the machine's colours: " +
         BuiltInPalettesOffered() +
         ", or a palette\n"
         "                    file of 256 RGB triples (" +
         std::to_string(kPaletteFileBytes) + " or " + std::to_string(kPaletteFileWithTrailerBytes) +
         " bytes)\n"
         "  --gtia M          how GTIA lines are read: " +
         GtiaModeNameOf(GtiaMode::kLuminances) + " (default), " +
         NamesInWords(std::span(kGtiaModeNames).subspan(1)) +
         "\n"
         "  --bits            the picture as the 1-bit bitmap of .mic, black and white\n"
         "  --json            one JSON object per file instead of the text summary\n"
         "  --no-images       the summary only; nothing is written (-o, --scale unused)\n"
         "An option's value may also follow an equals sign: --scale=2, -o=DIR.\n";
}

std::string GtiaNeeds() { return "--gtia needs " + NamesInWords(kGtiaModeNames); }

namespace {

// Every number an option takes is read alike: decimal digits only, with
// any leading zeros ("02" is 2), no sign and no spaces.
std::optional<int> ParseNumber(const std::string& text, int lowest, int highest) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text[0] == '-' || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

ParsedCommandLine Refuse(std::string reason) { return {std::nullopt, std::move(reason)}; }

}  // namespace

ParsedCommandLine ParseViewCommandLine(const std::vector<std::string>& args) {
  ViewOptions options;
  bool only_files = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_files || arg.empty() || arg[0] != '-' || arg == "-") {
      options.Files.push_back(arg);
      continue;
    }
    // An option that takes a value, as "--name VALUE" or "--name=VALUE".
    auto value_of = [&](const std::string& name, std::string& value) {
      if (arg == name) {
        if (i + 1 >= args.size()) return false;
        value = args[++i];
        return true;
      }
      value = arg.substr(name.size() + 1);
      return true;
    };
    auto is = [&](const char* name) {
      std::string n = name;
      return arg == n || (n.size() > 2 && arg.rfind(n + "=", 0) == 0);
    };
    std::string value;
    if (arg == "--") {
      only_files = true;
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--version") {
      options.Version = true;
    } else if (arg == "--json") {
      options.Json = true;
    } else if (arg == "--no-images") {
      options.Images = false;
    } else if (is("-o") || is("--output")) {
      if (!value_of(arg[1] == '-' ? "--output" : "-o", value) || value.empty()) {
        return Refuse("-o needs a directory");
      }
      options.OutputDir = value;
    } else if (arg == "--bits") {
      options.Bits = true;
    } else if (is("--palette")) {
      if (!value_of("--palette", value) || value.empty()) {
        return Refuse("--palette needs " + NamesJoined(kBuiltInPaletteNames, ", ") +
                      " or a palette file");
      }
      options.Palette = value;
    } else if (is("--gtia")) {
      std::optional<GtiaMode> gtia;
      if (value_of("--gtia", value)) {
        if (std::optional<int> number = ParseNumber(value, 0, 99)) {
          gtia = GtiaModeByName(std::to_string(*number));
        }
      }
      if (!gtia) return Refuse(GtiaNeeds());
      options.Gtia = *gtia;
    } else if (is("--scale")) {
      std::optional<int> scale;
      if (value_of("--scale", value)) scale = ParseNumber(value, 1, kMaxScale);
      if (!scale) {
        return Refuse("--scale needs a whole number from 1 to " + std::to_string(kMaxScale));
      }
      options.Scale = *scale;
    } else {
      return Refuse("unknown option " + arg);
    }
  }
  if (!options.Help && !options.Version && options.Files.empty()) {
    return Refuse("no project file given");
  }
  return {options, ""};
}

}  // namespace qdp::view
