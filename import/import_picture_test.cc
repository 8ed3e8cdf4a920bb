#include "import/import_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "import/registers.h"
#include "platform/file_system.h"
#include "project/reader.h"
#include "view/colour_picture.h"

namespace qdp::import {
namespace {

const view::AtariPalette& Pal() {
  static const view::AtariPalette palette = view::BuiltInPalette(view::BuiltInPaletteKind::kPal);
  return palette;
}

SourcePicture PictureOf(const view::IndexedImage& image) {
  SourcePicture picture{image.Width, image.Height, {}};
  picture.Pixels.resize(static_cast<size_t>(image.Width) * image.Height);
  std::vector<uint8_t> row(static_cast<size_t>(image.Width));
  for (int y = 0; y < image.Height; ++y) {
    image.FillRow(y, row.data());
    for (int x = 0; x < image.Width; ++x) {
      picture.Pixels[static_cast<size_t>(y) * image.Width + x] = image.Palette[row[x]];
    }
  }
  return picture;
}

// A project of random modes, registers, fonts, line fonts and codes.
WorkspacePtr RandomProject(std::mt19937& random) {
  auto byte = [&random] { return static_cast<uint8_t>(random() & 0xFF); };
  WorkspacePtr ws = NewWorkspace();
  const int widths[] = {32, 40, 48};
  ws->LineWidth = static_cast<uint8_t>(widths[random() % 3]);
  ws->CharacterMode = 2;
  ws->LineModesValid = true;
  const LineMode modes[] = {LineMode::kHiRes, LineMode::kFourColour, LineMode::kGtia,
                            LineMode::kBlank};
  const int fonts = 1 + static_cast<int>(random() % 4);
  for (int i = 0; i < fonts * kFontBytes; ++i) ws->FontBank[i] = byte();
  // Some scanlines keep the registers of the one above, some colours repeat.
  for (int y = 0; y < kBitmapLines; ++y) {
    for (int r = 0; r < kColourRegisters; ++r) {
      uint8_t& reg = ws->ColourTables[r * kColourTableBytes + y];
      reg = (y > 0 && random() % 3 == 0) ? ws->ColourTables[r * kColourTableBytes + y - 1] : byte();
      if (r > 0 && random() % 8 == 0) reg = ws->ColourTables[(r - 1) * kColourTableBytes + y];
    }
  }
  for (int line = 0; line < kScreenLines; ++line) {
    ws->LineModes[line] = modes[random() % 4];
    ws->LineFontTable[line] = static_cast<uint8_t>(random() % fonts);
    for (int c = 0; c < ws->LineWidth; ++c) ws->Screen[RowOffset(line) + c] = byte();
  }
  return ws;
}

// A picture the machine cannot show exactly: gradients, waves and noise.
SourcePicture Photo(int width, unsigned seed) {
  std::mt19937 random(seed);
  SourcePicture picture{width, kPictureHeight, {}};
  for (int y = 0; y < kPictureHeight; ++y) {
    for (int x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / width, v = y / 240.0;
      auto channel = [&](double base) {
        const double value =
            base + 60 * std::sin(7 * u + 3 * v + base) + static_cast<int>(random() % 41) - 20;
        return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
      };
      picture.Pixels.push_back(
          view::Rgb{channel(200 * u + 20), channel(180 * v + 30), channel(120 + 60 * u * v)});
    }
  }
  return picture;
}

TEST(ImportPictureTest, PicturesTheMachineDrewComeBackExactly) {
  std::mt19937 random(30);
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE(::testing::Message() << "project " << i);
    WorkspacePtr drawn = RandomProject(random);
    const SourcePicture picture = PictureOf(MachinePicture(*drawn, Pal()));
    WorkspacePtr ws = NewWorkspace();
    const ImportReport report = ImportPicture(picture, ImportOptions{}, Pal(), *ws);
    ASSERT_TRUE(report.Exact);
    EXPECT_EQ(report.Error, 0.0);
    ASSERT_EQ(PictureOf(MachinePicture(*ws, Pal())).Pixels, picture.Pixels);
  }
}

TEST(ImportPictureTest, TheDemoProjectsComeBackExactly) {
  for (const char* name : {"demo.qdp", "demo-compressed.qdp"}) {
    SCOPED_TRACE(name);
    WorkspacePtr demo = NewWorkspace();
    LoadProject(*demo, RealFileSystem(), std::string(QDP_EXAMPLES_DIR) + "/" + name);
    const SourcePicture picture = PictureOf(MachinePicture(*demo, Pal()));
    WorkspacePtr ws = NewWorkspace();
    EXPECT_TRUE(ImportPicture(picture, ImportOptions{}, Pal(), *ws).Exact);
  }
}

TEST(ImportPictureTest, ExactPicturesIgnoreTheDitheringAndComeBackAtHalfWidth) {
  std::mt19937 random(31);
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE(::testing::Message() << "project " << i);
    WorkspacePtr drawn = RandomProject(random);
    const bool half = i % 2;
    // Half-width pictures hold one pixel per four-colour pixel.
    if (half) drawn->LineModes.fill(LineMode::kFourColour);
    SourcePicture picture = PictureOf(MachinePicture(*drawn, Pal()));
    if (half) {
      SourcePicture narrow{picture.Width / 2, picture.Height, {}};
      for (size_t p = 0; p < picture.Pixels.size(); p += 2)
        narrow.Pixels.push_back(picture.Pixels[p]);
      picture = narrow;
    }
    for (Dithering dither : {Dithering::kNone, Dithering::kOrdered, Dithering::kDiffusion}) {
      ImportOptions options;
      options.Dither = dither;
      WorkspacePtr ws = NewWorkspace();
      EXPECT_TRUE(ImportPicture(picture, options, Pal(), *ws).Exact) << DitheringNameOf(dither);
    }
  }
}

TEST(ImportPictureTest, LinesExactOnlyInOneModeTakeIt) {
  struct Case {
    const char* what;
    LineMode mode;
    std::function<uint8_t(int x, int y)> colour;  // colour byte of each hi-res pixel
  };
  const Case cases[] = {
      {"one colour per scanline", LineMode::kBlank,
       [](int, int y) { return uint8_t(y * 2 & 0xFE); }},
      {"two luminances of one hue, single pixels", LineMode::kHiRes,
       [](int x, int y) { return uint8_t(((x ^ y) & 1) ? 0x94 : 0x9C); }},
      {"sixteen luminances, odd ones too, four pixels wide", LineMode::kGtia,
       [](int x, int y) { return uint8_t(0x30 | ((x / 4 + y) & 15)); }},
      {"five colours, two of them only in alternate cells", LineMode::kFourColour,
       [](int x, int y) {
         const int cell = x / 8, pixel = x / 2 % 4;
         if (pixel < 3) return uint8_t(0x10 + 0x20 * pixel + (y & 8));
         return uint8_t(cell % 2 ? 0x46 : 0xD8);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SourcePicture picture{320, kPictureHeight, {}};
    for (int y = 0; y < kPictureHeight; ++y) {
      for (int x = 0; x < 320; ++x) picture.Pixels.push_back(Pal()[c.colour(x, y)]);
    }
    WorkspacePtr ws = NewWorkspace();
    const ImportReport report = ImportPicture(picture, ImportOptions{}, Pal(), *ws);
    EXPECT_TRUE(report.Exact);
    for (int line = 0; line < kScreenLines; ++line) EXPECT_EQ(report.Modes[line], c.mode);
  }
}

TEST(ImportPictureTest, RegisterChangesStayWithinTheLimit) {
  const SourcePicture picture = Photo(320, 1);
  for (int limit = 0; limit <= kColourRegisters; ++limit) {
    SCOPED_TRACE(::testing::Message() << "max changes " << limit);
    ImportOptions options;
    options.MaxChanges = limit;
    WorkspacePtr ws = NewWorkspace();
    const ImportReport report = ImportPicture(picture, options, Pal(), *ws);
    int most = 0;
    for (int y = 1; y < kColourTableBytes; ++y) {
      int changes = 0;
      for (int r = 0; r < kColourRegisters; ++r) {
        changes += ws->ColourTables[r * kColourTableBytes + y] !=
                   ws->ColourTables[r * kColourTableBytes + y - 1];
      }
      most = std::max(most, changes);
    }
    EXPECT_LE(most, limit);
    EXPECT_EQ(report.MaxChangesOnAScanline, most);
  }
}

// Fonts of a workspace: no character twice in one font, every line's font
// among those declared.
void ExpectSoundFonts(const Workspace& ws, int fonts) {
  EXPECT_EQ(ws.LastDeclaredFont + 1, fonts);
  for (int line = 0; line < kScreenLines; ++line) EXPECT_LT(ws.LineFontTable[line], fonts);
  for (int f = 0; f < fonts; ++f) {
    std::vector<uint64_t> glyphs;
    for (int line = 0; line < kScreenLines; ++line) {
      if (ws.LineFontTable[line] != f || ws.LineModes[line] == LineMode::kBlank) continue;
      for (int c = 0; c < ws.LineWidth; ++c) {
        uint64_t g;
        std::memcpy(&g,
                    &ws.FontBank[f * kFontBytes +
                                 (ws.Screen[RowOffset(line) + c] & kCharNumberMask) * kCharBytes],
                    8);
        glyphs.push_back(g);
      }
    }
    std::sort(glyphs.begin(), glyphs.end());
    glyphs.erase(std::unique(glyphs.begin(), glyphs.end()), glyphs.end());
    // Every character a font holds is used, once.
    int held = 0;
    for (int ch = 0; ch < kCharsPerFont; ++ch) {
      uint64_t g;
      std::memcpy(&g, &ws.FontBank[f * kFontBytes + ch * kCharBytes], 8);
      held += std::binary_search(glyphs.begin(), glyphs.end(), g);
    }
    EXPECT_EQ(held, static_cast<int>(glyphs.size())) << "font " << f;
  }
}

TEST(ImportPictureTest, FontBudgetIsKeptAndCostsLittle) {
  const SourcePicture picture = Photo(320, 2);
  WorkspacePtr free_ws = NewWorkspace();
  const ImportReport free = ImportPicture(picture, ImportOptions{}, Pal(), *free_ws);
  EXPECT_EQ(free.FontsUsed, free.FontsNeeded);
  EXPECT_EQ(free.MergedCharacters, 0);
  ExpectSoundFonts(*free_ws, free.FontsUsed);
  ASSERT_GT(free.FontsNeeded, 4);
  for (int budget : {1, 2, 4}) {
    SCOPED_TRACE(::testing::Message() << "budget " << budget);
    ImportOptions options;
    options.FontBudget = budget;
    WorkspacePtr ws = NewWorkspace();
    const ImportReport report = ImportPicture(picture, options, Pal(), *ws);
    EXPECT_LE(report.FontsUsed, budget);
    EXPECT_EQ(report.FontsNeeded, free.FontsNeeded);
    EXPECT_GT(report.MergedCharacters, 0);
    ExpectSoundFonts(*ws, report.FontsUsed);
    EXPECT_GE(report.Error, free.Error);
    EXPECT_LT(report.Error, free.Error * 2);
  }
}

TEST(ImportPictureTest, IdenticalCellsShareOneCharacter) {
  // A tile of four palette colours repeated over the whole screen: every
  // cell is the same character, in one font.
  SourcePicture picture{320, kPictureHeight, {}};
  const uint8_t colours[4] = {0x00, 0x46, 0x8A, 0x1E};
  for (int y = 0; y < kPictureHeight; ++y) {
    for (int x = 0; x < 320; ++x) picture.Pixels.push_back(Pal()[colours[(x / 2 + y) % 4]]);
  }
  WorkspacePtr ws = NewWorkspace();
  const ImportReport report = ImportPicture(picture, ImportOptions{}, Pal(), *ws);
  EXPECT_TRUE(report.Exact);
  EXPECT_EQ(report.FontsUsed, 1);
  for (int line = 0; line < kScreenLines; ++line) {
    for (int c = 0; c < 40; ++c)
      EXPECT_EQ(ws->Screen[RowOffset(line) + c] & kCharNumberMask, ws->Screen[0] & kCharNumberMask);
  }
}

TEST(ImportPictureTest, ForcedModesDrawEveryLineInThatMode) {
  struct Case {
    ModeChoice choice;
    LineMode mode;
  };
  const Case cases[] = {{ModeChoice::kHiRes, LineMode::kHiRes},
                        {ModeChoice::kFourColour, LineMode::kFourColour},
                        {ModeChoice::kGtia, LineMode::kGtia}};
  for (int width : {160, 384}) {
    const SourcePicture picture = Photo(width, 3);
    WorkspacePtr auto_ws = NewWorkspace();
    const double auto_error = ImportPicture(picture, ImportOptions{}, Pal(), *auto_ws).Error;
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message()
                   << "mode " << ModeChoiceNameOf(c.choice) << " width " << width);
      ImportOptions options;
      options.Mode = c.choice;
      WorkspacePtr ws = NewWorkspace();
      const ImportReport report = ImportPicture(picture, options, Pal(), *ws);
      for (int line = 0; line < kScreenLines; ++line) {
        EXPECT_EQ(report.Modes[line], c.mode);
        EXPECT_EQ(ws->LineModes[line], c.mode);
      }
      EXPECT_EQ(ws->LineWidth, width == 160 ? 40 : 48);
      // Auto takes each line's best mode, so no forced mode beats it by much.
      EXPECT_GT(report.Error, auto_error * 0.95);
      EXPECT_LT(report.Error, 15.0);
    }
  }
}

TEST(ImportPictureTest, PicturesOfOtherSizesAreRefused) {
  const SourcePicture cases[] = {
      {320, 200, std::vector<view::Rgb>(320 * 200)},
      {300, 240, std::vector<view::Rgb>(300 * 240)},
      {320, 240, std::vector<view::Rgb>(320 * 239)},
      {0, 0, {}},
  };
  for (const SourcePicture& picture : cases) {
    WorkspacePtr ws = NewWorkspace();
    EXPECT_THROW(ImportPicture(picture, ImportOptions{}, Pal(), *ws), std::invalid_argument);
  }
}

TEST(ImportPictureTest, SamePictureSameProject) {
  const SourcePicture picture = Photo(256, 4);
  for (Dithering dither : {Dithering::kNone, Dithering::kOrdered, Dithering::kDiffusion}) {
    ImportOptions options;
    options.Dither = dither;
    options.FontBudget = 3;
    WorkspacePtr a = NewWorkspace(), b = NewWorkspace();
    ImportPicture(picture, options, Pal(), *a);
    ImportPicture(picture, options, Pal(), *b);
    EXPECT_EQ(std::memcmp(a.get(), b.get(), sizeof(Workspace)), 0) << DitheringNameOf(dither);
  }
}

}  // namespace
}  // namespace qdp::import
