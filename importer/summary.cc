#include "importer/summary.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "view/summary.h"

namespace qdp::importer {
namespace {

// Each line's mode as qdpview gives it: 1, 2 or 4, or 0 for a blank line.
std::vector<int> ModeNumbers(const import::ImportReport& import) {
  std::vector<int> modes;
  for (LineMode mode : import.Modes) {
    modes.push_back(mode == LineMode::kBlank ? 0 : static_cast<int>(mode));
  }
  return modes;
}

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

std::string FormatText(const PictureReport& r) {
  std::string t = r.Picture + "\n";
  if (r.Decoded) {
    t += "  picture:       " + std::to_string(r.PictureWidth) + " x " +
         std::to_string(r.PictureHeight) + " pixels" +
         (r.Fitted ? ", fitted to the screen" : ", taken as it stands") + "\n";
  }
  if (r.Imported) {
    const import::ImportReport& i = r.Import;
    t += "  geometry:      " + std::to_string(r.LineWidth) + " x 30 cells, " +
         std::to_string(r.LineWidth * 8) + " x 240 pixels\n";
    t += "  line modes:    " + view::FormatLineModes(ModeNumbers(i)) + "\n";
    t += "  fonts:         " + std::to_string(i.FontsUsed);
    if (r.FontBudget > 0) {
      t += " (budget " + std::to_string(r.FontBudget);
      if (i.MergedCharacters > 0) {
        t += ": " + std::to_string(i.FontsNeeded) + " needed, " +
             std::to_string(i.MergedCharacters) + " characters merged";
      }
      t += ")";
    }
    t += "\n";
    t += "  registers:     " + std::to_string(i.RegisterChanges) +
         " changes between scanlines, at most " + std::to_string(i.MaxChangesOnAScanline) +
         " on one (limit " + std::to_string(r.MaxChanges) + ")\n";
    t += "  picture error: " + Fixed(i.Error, 2) + (i.Exact ? " (exact)" : "") + "\n";
  }
  if (!r.Project.empty()) t += "  project:       " + r.Project + "\n";
  if (r.Error) t += "  error:         " + *r.Error + "\n";
  t += "  time:          " + Fixed(r.Milliseconds, 0) + " ms\n";
  return t;
}

std::string FormatJson(const PictureReport& r) {
  using Json = nlohmann::ordered_json;
  auto when = [](bool known, const Json& value) { return known ? value : Json(nullptr); };
  const import::ImportReport& i = r.Import;
  Json j;
  j["file"] = r.Picture;
  j["project"] = r.Project.empty() ? Json(nullptr) : Json(r.Project);
  j["picture_width"] = when(r.Decoded, r.PictureWidth);
  j["picture_height"] = when(r.Decoded, r.PictureHeight);
  j["fitted"] = when(r.Decoded, r.Fitted);
  j["width"] = when(r.Imported, r.LineWidth);
  Json modes = Json::array();
  for (int mode : ModeNumbers(i)) modes.push_back(mode == 0 ? Json(nullptr) : Json(mode));
  j["line_modes"] = when(r.Imported, modes);
  j["fonts_used"] = when(r.Imported, i.FontsUsed);
  j["fonts_needed"] = when(r.Imported, i.FontsNeeded);
  j["font_budget"] = r.FontBudget == 0 ? Json(nullptr) : Json(r.FontBudget);
  j["merged_characters"] = when(r.Imported, i.MergedCharacters);
  j["register_changes"] = when(r.Imported, i.RegisterChanges);
  j["max_changes_on_a_scanline"] = when(r.Imported, i.MaxChangesOnAScanline);
  j["max_changes"] = r.MaxChanges;
  j["picture_error"] = when(r.Imported, i.Error);
  j["exact"] = when(r.Imported, i.Exact);
  j["milliseconds"] = r.Milliseconds;
  j["error"] = r.Error ? Json(*r.Error) : Json(nullptr);
  // File names need not be UTF-8; such bytes come out as U+FFFD.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace qdp::importer
