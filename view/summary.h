// What qdpview reports about one input file, taken from its ProjectView,
// and its two forms: readable text and one line of JSON. The view works
// the facts out; this only words them.
#ifndef QDPEXT_VIEW_SUMMARY_H_
#define QDPEXT_VIEW_SUMMARY_H_

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "view/project_view.h"
#include "workspace/workspace.h"

namespace qdp::view {

// "none", "per-cell", "shared" or "blocks": each conversion kind's name in
// the JSON.
const char* ConversionKindName(ConversionKind kind);

struct FileReport {
  std::string File;

  // Known once the header has been accepted.
  bool Loaded = false;
  int Width = 0;
  int CharacterMode = 0;
  ConversionKind Conversion = ConversionKind::kNone;
  bool ConversionFromHeader = false;
  int FontsStored = 0;
  std::vector<int> LinesInUse;
  // Each line's mode as the picture shows it: 1, 2 or 4, or 0 for a blank
  // line; every line the header's character mode when the project's line
  // mode table was not valid.
  std::vector<int> LineModes;
  bool LineModesValid = false;

  // What the pictures are drawn with: "pal", "ntsc" or a palette file as
  // given, and the GTIA mode's number (9, 10 or 11).
  std::string Palette;
  int Gtia = 0;

  // Known once the rebuild has succeeded.
  bool Converted = false;
  std::vector<FontUse> Fonts;  // in use after the rebuild, by number
  // True when the rebuilt charset draws the same bitmap and the same
  // colour picture as the project as loaded.
  std::optional<bool> RoundTripExact;
  // The lines whose colours the rebuild changes, and why (see
  // CompareColourPictures).
  std::vector<int> RoundTripColourLines;
  std::string RoundTripColourCause;

  std::vector<std::string> Warnings;
  std::optional<std::string> Error;  // why the file failed
  // The pictures written, by their name in kOutputs ("preview", ...).
  std::map<std::string, std::string> WrittenFiles;

  // The file written as output `name`, if it was.
  std::optional<std::string> Written(const std::string& name) const {
    auto file = WrittenFiles.find(name);
    return file == WrittenFiles.end() ? std::nullopt : std::optional<std::string>(file->second);
  }
};

// Takes what `view` found once loaded: what the loader decided (geometry,
// conversion, stored fonts, lines in use; the one place that reads the
// loader's own fields) with a warning about lines naming fonts that were
// not stored, and after a successful rebuild the fonts in use, a warning
// about those the font file cannot hold, and the round trip.
void DescribeProject(const ProjectView& view, FileReport& report);

// Font numbers of `report.Fonts`, in order.
std::vector<int> FontNumbers(const FileReport& report);

// "0-3, 5, 7-9" (empty: "none").
std::string FormatLineList(const std::vector<int>& lines);

// The lines of each mode, modes in the order hi-res, four-colour, GTIA,
// blank: "hi-res 0-9, four-colour 10-27, GTIA 28, blank 29".
std::string FormatLineModes(const std::vector<int>& modes);

// The summary as text lines, each ended by "\n".
std::string FormatText(const FileReport& report);

// One JSON object on one line, without the line end.
std::string FormatJson(const FileReport& report);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_SUMMARY_H_
