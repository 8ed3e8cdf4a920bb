// What qdpview reports about one input file, gathered from the loaded
// workspace, and its two forms: readable text and one line of JSON.
#ifndef QDPEXT_VIEW_SUMMARY_H_
#define QDPEXT_VIEW_SUMMARY_H_

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "workspace/workspace.h"

namespace qdp::view {

// "none", "per-cell", "shared" or "blocks" (the workspace's own kinds).
const char* ConversionKindName(ConversionKind kind);

struct FontUse {
  int number = 0;
  int characters = 0;      // distinct characters the screen uses in it
  std::vector<int> lines;  // the lines drawn with it
};

struct FileReport {
  std::string file;

  // Known once the header has been accepted.
  bool loaded = false;
  int width = 0;
  int character_mode = 0;
  ConversionKind conversion = ConversionKind::kNone;
  bool conversion_from_header = false;
  int fonts_stored = 0;
  std::vector<int> lines_in_use;

  // Known once the rebuild has succeeded.
  bool converted = false;
  std::vector<FontUse> fonts;  // in use after the rebuild, by number
  std::optional<bool> round_trip_exact;

  std::vector<std::string> warnings;
  std::optional<std::string> error;  // why the file failed
  // The pictures written, by their name in kOutputs ("preview", ...).
  std::map<std::string, std::string> written;

  // The file written as output `name`, if it was.
  std::optional<std::string> Written(const std::string& name) const {
    auto file = written.find(name);
    return file == written.end() ? std::nullopt : std::optional<std::string>(file->second);
  }
};

// Takes what the loader decided: geometry, conversion, stored fonts, lines
// in use, and the warning about lines naming fonts that were not stored.
// The one place that reads the loader's own fields.
void DescribeLoadedProject(const Workspace& ws, FileReport& report);

// Takes the fonts in use after a successful rebuild and warns about those
// the font file cannot hold.
void DescribeRebuild(const Workspace& ws, FileReport& report);

// Font numbers of `report.fonts`, in order.
std::vector<int> FontNumbers(const FileReport& report);

// "0-3, 5, 7-9" (empty: "none").
std::string FormatLineList(const std::vector<int>& lines);

// The summary as text lines, each ended by "\n".
std::string FormatText(const FileReport& report);

// One JSON object on one line, without the line end.
std::string FormatJson(const FileReport& report);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_SUMMARY_H_
