#include "view/colour_picture.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qdp::view {
namespace {

using Pixels = std::vector<uint8_t>;

// Register values with bit 0 set, so that every test sees it cleared
// where the chip ignores it.
constexpr uint8_t kBak = 0x13, kPf0 = 0x25, kPf1 = 0x37, kPf2 = 0x49, kPf3 = 0x5B;
constexpr uint8_t kPlayers[4] = {0x61, 0x73, 0x85, 0x97};

// Every colour byte gets an entry of its own, so that a wrong index shows.
AtariPalette KnownPalette() {
  AtariPalette palette{};
  for (int i = 0; i < 256; ++i) {
    palette[i] = Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 0x5A};
  }
  return palette;
}

// A workspace of width 32 whose registers hold the values above on every
// scanline, with every line in `mode`.
std::unique_ptr<Workspace> MakeWorkspace(LineMode mode) {
  auto ws = std::make_unique<Workspace>();
  ws->LineWidth = 32;
  ws->CharacterMode = 1;
  ws->LineModes.fill(mode);
  ws->LineModesValid = true;
  const uint8_t registers[5] = {kBak, kPf0, kPf1, kPf2, kPf3};
  for (int y = 0; y < kBitmapLines; ++y) {
    for (int r = 0; r < 5; ++r) ws->ColourTables[r * kColourTableBytes + y] = registers[r];
    for (int p = 0; p < 4; ++p) ws->PlayerColourTables[p * kColourTableBytes + y] = kPlayers[p];
  }
  return ws;
}

Pixels Row(const IndexedImage& image, int y) {
  Pixels row(static_cast<size_t>(image.Width), 0xEE);
  image.FillRow(y, row.data());
  return row;
}

Pixels Prefix(const Pixels& row, size_t n) { return Pixels(row.begin(), row.begin() + n); }

// Glyph row 0xB1: bits 1011 0001, pairs 10 11 00 01, nibbles B and 1.
TEST(ColourPictureTest, EachModeDrawsItsCellsInTheScanlinesColours) {
  constexpr uint8_t kHiResSet = 0x46;  // PF2's hue, PF1's luminance, bit 0 cleared
  struct Case {
    LineMode mode;
    bool inverse;
    Pixels cell;
  };
  const Case cases[] = {
      {LineMode::kHiRes,
       false,
       {kHiResSet, 0x48, kHiResSet, kHiResSet, 0x48, 0x48, 0x48, kHiResSet}},
      {LineMode::kHiRes,
       true,
       {0x48, kHiResSet, 0x48, 0x48, kHiResSet, kHiResSet, kHiResSet, 0x48}},
      {LineMode::kFourColour, false, {0x36, 0x36, 0x48, 0x48, 0x12, 0x12, 0x24, 0x24}},
      {LineMode::kFourColour, true, {0x36, 0x36, 0x5A, 0x5A, 0x12, 0x12, 0x24, 0x24}},
      // GTIA 9 keeps bit 0: BAK OR the nibble; inverse complements first.
      {LineMode::kGtia, false, {0x1B, 0x1B, 0x1B, 0x1B, 0x13, 0x13, 0x13, 0x13}},
      {LineMode::kGtia, true, {0x17, 0x17, 0x17, 0x17, 0x1F, 0x1F, 0x1F, 0x1F}},
      {LineMode::kBlank, false, Pixels(8, 0x12)},
      {LineMode::kBlank, true, Pixels(8, 0x12)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "mode " << static_cast<int>(c.mode) << " inverse " << c.inverse);
    auto ws = MakeWorkspace(c.mode);
    // Line 3 in font 2, whose character 5 has 0xB1 on glyph row 6.
    ws->LineFontTable[3] = 2;
    ws->FontBank[2 * kFontBytes + 5 * kCharBytes + 6] = 0xB1;
    ws->Screen[RowOffset(3) + 1] = static_cast<uint8_t>(5 | (c.inverse ? kInverseBit : 0));
    const IndexedImage image =
        ColourPicture(*ws, CharsetOf(*ws), KnownPalette(), GtiaMode::kLuminances);
    ASSERT_EQ(image.Width, 256);
    ASSERT_EQ(image.Height, 240);
    ASSERT_EQ(image.Palette.size(), 256u);
    EXPECT_EQ(image.Palette[0x46], KnownPalette()[0x46]);
    const Pixels row = Row(image, 3 * 8 + 6);
    EXPECT_EQ(Pixels(row.begin() + 8, row.begin() + 16), c.cell);
    // Cell 0 holds character 0, whose rows are 0.
    const uint8_t zero = c.mode == LineMode::kHiRes  ? 0x48
                         : c.mode == LineMode::kGtia ? kBak
                                                     : 0x12;
    EXPECT_EQ(Prefix(row, 8), Pixels(8, zero));
  }
}

TEST(ColourPictureTest, GtiaModesReadTheSameNibblesThreeWays) {
  auto ws = MakeWorkspace(LineMode::kGtia);
  ws->ColourTables[0 * kColourTableBytes + 0] = 0x42;  // BAK of scanline 0
  // Cells 0-7 hold characters 1-8, whose top rows are the nibbles 0 to 15.
  for (int k = 0; k < 8; ++k) {
    ws->Screen[k] = static_cast<uint8_t>(k + 1);
    ws->FontBank[(k + 1) * kCharBytes] = static_cast<uint8_t>((2 * k) << 4 | (2 * k + 1));
  }
  struct Case {
    GtiaMode mode;
    Pixels nibbles;  // the colour of nibbles 0 to 15
  };
  const Case cases[] = {
      {GtiaMode::kLuminances,
       {0x42, 0x43, 0x42, 0x43, 0x46, 0x47, 0x46, 0x47, 0x4A, 0x4B, 0x4A, 0x4B, 0x4E, 0x4F, 0x4E,
        0x4F}},
      {GtiaMode::kHues,
       {0x42, 0x52, 0x62, 0x72, 0x42, 0x52, 0x62, 0x72, 0xC2, 0xD2, 0xE2, 0xF2, 0xC2, 0xD2, 0xE2,
        0xF2}},
      {GtiaMode::kNineColours,
       {0x60, 0x72, 0x84, 0x96, 0x24, 0x36, 0x48, 0x5A, 0x42, 0x42, 0x42, 0x42, 0x24, 0x36, 0x48,
        0x5A}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(GtiaModeNameOf(c.mode));
    EXPECT_EQ(GtiaModeByName(GtiaModeNameOf(c.mode)), c.mode);
    const IndexedImage image = ColourPicture(*ws, CharsetOf(*ws), KnownPalette(), c.mode);
    Pixels expected;
    for (uint8_t colour : c.nibbles) expected.insert(expected.end(), 4, colour);
    EXPECT_EQ(Prefix(Row(image, 0), 64), expected);
  }
  EXPECT_EQ(GtiaModeByName("12"), std::nullopt);
}

TEST(ColourPictureTest, AnInvalidModeTableShowsEveryLineInTheHeadersMode) {
  // Character 1's top row is 0xB1, in every line's font 0.
  for (uint8_t header_mode : {1, 2, 4}) {
    SCOPED_TRACE(static_cast<int>(header_mode));
    auto ws = MakeWorkspace(LineMode::kBlank);
    ws->LineModesValid = false;
    ws->CharacterMode = header_mode;
    ws->FontBank[1 * kCharBytes] = 0xB1;
    for (int line = 0; line < kScreenLines; ++line) ws->Screen[RowOffset(line)] = 1;
    const IndexedImage image = ColourPicture(*ws, CharsetOf(*ws), KnownPalette(), GtiaMode::kHues);
    const Pixels expected =
        header_mode == 1   ? Pixels{0x46, 0x48, 0x46, 0x46, 0x48, 0x48, 0x48, 0x46}
        : header_mode == 2 ? Pixels{0x36, 0x36, 0x48, 0x48, 0x12, 0x12, 0x24, 0x24}
                           : Pixels{0xB2, 0xB2, 0xB2, 0xB2, 0x12, 0x12, 0x12, 0x12};
    for (int line : {0, 17, 29}) EXPECT_EQ(Prefix(Row(image, line * 8), 8), expected) << line;
  }
}

TEST(ColourPictureTest, EveryScanlineTakesItsOwnEntriesAndWideLinesAreDrawnWhole) {
  auto ws = MakeWorkspace(LineMode::kFourColour);
  ws->LineWidth = 48;
  ws->LineModes[29] = LineMode::kBlank;
  for (int y = 0; y < kBitmapLines; ++y) ws->ColourTables[y] = static_cast<uint8_t>(y);
  // Every cell of line 28 shows 00 pairs, the background.
  const IndexedImage image =
      ColourPicture(*ws, CharsetOf(*ws), KnownPalette(), GtiaMode::kLuminances);
  ASSERT_EQ(image.Width, 384);
  for (int y = 28 * 8; y < kBitmapLines; ++y) {
    EXPECT_EQ(Row(image, y), Pixels(384, static_cast<uint8_t>(y & 0xFE))) << y;
  }
}

TEST(ColourPictureTest, ACopiedCharsetStillDrawsThePictureAsItWas) {
  auto ws = MakeWorkspace(LineMode::kHiRes);
  ws->FontBank[7 * kCharBytes] = 0xFF;
  ws->Screen[0] = 7;
  const std::unique_ptr<CharsetCopy> loaded = CopyCharset(*ws);
  // What a rebuild might do: other codes, fonts and line fonts.
  ws->Screen[0] = 0;
  ws->FontBank[7 * kCharBytes] = 0;
  ws->LineFontTable[0] = 3;
  const IndexedImage image =
      ColourPicture(*ws, loaded->View(), KnownPalette(), GtiaMode::kLuminances);
  EXPECT_EQ(Prefix(Row(image, 0), 8), Pixels(8, 0x46));
  const IndexedImage now =
      ColourPicture(*ws, CharsetOf(*ws), KnownPalette(), GtiaMode::kLuminances);
  EXPECT_EQ(Prefix(Row(now, 0), 8), Pixels(8, 0x48));
}

}  // namespace
}  // namespace qdp::view
