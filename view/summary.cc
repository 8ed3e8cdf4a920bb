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

// Each conversion kind's name in the JSON and its words in the text. A
// switch with no default: a kind added without its names does not compile.
struct ConversionNames {
  const char* Name;
  const char* Text;
};
ConversionNames NamesOf(ConversionKind kind) {
  switch (kind) {
    case ConversionKind::kNone:
      return {"none", "none, the fonts and screen are used as stored"};
    case ConversionKind::kCharPerCell:
      return {"per-cell", "one new character for every cell"};
    case ConversionKind::kSharedChars:
      return {"shared", "shared characters"};
    case ConversionKind::kBlocks16:
      return {"blocks", "16 x 16 blocks on two alternating fonts"};
  }
  return {"unknown", "unknown"};  // a value outside the enum
}

}  // namespace

const char* ConversionKindName(ConversionKind kind) { return NamesOf(kind).Name; }

namespace {

void DescribeLoadedProject(const Workspace& ws, FileReport& report) {
  report.Loaded = true;
  report.Width = ws.LineWidth;
  report.CharacterMode = ws.CharacterMode;
  report.Conversion = ws.Conversion.Kind;
  report.ConversionFromHeader = ws.Conversion.Source == ConversionSource::kHeaderBits;
  report.FontsStored = ws.LastDeclaredFont + 1;
  report.LinesInUse.clear();
  report.LineModes.clear();
  for (int line = 0; line < kScreenLines; ++line) {
    if (LineInUse(ws, line)) report.LinesInUse.push_back(line);
    const LineMode mode = ShownLineMode(ws, line);
    report.LineModes.push_back(mode == LineMode::kBlank ? 0 : static_cast<int>(mode));
  }
  report.LineModesValid = ws.LineModesValid;
  // A line naming a font the file does not hold is drawn from an empty
  // one: usually a mistake in the project.
  std::array<std::vector<int>, kFontCount> beyond;
  for (int line = 0; line < kScreenLines; ++line) {
    int font = ws.Loaded.LineFonts[line];
    if (font >= report.FontsStored) beyond[font].push_back(line);
  }
  for (int font = 0; font < kFontCount; ++font) {
    if (beyond[font].empty()) continue;
    report.Warnings.push_back(
        (beyond[font].size() == 1 ? "line " : "lines ") + FormatLineList(beyond[font]) +
        " name font " + std::to_string(font) + " but the file stores " +
        Plural(report.FontsStored, "font", "fonts") + ", so they are drawn from an empty font");
  }
}

// The fonts in use after the rebuild, with a warning for each one the font
// file cannot hold.
void DescribeRebuild(const ProjectView& view, FileReport& report) {
  report.Converted = true;
  report.Fonts = view.Fonts();
  for (const FontUse& use : report.Fonts) {
    if (use.Number >= kFontsInFontFile) {
      report.Warnings.push_back("font " + std::to_string(use.Number) + " (" +
                                (use.Lines.size() == 1 ? "line " : "lines ") +
                                FormatLineList(use.Lines) +
                                ") is not written to .fnt, which holds fonts 0 to " +
                                std::to_string(kFontsInFontFile - 1) + " only");
    }
  }
}

}  // namespace

void DescribeProject(const ProjectView& view, FileReport& report) {
  DescribeLoadedProject(view.Project(), report);
  if (view.Failure()) return;
  DescribeRebuild(view, report);
  const ColourChanges& colours = view.ColourChangesOfRebuild();
  report.RoundTripExact = view.RoundTrip()->Exact && colours.Lines.empty();
  report.RoundTripColourLines = colours.Lines;
  report.RoundTripColourCause = colours.Cause;
}

std::vector<int> FontNumbers(const FileReport& report) {
  std::vector<int> numbers;
  for (const FontUse& font : report.Fonts) numbers.push_back(font.Number);
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

std::string FormatLineModes(const std::vector<int>& modes) {
  struct ModeName {
    int Mode;
    const char* Name;
  };
  constexpr ModeName kModeNames[] = {{1, "hi-res"}, {2, "four-colour"}, {4, "GTIA"}, {0, "blank"}};
  std::string text;
  for (const ModeName& mode : kModeNames) {
    std::vector<int> lines;
    for (size_t line = 0; line < modes.size(); ++line) {
      if (modes[line] == mode.Mode) lines.push_back(static_cast<int>(line));
    }
    if (lines.empty()) continue;
    if (!text.empty()) text += ", ";
    text += std::string(mode.Name) + " " + FormatLineList(lines);
  }
  return text;
}

std::string FormatText(const FileReport& r) {
  std::string t = r.File + "\n";
  if (r.Loaded) {
    t += "  geometry:      " + std::to_string(r.Width) + " x 30 cells, " +
         std::to_string(r.Width * 8) + " x 240 pixels, character mode " +
         std::to_string(r.CharacterMode) + "\n";
    t += "  conversion:    " + std::string(NamesOf(r.Conversion).Text) + " (chosen by the " +
         (r.ConversionFromHeader ? "header" : "layout") + ")\n";
    t += "  fonts:         " + std::to_string(r.FontsStored) + " stored";
    if (r.Converted) t += ", " + std::to_string(r.Fonts.size()) + " in use after the rebuild";
    t += "\n";
    for (const FontUse& f : r.Fonts) {
      t += "    font " + std::to_string(f.Number) + ": " +
           Plural(f.Characters, "character", "characters") + ", " +
           (f.Lines.size() == 1 ? "line " : "lines ") + FormatLineList(f.Lines) + "\n";
    }
    t += "  lines in use:  " + FormatLineList(r.LinesInUse) + "\n";
    t += "  line modes:    " + FormatLineModes(r.LineModes);
    if (!r.LineModesValid) {
      t += " (the line mode table is not valid; the header's mode is used)";
    }
    t += "\n";
  }
  for (const std::string& w : r.Warnings) t += "  warning:       " + w + "\n";
  if (!r.RoundTripColourLines.empty()) {
    t += "  round trip:    the rebuild changes colours on " +
         std::string(r.RoundTripColourLines.size() == 1 ? "line " : "lines ") +
         FormatLineList(r.RoundTripColourLines) + ": " + r.RoundTripColourCause + "\n";
  } else if (r.RoundTripExact.has_value()) {
    t += std::string("  round trip:    ") +
         (*r.RoundTripExact ? "exact, the rebuilt fonts draw the same picture" : "broken") + "\n";
  }
  if (r.Error) t += "  error:         " + *r.Error + "\n";
  for (const Output& output : kOutputs) {
    std::string label = std::string(output.Name) + ":";
    label.resize(15, ' ');
    if (std::optional<std::string> file = r.Written(output.Name)) {
      t += "  " + label + *file + "\n";
    } else if (output.NeedsRebuild && !r.WrittenFiles.empty() && r.Loaded && !r.Converted) {
      t += "  " + label + "none (the rebuild failed)\n";
    }
  }
  return t;
}

std::string FormatJson(const FileReport& r) {
  using Json = nlohmann::ordered_json;
  Json j;
  j["file"] = r.File;
  j["width"] = r.Loaded ? Json(r.Width) : Json(nullptr);
  j["character_mode"] = r.Loaded ? Json(r.CharacterMode) : Json(nullptr);
  j["conversion"] = r.Loaded ? Json(ConversionKindName(r.Conversion)) : Json(nullptr);
  j["conversion_source"] =
      r.Loaded ? Json(r.ConversionFromHeader ? "header" : "layout") : Json(nullptr);
  j["fonts_stored"] = r.Loaded ? Json(r.FontsStored) : Json(nullptr);
  j["fonts_used"] = FontNumbers(r);
  j["fonts"] = Json::array();
  for (const FontUse& f : r.Fonts) {
    j["fonts"].push_back({{"number", f.Number}, {"characters", f.Characters}, {"lines", f.Lines}});
  }
  j["lines_in_use"] = r.LinesInUse;
  j["line_modes"] = Json::array();
  for (int mode : r.LineModes) j["line_modes"].push_back(mode == 0 ? Json(nullptr) : Json(mode));
  if (!r.Loaded) j["line_modes"] = nullptr;
  j["palette"] = r.Palette;
  j["gtia"] = r.Gtia == 0 ? Json(nullptr) : Json(r.Gtia);
  j["round_trip_exact"] = r.RoundTripExact ? Json(*r.RoundTripExact) : Json(nullptr);
  j["round_trip_colour_lines"] = r.RoundTripExact ? Json(r.RoundTripColourLines) : Json(nullptr);
  j["round_trip_colour_cause"] =
      r.RoundTripColourLines.empty() ? Json(nullptr) : Json(r.RoundTripColourCause);
  j["warnings"] = r.Warnings;
  j["error"] = r.Error ? Json(*r.Error) : Json(nullptr);
  for (const Output& output : kOutputs) {
    std::optional<std::string> file = r.Written(output.Name);
    j[output.JsonKey] = file ? Json(*file) : Json(nullptr);
  }
  // File names need not be UTF-8; such bytes come out as U+FFFD rather
  // than ending the run.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace qdp::view
