#include "workspace/workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace qdp {
namespace {

template <typename Buffer>
bool AllZero(const Buffer& buffer) {
  return std::all_of(buffer.begin(), buffer.end(), [](auto v) { return v == 0; });
}

TEST(WorkspaceTest, StartsZeroedExceptTheBitmapLineCount) {
  auto ws = std::make_unique<Workspace>();
  EXPECT_EQ(ws->LineWidth, 0);
  EXPECT_EQ(ws->CharacterMode, 0);
  EXPECT_EQ(ws->LastDeclaredFont, 0);
  EXPECT_EQ(ws->HighestFontInUse, 0);
  EXPECT_EQ(ws->Conversion, ConversionChoice{});
  EXPECT_EQ(ws->Conversion.Kind, ConversionKind::kNone);
  EXPECT_EQ(ws->CharsPerFontLimit, 0);
  EXPECT_EQ(kBitmapLines, 240);
  EXPECT_TRUE(AllZero(ws->FontBank));
  EXPECT_TRUE(AllZero(ws->ScreenPages[0]));
  EXPECT_TRUE(AllZero(ws->ScreenPages[1]));
  EXPECT_TRUE(AllZero(ws->LineFontTable));
  EXPECT_TRUE(AllZero(ws->LineInverseFlags));
  EXPECT_TRUE(AllZero(ws->LineSkipTable));
  EXPECT_TRUE(AllZero(ws->Bitmap));
  EXPECT_TRUE(AllZero(ws->ColourTables));
  EXPECT_TRUE(AllZero(ws->RowOffsetTable));
  EXPECT_TRUE(AllZero(ws->Crc32Table));
}

TEST(WorkspaceTest, BuffersHaveTheirFixedSizes) {
  Workspace* ws = nullptr;
  EXPECT_EQ(sizeof ws->FontBank, 131072u);
  EXPECT_EQ(sizeof ws->ScreenPages[0], 1921u);
  EXPECT_EQ(sizeof ws->Bitmap, 11521u);
  EXPECT_EQ(sizeof ws->ColourTables, 1280u);
  EXPECT_EQ(sizeof ws->RowOffsetTable, 512u);
  EXPECT_EQ(sizeof ws->Crc32Table, 1024u);
}

TEST(WorkspaceTest, BuildTablesFillsRowOffsetsAndCrcTable) {
  auto ws = std::make_unique<Workspace>();
  BuildTables(*ws);
  struct Case {
    int index;
    uint16_t offset;
  };
  for (Case c : {Case{0, 0}, Case{1, 48}, Case{29, 1392}, Case{239, 11472}, Case{255, 12240}}) {
    EXPECT_EQ(ws->RowOffsetTable[c.index], c.offset) << "entry " << c.index;
  }
  struct CrcCase {
    int index;
    uint32_t value;
  };
  for (CrcCase c : {CrcCase{0, 0}, CrcCase{1, 0x77073096u}, CrcCase{128, 0xEDB88320u},
                    CrcCase{255, 0x2D02EF8Du}}) {
    EXPECT_EQ(ws->Crc32Table[c.index], c.value) << "entry " << c.index;
  }
}

}  // namespace
}  // namespace qdp
