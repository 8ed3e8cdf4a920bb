#include "project/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "platform/error.h"
#include "project/conversion_choice.h"
#include "tests/support/load_and_convert.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/project_builder.h"

namespace qdp {
namespace {

using testing::BuildProject;
using testing::Bytes;
using testing::ProjectContent;

constexpr char kInput[] = "/p/pic.qdp";
// Mode 1 with the bit that asks for no conversion, so that what was loaded
// stays in the workspace as it was read.
constexpr uint8_t kRawMode = 0x09;

template <typename Buffer>
bool AllEqual(const Buffer& buffer, uint8_t value) {
  return std::all_of(buffer.begin(), buffer.end(), [value](auto v) { return v == value; });
}

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ws_ = std::make_unique<Workspace>(); }

  void Load(const Bytes& bytes) {
    fs_.files[kInput] = bytes;
    LoadProject(*ws_, fs_, kInput);
  }

  // The reason of the ProjectError that loading `bytes` raises, or "" when
  // it loads.
  std::string Rejection(const Bytes& bytes) {
    try {
      Load(bytes);
    } catch (const ProjectError& e) {
      return e.Reason();
    }
    return "";
  }

  ConversionKind Kind() const { return ws_->Conversion.Kind; }

  testing::MemoryFileSystem fs_;
  std::unique_ptr<Workspace> ws_;
};

struct HeaderCase {
  const char* name;
  uint8_t width_byte;
  uint8_t mode_byte;
  const char* rejection;  // "" when the header is accepted
  int width;
  int mode;
  ConversionKind kind;
};

TEST_F(ReaderTest, HeaderBytes) {
  const HeaderCase cases[] = {
      {"flag bit of the width is ignored", 0xA8, 0x09, "", 40, 1, ConversionKind::kNone},
      {"width 32", 32, 0x09, "", 32, 1, ConversionKind::kNone},
      {"width 48", 48, 0x09, "", 48, 1, ConversionKind::kNone},
      {"width 36", 0x24, 0x01, "Unsupported line width 36", 36, 1, ConversionKind::kNone},
      {"width 0x30 with the flag bit", 0xB0, 0x0A, "", 48, 2, ConversionKind::kNone},
      {"mode 3", 40, 0x03, "Unsupported character mode 3", 40, 3, ConversionKind::kNone},
      {"mode 0", 40, 0x80, "Unsupported character mode 0", 40, 0, ConversionKind::kNone},
      {"mode 4, no conversion", 40, 0x0C, "", 40, 4, ConversionKind::kNone},
      {"0x10 wins over 0x80", 40, 0x91, "", 40, 1, ConversionKind::kBlocks16},
      {"0x20 alone", 40, 0x21, "", 40, 1, ConversionKind::kNone},
      {"0x40 wins over 0x80", 40, 0xC2, "", 40, 2, ConversionKind::kSharedChars},
      {"0x80 alone", 40, 0xA1, "", 40, 1, ConversionKind::kCharPerCell},
      {"0x08 wins over everything", 40, 0xD9, "", 40, 1, ConversionKind::kNone},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    ProjectContent content;
    content.width_byte = c.width_byte;
    content.mode_byte = c.mode_byte;
    content.fonts_byte = 3;
    EXPECT_EQ(Rejection(BuildProject(content)), c.rejection);
    EXPECT_EQ(ws_->LineWidth, c.width);
    EXPECT_EQ(ws_->CharacterMode, c.mode);
    EXPECT_EQ(Kind(), c.kind);
  }
}

TEST_F(ReaderTest, RejectedHeaderLoadsNothingPastTheHeader) {
  ProjectContent content;
  content.width_byte = 0x24;
  content.fonts_byte = 0x85;
  content.chars_per_font = 20;
  content.line_fonts.fill(2);
  content.colours.fill(9);
  EXPECT_EQ(Rejection(BuildProject(content)), "Unsupported line width 36");
  EXPECT_TRUE(AllEqual(ws_->Screen, 0));
  EXPECT_TRUE(AllEqual(ws_->Bitmap, 0));
  EXPECT_EQ(ws_->LastDeclaredFont, 5);
  EXPECT_EQ(ws_->CharsPerFontLimit, 127);
  EXPECT_TRUE(AllEqual(ws_->LineFontTable, 0));
  EXPECT_FALSE(ws_->LineModesValid);
  EXPECT_TRUE(AllEqual(ws_->ColourTables, 0));
}

TEST_F(ReaderTest, UnreadableOrEmptyInputsAreErrors) {
  // A byte the file lacks makes the header incomplete; one it holds is
  // judged as it is.
  EXPECT_EQ(Rejection({}), "Incomplete project header");
  EXPECT_EQ(Rejection({40}), "Incomplete project header");
  EXPECT_EQ(Rejection({36}), "Unsupported line width 36");
  EXPECT_EQ(Rejection({40, 3}), "Unsupported character mode 3");
  EXPECT_EQ(fs_.temp_counter, 0);

  fs_.fail_open[kInput] = "File access denied";
  try {
    LoadProject(*ws_, fs_, kInput);
    ADD_FAILURE() << "an unreadable input loaded";
  } catch (const InOutError& e) {
    EXPECT_EQ(e.Reason(), "File access denied");
  }
}

// Only the exact 7 bytes of the compressed marker start a stream. Any
// other start, however close, is a plain project: its first bytes are the
// header and the rest the screen, and nothing is decoded, even when a
// valid stream follows.
TEST_F(ReaderTest, NearMissesOfTheMarkerAreReadAsPlainProjects) {
  struct NearMiss {
    const char* name;
    std::array<uint8_t, 7> start;
    const char* rejection;  // "" when the bytes make an acceptable header
  };
  const NearMiss cases[] = {
      {"lower case", {'q', 'd', 'p', 'z', 'l', 'i', 'b'}, "Unsupported line width 113"},
      {"last byte other", {'Q', 'D', 'P', 'Z', 'L', 'I', 'X'}, "Unsupported line width 81"},
      {"last byte zero", {'Q', 'D', 'P', 'Z', 'L', 'I', 0}, "Unsupported line width 81"},
      {"first byte other", {'R', 'D', 'P', 'Z', 'L', 'I', 'B'}, "Unsupported line width 82"},
      {"first three other, width 40", {0x28, kRawMode, 0, 'Z', 'L', 'I', 'B'}, ""},
      {"first three other, width 32", {0xA0, kRawMode, 0, 'Z', 'L', 'I', 'B'}, ""},
  };
  ProjectContent p;
  p.mode_byte = kRawMode;
  const Bytes stream = testing::Compress(BuildProject(p));
  for (const NearMiss& c : cases) {
    SCOPED_TRACE(c.name);
    ws_ = std::make_unique<Workspace>();
    fs_.temp_counter = 0;
    Bytes file(c.start.begin(), c.start.end());
    file.insert(file.end(), stream.begin() + testing::kMagicLength, stream.end());
    EXPECT_EQ(Rejection(file), c.rejection);
    EXPECT_EQ(fs_.temp_counter, 0) << "the file was decoded";
    if (*c.rejection != '\0') continue;
    EXPECT_EQ(ws_->LineWidth, c.start[0] & 0x7F);
    // The marker's last four bytes are the first four screen codes.
    EXPECT_TRUE(std::equal(c.start.begin() + 3, c.start.end(), ws_->Screen.begin()));
  }
}

TEST_F(ReaderTest, FontCountComesFromTheLowSevenBitsOfTheThirdByte) {
  for (uint8_t fonts_byte : {uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0x04}}) {
    SCOPED_TRACE(static_cast<int>(fonts_byte));
    SetUp();
    ProjectContent content;
    content.mode_byte = kRawMode;
    content.fonts_byte = fonts_byte;
    int fonts = content.FontCount();
    content.fonts.assign(static_cast<size_t>(fonts) * 1024, 0);
    for (size_t i = 0; i < content.fonts.size(); ++i)
      content.fonts[i] = static_cast<uint8_t>(i % 251 + 1);
    for (int i = 0; i < 30; ++i) content.line_fonts[i] = static_cast<uint8_t>(i % 3);
    content.chars_per_font = 33;
    Load(BuildProject(content));
    EXPECT_TRUE(std::equal(content.fonts.begin(), content.fonts.end(), ws_->FontBank.begin()));
    EXPECT_TRUE(std::all_of(ws_->FontBank.begin() + fonts * 1024, ws_->FontBank.end(),
                            [](uint8_t v) { return v == 0; }));
    EXPECT_TRUE(std::equal(content.line_fonts.begin(), content.line_fonts.end(),
                           ws_->LineFontTable.begin()));
    EXPECT_EQ(ws_->CharsPerFontLimit, 33);
  }
}

struct DecideCase {
  const char* name;
  int width;
  int fonts;
  bool alternating;
  uint8_t line0;
  ConversionKind kind;
};

TEST(ChooseConversionTest, PicksFromTheLineFontsAndTheLayout) {
  const DecideCase cases[] = {
      {"alternating fonts, any layout", 40, 10, true, 0, ConversionKind::kBlocks16},
      {"alternating fonts, odd layout", 32, 3, true, 0, ConversionKind::kBlocks16},
      {"line 0 inverse breaks the pattern", 40, 10, true, 0x80, ConversionKind::kCharPerCell},
      {"line 0 inverse, 9 fonts", 40, 9, true, 0x80, ConversionKind::kSharedChars},
      {"one character per cell at 32", 32, 8, false, 0, ConversionKind::kCharPerCell},
      {"one character per cell at 40", 40, 10, false, 0, ConversionKind::kCharPerCell},
      {"one character per cell at 48", 48, 15, false, 0, ConversionKind::kCharPerCell},
      {"48 with 12 fonts", 48, 12, false, 0, ConversionKind::kSharedChars},
      {"32 with 10 fonts", 32, 10, false, 0, ConversionKind::kSharedChars},
  };
  for (const DecideCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<uint8_t, 30> line_fonts;
    for (int i = 0; i < 30; ++i) line_fonts[i] = c.alternating ? (i & 1) : 0;
    line_fonts[0] |= c.line0;
    ConversionChoice choice = ChooseConversion(0x01, c.width, c.fonts, line_fonts);
    EXPECT_EQ(choice.Kind, c.kind);
    EXPECT_EQ(choice.Source, ConversionSource::kLayout);
  }
}

TEST_F(ReaderTest, ModeIsDecidedBeforeTheInverseBitIsSplitOff) {
  ProjectContent content;
  content.mode_byte = 0x01;
  content.fonts_byte = 9;
  for (int i = 0; i < 30; ++i) content.line_fonts[i] = static_cast<uint8_t>(i & 1);
  content.line_fonts[0] = 0x80;
  Load(BuildProject(content));
  EXPECT_EQ(Kind(), ConversionKind::kCharPerCell);
  EXPECT_TRUE(ws_->LineStartsNewFont[0]);
}

TEST_F(ReaderTest, LineFontBitSevenBecomesTheLineInverseFlag) {
  ProjectContent content;
  content.mode_byte = kRawMode;
  content.fonts_byte = 5;
  content.line_fonts[7] = 0x85;
  content.line_fonts[8] = 0x05;
  Load(BuildProject(content));
  EXPECT_EQ(ws_->LineFontTable[7], 5);
  EXPECT_EQ(ws_->LineFontTable[8], 5);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(ws_->LineStartsNewFont[i], i == 7) << i;
}

TEST_F(ReaderTest, LineModeTableIsTakenOnlyWhenEveryValueIsAMode) {
  struct Case {
    const char* name;
    std::array<uint8_t, 30> values;
    bool taken;
  };
  std::array<uint8_t, 30> mixed{}, all255{}, with0{}, with3{};
  for (int i = 0; i < 30; ++i) mixed[i] = std::array<uint8_t, 4>{1, 2, 4, 255}[i % 4];
  all255.fill(255);
  with0 = mixed;
  with0[17] = 0;
  with3 = mixed;
  with3[29] = 3;
  const Case cases[] = {{"mixed", mixed, true},
                        {"all 255", all255, true},
                        {"a 0", with0, false},
                        {"a 3", with3, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    ProjectContent content;
    content.mode_byte = kRawMode;
    content.filler = 2;  // a valid value everywhere else: only the line mode table counts
    content.line_mode_table = c.values;
    Load(BuildProject(content));
    EXPECT_EQ(ws_->LineModesValid, c.taken);
    for (int i = 0; i < 30; ++i) {
      bool want = c.taken && c.values[i] != 255;
      EXPECT_EQ(LineInUse(*ws_, i), want) << i;
      if (c.taken) {
        EXPECT_EQ(static_cast<int>(ws_->LineModes[i]), c.values[i]) << i;
      }
    }
  }
}

TEST_F(ReaderTest, CharsPerFontLimitIsCappedAndDefaultsTo127) {
  struct Case {
    uint8_t stored;
    bool cut_before;
    int limit;
  };
  for (const Case& c :
       {Case{200, false, 127}, Case{50, false, 50}, Case{127, false, 127}, Case{50, true, 127}}) {
    SCOPED_TRACE(static_cast<int>(c.stored));
    SetUp();
    ProjectContent content;
    content.mode_byte = kRawMode;
    content.chars_per_font = c.stored;
    Bytes bytes = BuildProject(content);
    if (c.cut_before) bytes.resize(content.GetLayout().CharsPerFontLimit());
    Load(bytes);
    EXPECT_EQ(ws_->CharsPerFontLimit, c.limit);
  }
}

TEST_F(ReaderTest, FileEndingAfterTheLineFontsLoadsWhatItHolds) {
  ProjectContent content;
  content.mode_byte = kRawMode;
  content.fonts_byte = 1;
  content.SetCell(0, 0, 5);
  content.SetCell(29, 39, 0x41);
  content.SetGlyph(1, 5, {1, 2, 3, 4, 5, 6, 7, 8});
  content.line_fonts[0] = 1;
  content.line_fonts[29] = 1;
  content.colours.fill(7);
  content.chars_per_font = 10;
  Bytes bytes = BuildProject(content);
  bytes.resize(content.GetLayout().ColourTables());
  Load(bytes);
  EXPECT_EQ(ws_->Screen[0], 5);
  EXPECT_EQ(ws_->Screen[29 * 48 + 39], 0x41);
  EXPECT_EQ(ws_->FontBank[1024 + 5 * 8 + 7], 8);
  EXPECT_EQ(ws_->LineFontTable[29], 1);
  EXPECT_TRUE(AllEqual(ws_->ColourTables, 0));
  EXPECT_FALSE(ws_->LineModesValid);
  EXPECT_EQ(ws_->CharsPerFontLimit, 127);
  // Still drawn and rebuilt: the glyph of line 0's first cell is in the
  // bitmap.
  testing::DrawAndRebuild(*ws_);
  EXPECT_EQ(ws_->Bitmap[0], 1);
  EXPECT_EQ(ws_->Bitmap[7 * 48], 8);
  EXPECT_EQ(ws_->HighestFontInUse, 1);  // set by the reconstruction's last step
}

TEST_F(ReaderTest, FileEndingInsideTheScreenKeepsTheDeliveredPart) {
  ProjectContent content;
  content.mode_byte = kRawMode;
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 40; ++x) content.SetCell(line, x, static_cast<uint8_t>(line + 1));
  }
  Bytes bytes = BuildProject(content);
  bytes.resize(3 + 10 * 40 + 15);  // lines 0 to 9 and 15 cells of line 10
  Load(bytes);
  EXPECT_EQ(ws_->Screen[9 * 48 + 39], 10);
  EXPECT_EQ(ws_->Screen[10 * 48 + 14], 11);
  EXPECT_EQ(ws_->Screen[10 * 48 + 15], 0);
  EXPECT_TRUE(std::all_of(ws_->Screen.begin() + 11 * 48, ws_->Screen.end(),
                          [](uint8_t v) { return v == 0; }));
  EXPECT_FALSE(ws_->LineModesValid);
}

TEST_F(ReaderTest, NarrowScreenLeavesTheRestOfEachRowZero) {
  ProjectContent content;
  content.width_byte = 32;
  content.mode_byte = kRawMode;
  content.screen.assign(30 * 32, 0x2A);
  Load(BuildProject(content));
  for (int row = 0; row < 30; ++row) {
    for (int x = 0; x < 48; ++x) {
      ASSERT_EQ(ws_->Screen[row * 48 + x], x < 32 ? 0x2A : 0) << "row " << row << " x " << x;
    }
  }
  EXPECT_TRUE(AllEqual(ws_->InverseMarks, false));
}

TEST(LayoutTest, OffsetsOfAWidth40ProjectWithTenFonts) {
  ProjectLayout layout{40, 10};
  EXPECT_EQ(layout.ColourTables(), 11473u);
  EXPECT_EQ(layout.LineModeTable(), 165137u);
  EXPECT_EQ(layout.CharsPerFontLimit(), 165393u);
  EXPECT_EQ(layout.FullLength(), 308217u);
  EXPECT_EQ((ProjectLayout{48, 128}.FullLength()), 429529u);
}

// Builds a width-40 project with ten fonts by hand, independently of the
// builder, and checks that every value is taken from its own offset.
TEST_F(ReaderTest, ReadsAWidth40ProjectWithTenFontsAtItsOffsets) {
  for (size_t surplus : {size_t{0}, size_t{5000}}) {
    SCOPED_TRACE(surplus);
    SetUp();
    Bytes bytes(308217 + surplus, 0xEE);
    bytes[0] = 40;
    bytes[1] = kRawMode;
    bytes[2] = 9;
    std::fill(bytes.begin() + 11443, bytes.begin() + 11473, 3);  // line fonts
    std::fill(bytes.begin() + 11473, bytes.begin() + 11473 + 1280, 0x33);
    std::fill(bytes.begin() + 12753, bytes.begin() + 12753 + 1024, 0x44);  // player colours
    std::fill(bytes.begin() + 165137, bytes.begin() + 165167, 4);
    bytes[165393] = 50;
    Load(bytes);
    EXPECT_EQ(ws_->Screen[0], 0xEE);
    EXPECT_EQ(ws_->FontBank[10 * 1024 - 1], 0xEE);
    EXPECT_EQ(ws_->FontBank[10 * 1024], 0);
    EXPECT_TRUE(AllEqual(ws_->LineFontTable, 3));
    EXPECT_TRUE(AllEqual(ws_->ColourTables, 0x33));
    EXPECT_TRUE(AllEqual(ws_->PlayerColourTables, 0x44));
    EXPECT_TRUE(ws_->LineModesValid);
    EXPECT_TRUE(std::all_of(ws_->LineModes.begin(), ws_->LineModes.end(),
                            [](LineMode m) { return m == LineMode::kGtia; }));
    EXPECT_EQ(ws_->CharsPerFontLimit, 50);
  }
}

}  // namespace
}  // namespace qdp
