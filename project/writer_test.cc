#include "project/writer.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/error.h"
#include "project/conversion_choice.h"
#include "project/reader.h"
#include "tests/support/memory_file_system.h"

namespace qdp {
namespace {

constexpr char kPath[] = "/out/pic.qdp";

// A workspace as a loaded project could leave it, every field the reader
// fills at random within what the format can hold.
WorkspacePtr RandomWorkspace(std::mt19937& random) {
  WorkspacePtr ws = NewWorkspace();
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto byte = [&] { return static_cast<uint8_t>(random()); };
  constexpr int kWidths[] = {32, 40, 48};
  constexpr int kModes[] = {1, 2, 4};
  ws->LineWidth = static_cast<uint8_t>(kWidths[below(3)]);
  ws->CharacterMode = static_cast<uint8_t>(kModes[below(3)]);
  ws->LastDeclaredFont = static_cast<uint8_t>(below(4) == 0 ? below(128) : below(30));
  for (int i = 0; i < (ws->LastDeclaredFont + 1) * kFontBytes; ++i) ws->FontBank[i] = byte();
  for (int line = 0; line < kScreenLines; ++line) {
    for (int x = 0; x < ws->LineWidth; ++x) {
      const int p = RowOffset(line) + x;
      ws->Screen[p] = byte();
      ws->InverseMarks[p] = (ws->Screen[p] & kInverseBit) != 0;
    }
    ws->LineFontTable[line] = static_cast<uint8_t>(below(ws->LastDeclaredFont + 1));
    ws->LineStartsNewFont[line] = below(5) == 0;
    ws->LineModes[line] = std::array{LineMode::kHiRes, LineMode::kFourColour, LineMode::kGtia,
                                     LineMode::kBlank}[below(4)];
  }
  ws->Loaded.LineFonts = ws->LineFontTable;
  ws->LineModesValid = below(4) != 0;
  if (!ws->LineModesValid) ws->LineModes = {};
  for (uint8_t& v : ws->ColourTables) v = byte();
  for (uint8_t& v : ws->PlayerColourTables) v = byte();
  ws->CharsPerFontLimit = static_cast<uint8_t>(below(128));
  // What the reader would choose for these bytes: a header bit, or
  // (without one) the layout.
  constexpr ConversionKind kKinds[] = {ConversionKind::kNone, ConversionKind::kCharPerCell,
                                       ConversionKind::kSharedChars, ConversionKind::kBlocks16};
  if (below(4) == 0) {
    std::array<uint8_t, kScreenLines> raw{};
    for (int line = 0; line < kScreenLines; ++line) {
      raw[line] =
          static_cast<uint8_t>(ws->LineFontTable[line] | (ws->LineStartsNewFont[line] << 7));
    }
    ws->Conversion =
        ChooseConversion(ws->CharacterMode, ws->LineWidth, ws->LastDeclaredFont + 1, raw);
  } else {
    ws->Conversion = {kKinds[below(4)], ConversionSource::kHeaderBits};
  }
  return ws;
}

// Every field the reader fills, compared; a description of the first
// difference, or "".
std::string FirstDifference(const Workspace& a, const Workspace& b) {
  if (a.LineWidth != b.LineWidth) return "line width";
  if (a.CharacterMode != b.CharacterMode) return "character mode";
  if (a.LastDeclaredFont != b.LastDeclaredFont) return "last font";
  if (!(a.Conversion == b.Conversion)) return "conversion";
  if (a.FontBank != b.FontBank) return "fonts";
  if (a.Screen != b.Screen) return "screen";
  if (a.InverseMarks != b.InverseMarks) return "inverse marks";
  if (a.LineFontTable != b.LineFontTable) return "line fonts";
  if (a.LineStartsNewFont != b.LineStartsNewFont) return "new-font bits";
  if (a.Loaded.LineFonts != b.Loaded.LineFonts) return "loaded line fonts";
  if (a.LineModesValid != b.LineModesValid || a.LineModes != b.LineModes) return "line modes";
  if (a.ColourTables != b.ColourTables) return "colour tables";
  if (a.PlayerColourTables != b.PlayerColourTables) return "player colour tables";
  if (a.CharsPerFontLimit != b.CharsPerFontLimit) return "characters-per-font limit";
  return "";
}

TEST(ProjectWriterTest, ReadingBackGivesTheSameWorkspaceInBothForms) {
  std::mt19937 random(30);
  for (int round = 0; round < 60; ++round) {
    WorkspacePtr written = RandomWorkspace(random);
    const ProjectForm form = round % 2 == 0 ? ProjectForm::kPlain : ProjectForm::kCompressed;
    testing::MemoryFileSystem fs;
    WriteProject(*written, form, fs, kPath);
    const testing::Bytes& bytes = fs.files.at(kPath);
    const bool compressed =
        std::equal(kContainerMagic.begin(), kContainerMagic.end(), bytes.begin());
    EXPECT_EQ(compressed, form == ProjectForm::kCompressed);
    if (!compressed) {
      EXPECT_EQ(bytes.size(),
                (ProjectLayout{written->LineWidth, written->LastDeclaredFont + 1}.FullLength()));
    }
    WorkspacePtr read = NewWorkspace();
    LoadProject(*read, fs, kPath);
    EXPECT_EQ(FirstDifference(*written, *read), "") << "round " << round;
  }
}

TEST(ProjectWriterTest, AFailedWriteLeavesNoFileAndAnOldOneAsItWas) {
  WorkspacePtr ws = NewWorkspace();
  ws->LineWidth = 40;
  ws->CharacterMode = 2;
  testing::MemoryFileSystem fs;
  fs.fail_write[kPath] = "Disk full";
  EXPECT_THROW(WriteProject(*ws, ProjectForm::kPlain, fs, kPath), InOutError);
  EXPECT_EQ(fs.files.count(kPath), 0u);
  fs.files[kPath] = {1, 2, 3};
  fs.fail_write.clear();
  fs.fail_close[kPath] = "Disk full";
  EXPECT_THROW(WriteProject(*ws, ProjectForm::kCompressed, fs, kPath), InOutError);
  EXPECT_EQ(fs.files.at(kPath), (testing::Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace qdp
