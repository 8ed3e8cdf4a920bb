#include "view/run_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

#include "export/side_files.h"
#include "platform/file_system.h"
#include "project/reader.h"
#include "tests/support/load_and_convert.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/project_builder.h"
#include "tests/support/slurp.h"
#include "view/outputs.h"
#include "view/png_reader.h"
#include "view/preview_images.h"
#include "view/project_view.h"

namespace qdp::view {
namespace {

using testing::Bytes;
using testing::ProjectContent;
using testing::ScratchDir;

// Glyph n of the test fonts: a distinct, non-blank pattern.
std::array<uint8_t, 8> Glyph(int n) {
  return {static_cast<uint8_t>(n),  0x81, static_cast<uint8_t>(n * 37), 0x3C, 0,
          static_cast<uint8_t>(~n), 0x18, static_cast<uint8_t>(n >> 1)};
}

void FillFonts(ProjectContent& p) {
  for (int f = 0; f < p.FontCount(); ++f) {
    for (int c = 0; c < 128; ++c) p.SetGlyph(f, c, Glyph(f * 128 + c + 1));
  }
}

// No conversion (header bit 0x08), three fonts stored; line 29 names font
// 7, lines 3 and 4 are not in use, one cell is inverse.
ProjectContent KeptAsStored() {
  ProjectContent p;
  p.mode_byte = 0x08 | 1;
  p.fonts_byte = 2;
  FillFonts(p);
  for (int line = 0; line < 30; ++line) {
    p.line_fonts[line] = static_cast<uint8_t>(line < 10 ? 0 : line < 20 ? 1 : line < 29 ? 2 : 7);
    for (int x = 0; x < 40; ++x) {
      p.SetCell(line, x, static_cast<uint8_t>(line < 10 ? x % 5 : line < 20 ? x % 7 : 3));
    }
  }
  p.SetCell(0, 9, 0x84);
  p.line_mode_table[3] = p.line_mode_table[4] = 255;
  return p;
}

// Width 40 with 10 fonts: the layout asks for one character per cell.
ProjectContent PerCellByLayout() {
  ProjectContent p;
  p.fonts_byte = 9;
  FillFonts(p);
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 40; ++x) p.SetCell(line, x, static_cast<uint8_t>((line + x) % 100));
  }
  return p;
}

// One character per cell from the header, 48 cells a line and a limit of
// 48, line 0 flagged to begin a new font: line i ends in font i + 1, so
// line 29 uses font 30, which no .fnt holds.
ProjectContent PerCellPastFont29() {
  ProjectContent p;
  p.width_byte = 48;
  p.mode_byte = 0x80 | 1;
  p.chars_per_font = 48;
  FillFonts(p);
  p.line_fonts[0] = 0x80;
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 48; ++x) p.SetCell(line, x, static_cast<uint8_t>(x));
  }
  return p;
}

// Lines alternating fonts 0 and 1: the layout asks for blocks.
ProjectContent BlocksByLayout() {
  ProjectContent p;
  p.width_byte = 32;
  p.fonts_byte = 1;
  FillFonts(p);
  for (int line = 0; line < 30; ++line) {
    p.line_fonts[line] = static_cast<uint8_t>(line & 1);
    for (int x = 0; x < 32; ++x) p.SetCell(line, x, static_cast<uint8_t>((x / 2) % 6));
  }
  return p;
}

std::string Put(const ScratchDir& dir, const std::string& name, const Bytes& bytes) {
  testing::WriteFileBytes(dir.File(name), bytes);
  return dir.File(name);
}

std::string Put(const ScratchDir& dir, const std::string& name, const ProjectContent& p) {
  return Put(dir, name, testing::BuildProject(p));
}

// The workspace qdpext would leave for this file.
std::unique_ptr<Workspace> Loaded(const std::string& path) {
  auto ws = std::make_unique<Workspace>();
  testing::LoadAndConvert(*ws, RealFileSystem(), path);
  return ws;
}

FileReport View(const std::string& path, int scale = 1, bool bits = false) {
  ViewOptions options;
  options.Scale = scale;
  options.Bits = bits;
  return ViewFile(path, options, ChooseDrawing(options, RealFileSystem()), RealFileSystem());
}

std::vector<int> Range(int first, int last, int step = 1) {
  std::vector<int> v;
  for (int i = first; i <= last; i += step) v.push_back(i);
  return v;
}

// The round trip compares the colour pictures as well as the bitmaps. An
// inverse cell on a four-colour line, under a header that draws cells as
// hi-res, is complemented into the bitmap; the rebuild codes the
// complemented glyph without the inverse bit, which on a four-colour line
// picks PF2 instead of PF3: the same bitmap, other colours.
TEST(ViewFileTest, TheRoundTripSaysOnWhichLinesTheRebuildChangesColours) {
  struct Case {
    const char* name;
    bool inverse_on_four_colour_lines;
    std::vector<int> lines;
    const char* text;  // the summary's round trip line
  };
  const Case cases[] = {
      {"inverse cells on four-colour lines",
       true,
       {0, 4, 5, 6, 7},
       "  round trip:    the rebuild changes colours on lines 0, 4-7: inverse cells on "
       "four-colour lines\n"},
      {"inverse cells on hi-res lines only",
       false,
       {},
       "  round trip:    exact, the rebuilt fonts draw the same picture\n"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProjectContent p;
    p.SetGlyph(0, 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    p.line_mode_table.fill(1);
    for (int line : {0, 4, 5, 6, 7}) p.line_mode_table[line] = 2;
    // On a hi-res line the inverse bit only complements: nothing changes.
    p.SetCell(2, 3, 1);
    p.SetCell(2, 4, 0x81);
    if (c.inverse_on_four_colour_lines) {
      for (int line : {0, 4, 5, 6, 7}) p.SetCell(line, 7, 0x81);
    }
    std::fill_n(p.colours.begin() + 3 * 256, 240, 0x44);  // PF2
    std::fill_n(p.colours.begin() + 4 * 256, 240, 0x88);  // PF3
    FileReport r = View(Put(dir, "pic.qdp", p));
    EXPECT_FALSE(r.Error.has_value()) << *r.Error;
    EXPECT_EQ(r.RoundTripExact, c.lines.empty());
    EXPECT_EQ(r.RoundTripColourLines, c.lines);
    const std::string text = FormatText(r);
    EXPECT_NE(text.find(c.text), std::string::npos) << text;
    const std::string json = FormatJson(r);
    const std::string lines_json = c.lines.empty() ? "\"round_trip_colour_lines\":[]"
                                                   : "\"round_trip_colour_lines\":[0,4,5,6,7]";
    EXPECT_NE(json.find(lines_json), std::string::npos) << json;
  }
}

TEST(ViewFileTest, SummaryOfEachConversionKind) {
  ScratchDir dir;
  {
    SCOPED_TRACE("kept as stored");
    FileReport r = View(Put(dir, "kept.qdp", KeptAsStored()));
    EXPECT_FALSE(r.Error) << *r.Error;
    EXPECT_EQ(r.Width, 40);
    EXPECT_EQ(r.CharacterMode, 1);
    EXPECT_EQ(r.Conversion, ConversionKind::kNone);
    EXPECT_TRUE(r.ConversionFromHeader);
    EXPECT_EQ(r.FontsStored, 3);
    EXPECT_EQ(FontNumbers(r), (std::vector<int>{0, 1, 2, 7}));
    ASSERT_EQ(r.Fonts.size(), 4u);
    EXPECT_EQ(r.Fonts[0].Characters, 5);  // the inverse cell is character 4 again
    EXPECT_EQ(r.Fonts[0].Lines, Range(0, 9));
    EXPECT_EQ(r.Fonts[1].Characters, 7);
    EXPECT_EQ(r.Fonts[2].Characters, 1);
    EXPECT_EQ(r.Fonts[3].Lines, std::vector<int>{29});
    std::vector<int> in_use = Range(0, 29);
    in_use.erase(in_use.begin() + 3, in_use.begin() + 5);
    EXPECT_EQ(r.LinesInUse, in_use);
    ASSERT_EQ(r.Warnings.size(), 1u);
    EXPECT_NE(r.Warnings[0].find("line 29 name font 7 but the file stores 3 fonts"),
              std::string::npos)
        << r.Warnings[0];
    EXPECT_EQ(r.RoundTripExact, true);
  }
  {
    SCOPED_TRACE("one character per cell, chosen by the layout");
    FileReport r = View(Put(dir, "cells.qdp", PerCellByLayout()));
    EXPECT_EQ(r.Conversion, ConversionKind::kCharPerCell);
    EXPECT_FALSE(r.ConversionFromHeader);
    EXPECT_EQ(r.FontsStored, 10);
    ASSERT_EQ(r.Fonts.size(), 10u);
    for (int f = 0; f < 10; ++f) {
      EXPECT_EQ(r.Fonts[f].Number, f);
      EXPECT_EQ(r.Fonts[f].Characters, 120);
      EXPECT_EQ(r.Fonts[f].Lines, Range(3 * f, 3 * f + 2));
    }
    EXPECT_TRUE(r.Warnings.empty());
    EXPECT_EQ(r.RoundTripExact, true);
  }
  {
    SCOPED_TRACE("fonts past 29");
    FileReport r = View(Put(dir, "wide.qdp", PerCellPastFont29()));
    EXPECT_EQ(r.Conversion, ConversionKind::kCharPerCell);
    EXPECT_TRUE(r.ConversionFromHeader);
    EXPECT_EQ(FontNumbers(r), Range(1, 30));
    EXPECT_EQ(r.Fonts.back().Characters, 48);
    ASSERT_EQ(r.Warnings.size(), 1u);
    EXPECT_EQ(r.Warnings[0],
              "font 30 (line 29) is not written to .fnt, which holds fonts 0 to 29 only");
    EXPECT_EQ(r.RoundTripExact, true);
  }
  {
    SCOPED_TRACE("blocks, chosen by the layout");
    FileReport r = View(Put(dir, "blocks.qdp", BlocksByLayout()));
    EXPECT_EQ(r.Conversion, ConversionKind::kBlocks16);
    EXPECT_FALSE(r.ConversionFromHeader);
    ASSERT_EQ(r.Fonts.size(), 2u);
    // Six distinct blocks: characters 0 to 11 in both fonts.
    EXPECT_EQ(r.Fonts[0].Characters, 12);
    EXPECT_EQ(r.Fonts[0].Lines, Range(0, 28, 2));
    EXPECT_EQ(r.Fonts[1].Lines, Range(1, 29, 2));
    EXPECT_EQ(r.RoundTripExact, true);
  }
}

TEST(ViewFileTest, APackedProjectReportsWhatItsPlainFormDoes) {
  ScratchDir dir;
  ProjectContent p = KeptAsStored();
  p.mode_byte = 0x40 | 1;
  Bytes plain = testing::BuildProject(p);
  FileReport a = View(Put(dir, "plain.qdp", plain));
  FileReport b = View(Put(dir, "packed.qdp", testing::Compress(plain)));
  EXPECT_FALSE(b.Error);
  EXPECT_EQ(b.Conversion, ConversionKind::kSharedChars);
  EXPECT_EQ(b.FontsStored, 3);
  b.File = a.File;
  b.WrittenFiles = a.WrittenFiles;
  EXPECT_EQ(FormatJson(b), FormatJson(a));
  EXPECT_EQ(ReadPng(dir.File("plain.png")), ReadPng(dir.File("packed.png")));
  EXPECT_EQ(ReadPng(dir.File("plain-fonts.png")), ReadPng(dir.File("packed-fonts.png")));
}

TEST(ViewFileTest, WithBitsThePictureIsTheBitmapFileAtAnyScale) {
  ScratchDir dir;
  for (auto [name, content] :
       {std::pair{"kept.qdp", KeptAsStored()}, std::pair{"blocks.qdp", BlocksByLayout()},
        std::pair{"wide.qdp", PerCellPastFont29()}}) {
    SCOPED_TRACE(name);
    std::string path = Put(dir, name, content);
    WorkspacePtr ws = NewWorkspace();
    testing::LoadAndConvert(*ws, RealFileSystem(), path);
    SaveMicFile(*ws, RealFileSystem(), SideFileName(path, ".mic"));
    Bytes mic = testing::ReadFileBytes(path.substr(0, path.size() - 4) + ".mic");
    const int width = content.Width();
    ASSERT_EQ(mic.size(), 240u * width);

    ASSERT_FALSE(View(path, 1, true).Error);
    RgbImage one = ReadPng(path.substr(0, path.size() - 4) + ".png");
    ASSERT_TRUE(one.Ok);
    ASSERT_EQ(one.Width, width * 8);
    ASSERT_EQ(one.Height, 240);
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < width * 8; ++x) {
        bool set = mic[y * width + x / 8] & (0x80 >> (x % 8));
        ASSERT_EQ(one.At(x, y), set ? kWhite : kBlack) << x << "," << y;
      }
    }

    ASSERT_FALSE(View(path, 3, true).Error);
    RgbImage three = ReadPng(path.substr(0, path.size() - 4) + ".png");
    ASSERT_EQ(three.Width, width * 24);
    ASSERT_EQ(three.Height, 720);
    for (int y = 0; y < three.Height; ++y) {
      for (int x = 0; x < three.Width; ++x) ASSERT_EQ(three.At(x, y), one.At(x / 3, y / 3));
    }
  }
}

// Fonts 0, 7, 12 and 100, kept as stored: one- to three-digit labels.
ProjectContent FontsZeroSevenTwelveHundred() {
  ProjectContent p = KeptAsStored();
  p.fonts_byte = 100;
  FillFonts(p);
  for (int line = 0; line < 30; ++line) {
    p.line_fonts[line] = static_cast<uint8_t>(line < 10 ? 0 : line < 20 ? 7 : line < 29 ? 12 : 100);
  }
  return p;
}

// The number drawn in the label band whose top left pixel is (x, y) at
// scale 1, read digit by digit against the digit set; -1 when a slot
// matches no digit. A slot that is all dark ends the number.
int ReadLabel(const RgbImage& sheet, int x, int y, int scale) {
  int number = -1;
  for (int slot = 0;; ++slot) {
    const int left = x + slot * kDigitPitch;
    if ((left + kDigitWidth) * scale > sheet.Width) return number;
    uint8_t rows[kDigitHeight] = {};
    bool any = false;
    for (int r = 0; r < kDigitHeight; ++r) {
      for (int c = 0; c < kDigitWidth; ++c) {
        if (sheet.At((left + c) * scale, (y + r) * scale) == kWhite) {
          rows[r] |= static_cast<uint8_t>(4 >> c);
          any = true;
        }
      }
    }
    if (!any) return number;
    int digit = -1;
    for (int d = 0; d < 10; ++d) {
      if (std::equal(rows, rows + kDigitHeight, kDigitRows[d])) digit = d;
    }
    if (digit < 0) return -1;
    number = (number < 0 ? 0 : number * 10) + digit;
  }
}

// Every font in use gets its grid of glyphs, exactly, under a band that
// holds its number; nothing else is light anywhere on the sheet.
TEST(ViewFileTest, TheFontSheetShowsEachFontInUseUnderItsNumber) {
  ScratchDir dir;
  struct Case {
    const char* name;
    ProjectContent content;
    std::vector<int> fonts;
  };
  for (const Case& c : {Case{"wide.qdp", PerCellPastFont29(), Range(1, 30)},
                        Case{"labels.qdp", FontsZeroSevenTwelveHundred(), {0, 7, 12, 100}}}) {
    const std::string path = Put(dir, c.name, c.content);
    auto ws = Loaded(path);
    long glyph_bits = 0;
    for (int f : c.fonts) {
      for (int i = 0; i < kFontBytes; ++i) {
        glyph_bits += std::popcount(ws->FontBank[f * kFontBytes + i]);
      }
    }
    ASSERT_GT(glyph_bits, 0);
    for (int scale : {1, 2}) {
      SCOPED_TRACE(std::string(c.name) + " at scale " + std::to_string(scale));
      FileReport r = View(path, scale);
      const int picture_scale = scale;
      scale *= 2;  // the sheet is drawn at twice the picture's scale
      ASSERT_FALSE(r.Error) << *r.Error;
      ASSERT_EQ(FontNumbers(r), c.fonts);
      RgbImage sheet = ReadPng(*r.Written("font sheet"));
      ASSERT_TRUE(sheet.Ok);
      const int count = static_cast<int>(c.fonts.size());
      const int rows = (count + kFontsPerRow - 1) / kFontsPerRow;
      EXPECT_EQ(sheet.Width,
                (std::min(count, kFontsPerRow) * (kFontWidth + kFontGap) - kFontGap) * scale);
      EXPECT_EQ(sheet.Height, (rows * kFontRowPitch - kFontGap) * scale);
      long label_bits = 0;
      for (int i = 0; i < count; ++i) {
        const int left = (i % kFontsPerRow) * (kFontWidth + kFontGap);
        const int band = (i / kFontsPerRow) * kFontRowPitch;
        const int top = band + kLabelHeight;
        EXPECT_EQ(ReadLabel(sheet, left, band, scale), c.fonts[i]) << "font " << c.fonts[i];
        for (char d : std::to_string(c.fonts[i])) {
          for (uint8_t row : kDigitRows[d - '0']) label_bits += std::popcount(row);
        }
        // Character ch: column ch mod 16, row ch div 16 of the grid.
        for (int ch = 0; ch < 128; ++ch) {
          for (int k = 0; k < 64; ++k) {
            int x = left + (ch % 16) * kGlyphPitch + k % 8;
            int y = top + (ch / 16) * kGlyphPitch + k / 8;
            bool set = ws->FontBank[c.fonts[i] * kFontBytes + ch * 8 + k / 8] & (0x80 >> (k % 8));
            ASSERT_EQ(sheet.At(x * scale, y * scale), set ? kWhite : kBlack)
                << c.fonts[i] << "/" << ch << "/" << k;
          }
        }
      }
      long light = std::count(sheet.Pixels.begin(), sheet.Pixels.end(), kWhite);
      EXPECT_EQ(light, (glyph_bits + label_bits) * scale * scale);
      // Between characters, 7 rows and 15 columns of dim grid line a font;
      // everything else is black.
      const long grid = 7 * kFontWidth + 15 * (kFontHeight - 7);
      long dim = 0;
      for (const Rgb& p : sheet.Pixels) {
        if (p == kWhite || p == kBlack) continue;
        EXPECT_EQ(p, (Rgb{64, 64, 64}));
        EXPECT_LT(p.R + p.G + p.B, 3 * 128);  // below half
        ++dim;
      }
      EXPECT_EQ(dim, grid * count * scale * scale);
      scale = picture_scale;
    }
  }
}

TEST(ViewFileTest, AFailedConversionSaysWhereAndStillShowsThePicture) {
  ScratchDir dir;
  ProjectContent p = PerCellByLayout();
  p.mode_byte = 0x80 | 1;
  p.chars_per_font = 20;
  FileReport r = View(Put(dir, "tight.qdp", p));
  ASSERT_TRUE(r.Error);
  EXPECT_EQ(*r.Error,
            "conversion failed: line 0 needs 40 new characters but the per-font limit is 20");
  EXPECT_TRUE(r.Loaded);
  EXPECT_FALSE(r.RoundTripExact.has_value());
  EXPECT_TRUE(r.Fonts.empty());
  EXPECT_EQ(r.Written("preview"), dir.File("tight.png"));
  EXPECT_FALSE(r.Written("font sheet"));
  EXPECT_FALSE(testing::FileExists(dir.File("tight-fonts.png")));
  // The picture is the project as loaded: the same project kept as stored
  // draws the same.
  p.mode_byte = 0x08 | 1;
  ASSERT_FALSE(View(Put(dir, "kept.qdp", p)).Error);
  RgbImage failed = ReadPng(dir.File("tight.png"));
  ASSERT_TRUE(failed.Ok);
  EXPECT_EQ(failed, ReadPng(dir.File("kept.png")));
}

// Both programs give the same bytes for a plain project and its
// compressed form.
TEST(ViewFileTest, TheCompressedFormGivesTheSameFilesAsThePlain) {
  ScratchDir dir;
  ProjectContent p = KeptAsStored();
  p.mode_byte = 0x40 | 1;
  const Bytes plain = testing::BuildProject(p);
  const Bytes compressed = testing::Compress(plain);
  struct Form {
    const char* stem;
    const Bytes& bytes;
  };
  std::vector<std::string> jsons;
  std::vector<std::vector<Bytes>> outputs;
  for (const Form& form : {Form{"plain", plain}, Form{"compressed", compressed}}) {
    SCOPED_TRACE(form.stem);
    const std::string path = Put(dir, std::string(form.stem) + ".qdp", form.bytes);
    // The side files as qdpext writes them.
    WorkspacePtr ws = NewWorkspace();
    testing::LoadAndConvert(*ws, RealFileSystem(), path);
    const std::pair<const char*, SideFileWriter> writers[] = {{".scr", SaveScrFile},
                                                              {".fnt", SaveFntFile},
                                                              {".mic", SaveMicFile},
                                                              {".col", SaveColFile},
                                                              {".tab", SaveTabFile}};
    for (const auto& [extension, write] : writers) {
      if (std::string(extension) != ".tab" || LineTableDue(*ws)) {
        write(*ws, RealFileSystem(), SideFileName(path, extension));
      }
    }
    FileReport r = View(path, 2);
    ASSERT_FALSE(r.Error);
    r.File.clear();
    r.WrittenFiles.clear();
    jsons.push_back(FormatJson(r));
    std::vector<Bytes> files;
    for (const char* suffix : {".mic", ".fnt", ".scr", ".tab", ".col", ".png", "-fonts.png"}) {
      const std::string file = dir.File(std::string(form.stem) + suffix);
      files.push_back(testing::FileExists(file) ? testing::ReadFileBytes(file) : Bytes{});
    }
    EXPECT_EQ(files[0].size(), 240u * 40);
    outputs.push_back(files);
  }
  EXPECT_EQ(jsons[1], jsons[0]);
  EXPECT_EQ(outputs[1], outputs[0]);
}

// A project with one line of each mode, drawn through a palette file whose
// colours tell every colour byte apart, read back with libpng: each pixel
// has the RGB of the colour byte the machine would show there.
TEST(ViewFileTest, EachLineModeReadsBackAsTheMachinesColours) {
  ScratchDir dir;
  Bytes act(768);
  for (int i = 0; i < 256; ++i) {
    act[3 * i] = static_cast<uint8_t>(i);
    act[3 * i + 1] = static_cast<uint8_t>(255 - i);
    act[3 * i + 2] = static_cast<uint8_t>(i * 5);
  }
  const std::string palette = Put(dir, "test-palette", act);
  auto colour = [&act](int byte) {
    return Rgb{act[3 * byte], act[3 * byte + 1], act[3 * byte + 2]};
  };

  ProjectContent p;
  p.mode_byte = 0x08 | 2;                                              // kept as stored
  p.SetGlyph(0, 1, {0xE4, 0xE4, 0xE4, 0xE4, 0xE4, 0xE4, 0xE4, 0xE4});  // 11 10 01 00
  p.SetGlyph(0, 2, {0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F, 0x1F});  // nibbles 1, 15
  p.line_mode_table.fill(255);
  p.line_mode_table[0] = 1;
  p.line_mode_table[1] = 2;
  p.line_mode_table[2] = 4;
  for (int line = 0; line < 3; ++line) {
    p.SetCell(line, 0, line == 2 ? 2 : 1);
    p.SetCell(line, 1, line == 2 ? 0x82 : 0x81);  // inverse
  }
  p.SetCell(3, 0, 1);  // a blank line shows nothing of its cells
  const uint8_t kBak = 0x34, kPf0 = 0x46, kPf1 = 0x5A, kPf2 = 0x72, kPf3 = 0x9C;
  for (int y = 0; y < 240; ++y) {
    int t = 0;
    for (uint8_t c : {kBak, kPf0, kPf1, kPf2, kPf3}) p.colours[t++ * 256 + y] = c;
  }
  const std::string path = Put(dir, "modes.qdp", p);
  for (const std::string gtia : {"9", "11"}) {
    SCOPED_TRACE(gtia);
    std::FILE* null = std::fopen("/dev/null", "w");
    ASSERT_EQ(RunView({"qdpview", "--palette", palette, "--gtia", gtia, path}, null, stderr,
                      RealFileSystem()),
              0);
    std::fclose(null);
    RgbImage image = ReadPng(dir.File("modes.png"));
    ASSERT_TRUE(image.Ok);
    // Hi-res: 0xE4 is set, set, set, clear, clear, set, clear, clear.
    const int hires_set = (kPf2 & 0xF0) | (kPf1 & 0x0F);
    EXPECT_EQ(image.At(0, 0), colour(hires_set));
    EXPECT_EQ(image.At(3, 0), colour(kPf2));
    EXPECT_EQ(image.At(8, 0), colour(kPf2));  // inverse: the bits complemented
    EXPECT_EQ(image.At(11, 0), colour(hires_set));
    // Four-colour: pairs 11, 10, 01, 00, 2 pixels each; inverse takes PF3.
    const uint8_t pairs[] = {kPf2, kPf1, kPf0, kBak};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(image.At(2 * k + 1, 8), colour(pairs[k])) << k;
    EXPECT_EQ(image.At(9, 8), colour(kPf3));
    // GTIA: nibbles 1 then 15, 4 pixels each; inverse complements them.
    const bool hues = gtia == "11";
    auto gtia_colour = [&](int n) { return hues ? (kBak | (n << 4)) & 0xFE : kBak | n; };
    EXPECT_EQ(image.At(0, 16), colour(gtia_colour(1)));
    EXPECT_EQ(image.At(4, 16), colour(gtia_colour(15)));
    EXPECT_EQ(image.At(8, 16), colour(gtia_colour(14)));
    EXPECT_EQ(image.At(12, 16), colour(gtia_colour(0)));
    // Blank: the background everywhere.
    EXPECT_EQ(image.At(0, 24), colour(kBak));
  }
}

// Views of two files can be alive at once, and each says what it says
// alone.
TEST(ProjectViewTest, TwoViewsAliveAtOnceReportAsOneAtATime) {
  ScratchDir dir;
  const std::string kept = Put(dir, "kept.qdp", KeptAsStored());
  const std::string blocks = Put(dir, "blocks.qdp", BlocksByLayout());
  auto describe = [](const ProjectView& view) {
    FileReport report;
    DescribeProject(view, report);
    const IndexedImage picture = kOutputs[0].Draw(view, Drawing{});
    std::vector<uint8_t> pixels(static_cast<size_t>(picture.Width) * picture.Height);
    for (int y = 0; y < picture.Height; ++y) picture.FillRow(y, &pixels[y * picture.Width]);
    return std::pair{FormatJson(report), pixels};
  };
  auto alone = [&](const std::string& path) {
    ProjectView view;
    view.Load(RealFileSystem(), path);
    return describe(view);
  };
  const auto kept_alone = alone(kept);
  const auto blocks_alone = alone(blocks);
  ProjectView first, second;
  first.Load(RealFileSystem(), kept);
  second.Load(RealFileSystem(), blocks);
  EXPECT_EQ(describe(first), kept_alone);
  EXPECT_EQ(describe(second), blocks_alone);
  EXPECT_NE(kept_alone, blocks_alone);
}

TEST(ViewFileTest, NeverWritesOverItsInput) {
  ScratchDir dir;
  Bytes project = testing::BuildProject(KeptAsStored());
  // Same name: a project called pic.png.
  std::string named = Put(dir, "pic.png", project);
  // Same file: the font sheet's name is a hard link to the input.
  std::string linked = Put(dir, "other.qdp", project);
  std::filesystem::create_hard_link(linked, dir.File("other-fonts.png"));
  for (const std::string& input : {named, linked}) {
    FileReport r = View(input);
    ASSERT_TRUE(r.Error) << input;
    EXPECT_NE(r.Error->find("over the input"), std::string::npos);
    EXPECT_EQ(testing::ReadFileBytes(input), project);
  }
  EXPECT_FALSE(testing::FileExists(dir.File("other.png")));
}

TEST(ViewFileTest, WritesIntoTheOutputDirectoryUnderTheInputsStem) {
  ScratchDir in, out;
  ViewOptions options;
  options.OutputDir = out.Path();
  FileReport r = ViewFile(Put(in, "a.b.qdp", KeptAsStored()), options, Drawing{}, RealFileSystem());
  EXPECT_EQ(r.Written("preview"), out.File("a.b.png"));
  EXPECT_EQ(r.Written("font sheet"), out.File("a.b-fonts.png"));
  EXPECT_EQ(out.List(), (std::vector<std::string>{"a.b-fonts.png", "a.b.png"}));
  EXPECT_EQ(in.List(), std::vector<std::string>{"a.b.qdp"});
}

// Each failure of the file system is reported as what it was about: the
// input (its reason alone, the input being named already), a picture
// ("cannot write" it) or the temporary directory; a picture that cannot
// be written keeps the summary found before it.
TEST(ViewFileTest, EveryFailureNamesWhatFailedAndKeepsTheSummary) {
  const std::string input = "/mem/in/p.qdp";
  const std::string preview = "/mem/out/p.png";
  const std::string sheet = "/mem/out/p-fonts.png";
  struct Case {
    const char* name;
    std::function<void(testing::MemoryFileSystem&)> fail;
    bool packed;
    std::string error;
    bool summary;  // round trip and fonts in use found
    bool preview_written;
  };
  const Case cases[] = {
      {"input unreadable", [&](auto& fs) { fs.fail_open[input] = "File access denied"; }, false,
       "File access denied", false, false},
      {"output folder unwritable",
       [&](auto& fs) { fs.fail_create[preview] = "File access denied"; }, false,
       "cannot write " + preview + ": File access denied", true, false},
      {"disk full in the middle of the picture",
       [&](auto& fs) {
         fs.fail_write[preview] = "Disk full";
         fs.write_limit = 10;
       },
       false, "cannot write " + preview + ": Disk full", true, false},
      {"font sheet not closed", [&](auto& fs) { fs.fail_close[sheet] = "Disk full"; }, false,
       "cannot write " + sheet + ": Disk full", true, true},
      {"no temporary file", [&](auto& fs) { fs.fail_temp = "File not found"; }, true,
       "cannot make a temporary file in /mem/tmp: File not found", false, false},
      {"temporary file full",
       [&](auto& fs) {
         fs.fail_write["/mem/tmp/~1"] = "Disk full";
         fs.write_limit = 10;
       },
       true, "cannot write a temporary file in /mem/tmp/~1: Disk full", false, false},
  };
  const Bytes plain = testing::BuildProject(KeptAsStored());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::MemoryFileSystem fs;
    fs.files[input] = c.packed ? testing::Compress(plain) : plain;
    c.fail(fs);
    ViewOptions options;
    options.OutputDir = "/mem/out";
    FileReport r = ViewFile(input, options, Drawing{}, fs);
    ASSERT_TRUE(r.Error);
    EXPECT_EQ(*r.Error, c.error);
    EXPECT_EQ(r.RoundTripExact.has_value(), c.summary);
    EXPECT_EQ(FontNumbers(r).size(), c.summary ? 4u : 0u);
    EXPECT_EQ(r.Written("preview").has_value(), c.preview_written);
    EXPECT_EQ(fs.files.count(preview), c.preview_written ? 1u : 0u);
    EXPECT_FALSE(r.Written("font sheet"));
    EXPECT_EQ(fs.files.count(sheet), 0u);
  }
}

// The -o folder is made, parents too, when missing, and not with
// --no-images; one that cannot be made ends the run with a line naming it.
// A palette file that cannot be used ends the run before any input is
// read, with one line that names it and says why; one of either size
// accepted is used.
TEST(RunViewTest, APaletteFileIsCheckedBeforeAnyInput) {
  struct Case {
    const char* name;
    size_t size;  // 0: no such file
    int status;
    const char* err;
  };
  const Case cases[] = {
      {"missing", 0, 2, "qdpview: palette file /mem/p-palette: File not found\n"},
      {"770 bytes", 770, 2,
       "qdpview: palette file /mem/p-palette: 770 bytes; a palette file is 768 bytes (256 RGB "
       "triples) or 772\n"},
      {"768 bytes", 768, 1, "qdpview: /mem/none.qdp: File not found\n"},
      {"772 bytes", 772, 1, "qdpview: /mem/none.qdp: File not found\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::MemoryFileSystem fs;
    if (c.size != 0) fs.files["/mem/p-palette"] = Bytes(c.size, 7);
    std::FILE* err = std::tmpfile();
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(RunView({"qdpview", "--palette", "/mem/p-palette", "/mem/none.qdp"}, out, err, fs),
              c.status);
    EXPECT_EQ(testing::Slurp(err), c.err);
    std::fclose(out);
  }
}

TEST(RunViewTest, TheOutputFolderIsMadeWhenMissing) {
  testing::MemoryFileSystem fs;
  fs.files["/mem/p.qdp"] = testing::BuildProject(KeptAsStored());
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ASSERT_NE(err, nullptr);
  EXPECT_EQ(RunView({"qdpview", "--no-images", "-o", "/mem/a/b", "/mem/p.qdp"}, out, err, fs), 0);
  EXPECT_FALSE(fs.IsDirectory("/mem/a/b"));
  EXPECT_EQ(RunView({"qdpview", "-o", "/mem/a/b", "/mem/p.qdp"}, out, err, fs), 0);
  EXPECT_TRUE(fs.IsDirectory("/mem/a"));
  EXPECT_TRUE(fs.IsDirectory("/mem/a/b"));
  EXPECT_EQ(fs.files.count("/mem/a/b/p.png"), 1u);
  EXPECT_EQ(fs.files.count("/mem/a/b/p-fonts.png"), 1u);

  fs.fail_create["/mem/c"] = "File access denied";
  EXPECT_EQ(RunView({"qdpview", "-o", "/mem/c", "/mem/p.qdp"}, out, err, fs), kExitError);
  std::rewind(err);
  char line[200] = {};
  ASSERT_NE(std::fgets(line, sizeof line, err), nullptr);
  EXPECT_STREQ(line, "qdpview: cannot make the directory /mem/c: File access denied\n");
  std::fclose(out);
  std::fclose(err);
}

// A summary that cannot be written is a failure like any other: a script
// reading it must not take a lost summary for a good one.
TEST(RunViewTest, ASummaryThatCannotBeWrittenFailsTheRun) {
  ScratchDir dir;
  const std::string input = Put(dir, "pic.qdp", KeptAsStored());
  for (const char* mode : {"--json", "--version"}) {
    SCOPED_TRACE(mode);
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    std::vector<std::string> args = {"qdpview", mode};
    if (std::string(mode) == "--json") args.push_back(input);
    EXPECT_EQ(RunView(args, full, err, RealFileSystem()), kExitError);
    std::rewind(err);
    char line[200] = {};
    ASSERT_NE(std::fgets(line, sizeof line, err), nullptr);
    EXPECT_STREQ(line, "qdpview: cannot write to standard output\n");
    std::fclose(err);
    std::fclose(full);
  }
}

}  // namespace
}  // namespace qdp::view
