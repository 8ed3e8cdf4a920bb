#include "view/summary.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

#include "export/side_files.h"
#include "view/outputs.h"

namespace qdp::view {
namespace {

std::string Plural(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Each conversion kind's name in the JSON and its words in the text.
struct ConversionNames {
  ConversionKind kind;
  const char* name;
  const char* text;
};
constexpr ConversionNames kConversionNames[] = {
    {ConversionKind::kNone, "none", "none, the fonts and screen are used as stored"},
    {ConversionKind::kCharPerCell, "per-cell", "one new character for every cell"},
    {ConversionKind::kSharedChars, "shared", "shared characters"},
    {ConversionKind::kBlocks16, "blocks", "16 x 16 blocks on two alternating fonts"},
};

const ConversionNames& NamesOf(ConversionKind kind) {
  for (const ConversionNames& names : kConversionNames) {
    if (names.kind == kind) return names;
  }
  return kConversionNames[0];
}

}  // namespace

const char* ConversionKindName(ConversionKind kind) { return NamesOf(kind).name; }

void DescribeLoadedProject(const Workspace& ws, FileReport& report) {
  report.loaded = true;
  report.width = ws.LineWidth;
  report.character_mode = ws.CharacterMode;
  report.conversion = ws.Conversion.Kind;
  report.conversion_from_header = ws.Conversion.Source == ConversionSource::kHeaderBits;
  report.fonts_stored = ws.LastDeclaredFont + 1;
  report.lines_in_use.clear();
  for (int line = 0; line < kScreenLines; ++line) {
    if (LineInUse(ws, line)) report.lines_in_use.push_back(line);
  }
  // A line naming a font the file does not hold is drawn from an empty
  // one: usually a mistake in the project.
  std::array<std::vector<int>, kFontCount> beyond;
  for (int line = 0; line < kScreenLines; ++line) {
    int font = ws.Loaded.LineFonts[line];
    if (font >= report.fonts_stored) beyond[font].push_back(line);
  }
  for (int font = 0; font < kFontCount; ++font) {
    if (beyond[font].empty()) continue;
    report.warnings.push_back(
        (beyond[font].size() == 1 ? "line " : "lines ") + FormatLineList(beyond[font]) +
        " name font " + std::to_string(font) + " but the file stores " +
        Plural(report.fonts_stored, "font", "fonts") + ", so they are drawn from an empty font");
  }
}

void DescribeRebuild(const Workspace& ws, FileReport& report) {
  report.converted = true;
  report.fonts.clear();
  std::array<std::vector<int>, kFontCount> lines_of;
  for (int line = 0; line < kScreenLines; ++line) lines_of[ws.LineFontTable[line]].push_back(line);
  const int width = LineCells(ws);
  for (int font = 0; font < kFontCount; ++font) {
    if (lines_of[font].empty()) continue;
    std::array<bool, kCharsPerFont> used{};
    for (int line : lines_of[font]) {
      const uint8_t* codes = &ws.Screen[RowOffset(line)];
      for (int x = 0; x < width; ++x) used[codes[x] & kCharNumberMask] = true;
    }
    FontUse use;
    use.number = font;
    use.characters = static_cast<int>(std::count(used.begin(), used.end(), true));
    use.lines = lines_of[font];
    if (font >= kFontsInFontFile) {
      report.warnings.push_back(
          "font " + std::to_string(font) + " (" + (use.lines.size() == 1 ? "line " : "lines ") +
          FormatLineList(use.lines) + ") is not written to .fnt, which holds fonts 0 to 29 only");
    }
    report.fonts.push_back(std::move(use));
  }
}

std::vector<int> FontNumbers(const FileReport& report) {
  std::vector<int> numbers;
  for (const FontUse& font : report.fonts) numbers.push_back(font.number);
  return numbers;
}

std::string FormatLineList(const std::vector<int>& lines) {
  if (lines.empty()) return "none";
  std::string text;
  for (size_t i = 0; i < lines.size();) {
    size_t j = i;
    while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) ++j;
    if (!text.empty()) text += ", ";
    text += std::to_string(lines[i]);
    if (j > i) {
      text += '-';
      text += std::to_string(lines[j]);
    }
    i = j + 1;
  }
  return text;
}

std::string FormatText(const FileReport& r) {
  std::string t = r.file + "\n";
  if (r.loaded) {
    t += "  geometry:      " + std::to_string(r.width) + " x 30 cells, " +
         std::to_string(r.width * 8) + " x 240 pixels, character mode " +
         std::to_string(r.character_mode) + "\n";
    t += "  conversion:    " + std::string(NamesOf(r.conversion).text) + " (chosen by the " +
         (r.conversion_from_header ? "header" : "layout") + ")\n";
    t += "  fonts:         " + std::to_string(r.fonts_stored) + " stored";
    if (r.converted) t += ", " + std::to_string(r.fonts.size()) + " in use after the rebuild";
    t += "\n";
    for (const FontUse& f : r.fonts) {
      t += "    font " + std::to_string(f.number) + ": " +
           Plural(f.characters, "character", "characters") + ", " +
           (f.lines.size() == 1 ? "line " : "lines ") + FormatLineList(f.lines) + "\n";
    }
    t += "  lines in use:  " + FormatLineList(r.lines_in_use) + "\n";
  }
  for (const std::string& w : r.warnings) t += "  warning:       " + w + "\n";
  if (r.round_trip_exact.has_value()) {
    t += std::string("  round trip:    ") +
         (*r.round_trip_exact ? "exact, the rebuilt fonts draw the same picture" : "broken") + "\n";
  }
  if (r.error) t += "  error:         " + *r.error + "\n";
  for (const Output& output : kOutputs) {
    std::string label = std::string(output.name) + ":";
    label.resize(15, ' ');
    if (std::optional<std::string> file = r.Written(output.name)) {
      t += "  " + label + *file + "\n";
    } else if (output.needs_rebuild && !r.written.empty() && r.loaded && !r.converted) {
      t += "  " + label + "none (the rebuild failed)\n";
    }
  }
  return t;
}

std::string FormatJson(const FileReport& r) {
  using Json = nlohmann::ordered_json;
  Json j;
  j["file"] = r.file;
  j["width"] = r.loaded ? Json(r.width) : Json(nullptr);
  j["character_mode"] = r.loaded ? Json(r.character_mode) : Json(nullptr);
  j["conversion"] = r.loaded ? Json(ConversionKindName(r.conversion)) : Json(nullptr);
  j["conversion_source"] =
      r.loaded ? Json(r.conversion_from_header ? "header" : "layout") : Json(nullptr);
  j["fonts_stored"] = r.loaded ? Json(r.fonts_stored) : Json(nullptr);
  j["fonts_used"] = FontNumbers(r);
  j["fonts"] = Json::array();
  for (const FontUse& f : r.fonts) {
    j["fonts"].push_back({{"number", f.number}, {"characters", f.characters}, {"lines", f.lines}});
  }
  j["lines_in_use"] = r.lines_in_use;
  j["round_trip_exact"] = r.round_trip_exact ? Json(*r.round_trip_exact) : Json(nullptr);
  j["warnings"] = r.warnings;
  j["error"] = r.error ? Json(*r.error) : Json(nullptr);
  for (const Output& output : kOutputs) {
    std::optional<std::string> file = r.Written(output.name);
    j[output.json_key] = file ? Json(*file) : Json(nullptr);
  }
  // File names need not be UTF-8; such bytes come out as U+FFFD rather
  // than ending the run.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace qdp::view
