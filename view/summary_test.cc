#include "view/summary.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace qdp::view {
namespace {

using Json = nlohmann::json;

FileReport Converted() {
  FileReport r;
  r.File = "dir/pic.qdp";
  r.Loaded = true;
  r.Width = 48;
  r.CharacterMode = 2;
  r.Conversion = ConversionKind::kBlocks16;
  r.FontsStored = 2;
  r.LinesInUse = {0, 1, 2, 5};
  r.LineModes.assign(30, 0);
  for (int line : {0, 1}) r.LineModes[line] = 1;
  r.LineModes[2] = 2;
  r.LineModes[5] = 4;
  r.LineModesValid = true;
  r.Palette = "pal";
  r.Gtia = 10;
  r.Converted = true;
  r.Fonts = {{0, 12, {0, 2}}, {1, 12, {1, 3}}};
  r.RoundTripExact = true;
  r.Warnings = {"a warning"};
  r.WrittenFiles["preview"] = "dir/pic.png";
  r.WrittenFiles["font sheet"] = "dir/pic-fonts.png";
  return r;
}

const char* const kKeys[] = {"file",
                             "width",
                             "character_mode",
                             "conversion",
                             "conversion_source",
                             "fonts_stored",
                             "fonts_used",
                             "fonts",
                             "lines_in_use",
                             "line_modes",
                             "palette",
                             "gtia",
                             "round_trip_exact",
                             "round_trip_colour_lines",
                             "round_trip_colour_cause",
                             "warnings",
                             "error",
                             "preview",
                             "font_sheet"};

void ExpectExactlyTheKeys(const Json& j) {
  ASSERT_TRUE(j.is_object());
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  // nlohmann::json sorts keys when parsing; compare as sets here and
  // check the written order on the text itself.
  EXPECT_EQ(keys.size(), std::size(kKeys));
  for (const char* key : kKeys) EXPECT_TRUE(j.contains(key)) << key;
}

TEST(SummaryTest, JsonOfAConvertedFileHasEveryKeyWithItsType) {
  std::string text = FormatJson(Converted());
  EXPECT_EQ(text.find('\n'), std::string::npos);
  size_t last = 0;
  for (const char* key : kKeys) {
    size_t at = text.find(std::string("\"") + key + "\":");
    ASSERT_NE(at, std::string::npos) << key;
    EXPECT_GT(at, last) << key << " out of order";
    last = at;
  }
  Json j = Json::parse(text);
  ExpectExactlyTheKeys(j);
  EXPECT_EQ(j["file"], "dir/pic.qdp");
  EXPECT_EQ(j["width"], 48);
  EXPECT_EQ(j["character_mode"], 2);
  EXPECT_EQ(j["conversion"], "blocks");
  EXPECT_EQ(j["conversion_source"], "layout");
  EXPECT_EQ(j["fonts_stored"], 2);
  EXPECT_EQ(j["fonts_used"], Json::parse("[0, 1]"));
  EXPECT_EQ(j["fonts"], Json::parse(R"([{"number": 0, "characters": 12, "lines": [0, 2]},
                                        {"number": 1, "characters": 12, "lines": [1, 3]}])"));
  EXPECT_EQ(j["lines_in_use"], Json::parse("[0, 1, 2, 5]"));
  Json modes = Json::array({1, 1, 2, nullptr, nullptr, 4});
  for (int line = 6; line < 30; ++line) modes.push_back(nullptr);
  EXPECT_EQ(j["line_modes"], modes);
  EXPECT_EQ(j["palette"], "pal");
  EXPECT_EQ(j["gtia"], 10);
  EXPECT_EQ(j["round_trip_exact"], true);
  EXPECT_EQ(j["round_trip_colour_lines"], Json::array());
  EXPECT_TRUE(j["round_trip_colour_cause"].is_null());
  EXPECT_EQ(j["warnings"], Json::parse(R"(["a warning"])"));
  EXPECT_TRUE(j["error"].is_null());
  EXPECT_EQ(j["preview"], "dir/pic.png");
  EXPECT_EQ(j["font_sheet"], "dir/pic-fonts.png");
}

TEST(SummaryTest, JsonOfAFailedFileKeepsEveryKey) {
  FileReport rejected;
  rejected.File = "bad\xff.qdp";  // not UTF-8
  rejected.Error = "Unsupported line width 7";
  Json j = Json::parse(FormatJson(rejected));
  ExpectExactlyTheKeys(j);
  for (const char* key :
       {"width", "character_mode", "conversion", "conversion_source", "fonts_stored", "line_modes",
        "gtia", "round_trip_exact", "round_trip_colour_lines", "round_trip_colour_cause", "preview",
        "font_sheet"}) {
    EXPECT_TRUE(j[key].is_null()) << key;
  }
  for (const char* key : {"fonts_used", "fonts", "lines_in_use", "warnings"}) {
    EXPECT_EQ(j[key], Json::array()) << key;
  }
  EXPECT_EQ(j["error"], "Unsupported line width 7");
  EXPECT_EQ(j["file"], "bad\xEF\xBF\xBD.qdp");

  FileReport failed = Converted();
  failed.Converted = false;
  failed.Fonts.clear();
  failed.RoundTripExact.reset();
  failed.WrittenFiles.erase("font sheet");
  failed.Error = "conversion failed: ...";
  j = Json::parse(FormatJson(failed));
  EXPECT_TRUE(j["round_trip_exact"].is_null());
  EXPECT_TRUE(j["font_sheet"].is_null());
  EXPECT_EQ(j["conversion"], "blocks");
}

TEST(SummaryTest, TextNamesEveryFact) {
  std::string text = FormatText(Converted());
  for (const char* part : {"dir/pic.qdp\n", "48 x 30 cells, 384 x 240 pixels, character mode 2",
                           "16 x 16 blocks on two alternating fonts (chosen by the layout)",
                           "2 stored, 2 in use after the rebuild",
                           "font 0: 12 characters, lines 0, 2", "lines in use:  0-2, 5",
                           "line modes:    hi-res 0-1, four-colour 2, GTIA 5, blank 3-4, 6-29\n",
                           "warning:       a warning", "round trip:    exact",
                           "preview:       dir/pic.png", "font sheet:    dir/pic-fonts.png"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
}

TEST(SummaryTest, AnInvalidLineModeTableIsSaidToBe) {
  FileReport r = Converted();
  r.LineModes.assign(30, 2);
  r.LineModesValid = false;
  EXPECT_NE(FormatText(r).find("line modes:    four-colour 0-29 (the line mode table is not "
                               "valid; the header's mode is used)\n"),
            std::string::npos);
}

TEST(SummaryTest, LineListsFoldRuns) {
  EXPECT_EQ(FormatLineList({}), "none");
  EXPECT_EQ(FormatLineList({4}), "4");
  EXPECT_EQ(FormatLineList({0, 1, 2, 4, 6, 7, 29}), "0-2, 4, 6-7, 29");
}

}  // namespace
}  // namespace qdp::view
