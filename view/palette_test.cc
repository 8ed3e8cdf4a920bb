#include "view/palette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/error.h"
#include "tests/support/memory_file_system.h"

namespace qdp::view {
namespace {

using testing::Bytes;
using testing::MemoryFileSystem;

double Luma(const Rgb& c) { return 0.299 * c.R + 0.587 * c.G + 0.114 * c.B; }

// The angle of a colour in the plane of its colour differences, in degrees.
double HueAngle(const Rgb& c) {
  const double y = Luma(c);
  return std::atan2((c.R - y) / 1.13983, (c.B - y) / 2.03211) * 180.0 / std::numbers::pi;
}

// How far `from` must turn back (clockwise) to reach `to`, in 0 to 360.
double TurnBack(double from, double to) { return std::fmod(from - to + 720.0, 360.0); }

// A built-in palette is named in any case; anything else, a name with a
// directory included, is a file.
TEST(BuiltInPaletteTest, NamesAreCaseBlindAndAnythingElseIsAFile) {
  using Kind = BuiltInPaletteKind;
  struct Case {
    const char* name;
    std::optional<Kind> kind;
  };
  const Case cases[] = {
      {"pal", Kind::kPal},     {"PAL", Kind::kPal},           {"Pal", Kind::kPal},
      {"ntsc", Kind::kNtsc},   {"Ntsc", Kind::kNtsc},         {"NTSC", Kind::kNtsc},
      {"./pal", std::nullopt}, {"pal.colours", std::nullopt}, {"pa", std::nullopt},
      {"", std::nullopt},      {"ntsc ", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(BuiltInPaletteByName(c.name), c.kind) << c.name;
}

TEST(BuiltInPaletteTest, GreyHueRisingLuminanceAndEvenHueSteps) {
  for (const BuiltInPaletteName& row : kBuiltInPaletteNames) {
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(BuiltInPaletteByName(row.Name), row.Value);
    const AtariPalette palette = BuiltInPalette(row.Value);
    EXPECT_EQ(palette[0x00], kBlack);
    EXPECT_EQ(palette[0x0F], kWhite);
    for (int l = 0; l < 16; ++l) {
      EXPECT_TRUE(palette[l].R == palette[l].G && palette[l].G == palette[l].B) << l;
    }
    for (int hue = 0; hue < 16; ++hue) {
      for (int l = 1; l < 16; ++l) {
        EXPECT_GT(Luma(palette[hue * 16 + l]), Luma(palette[hue * 16 + l - 1]) + 8)
            << "hue " << hue << " luminance " << l;
      }
      if (hue == 0) continue;
      // Mid luminances carry real colour.
      const Rgb mid = palette[hue * 16 + 8];
      EXPECT_GT(std::max({mid.R, mid.G, mid.B}) - std::min({mid.R, mid.G, mid.B}), 60) << hue;
    }
    const double step = FormulaOf(row.Value).HueStepDegrees;
    for (int hue = 2; hue < 16; ++hue) {
      for (int l : {4, 8, 12}) {
        EXPECT_NEAR(
            TurnBack(HueAngle(palette[(hue - 1) * 16 + l]), HueAngle(palette[hue * 16 + l])), step,
            2.0)
            << "hue " << hue << " luminance " << l;
      }
    }
  }
  EXPECT_EQ(BuiltInPaletteByName("PAL.colours"), std::nullopt);
}

TEST(BuiltInPaletteTest, HueFifteenMeetsHueOneOnNtscButNotOnPal) {
  const AtariPalette pal = BuiltInPalette(BuiltInPaletteKind::kPal);
  const AtariPalette ntsc = BuiltInPalette(BuiltInPaletteKind::kNtsc);
  EXPECT_NEAR(TurnBack(HueAngle(pal[0xF8]), HueAngle(pal[0x18])), 24.0, 2.0);
  const double gap = TurnBack(HueAngle(ntsc[0xF8]), HueAngle(ntsc[0x18]));
  EXPECT_TRUE(gap < 2.0 || gap > 358.0) << gap;
}

Bytes Ramp(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return bytes;
}

TEST(ReadPaletteFileTest, TakesTriplesWithOrWithoutTheFourByteTrailer) {
  for (size_t size : {768u, 772u}) {
    MemoryFileSystem fs;
    fs.files["p-palette"] = Ramp(size);
    const AtariPalette palette = ReadPaletteFile(fs, "p-palette");
    for (size_t i = 0; i < 256; ++i) {
      const Bytes& b = fs.files["p-palette"];
      ASSERT_EQ(palette[i], (Rgb{b[3 * i], b[3 * i + 1], b[3 * i + 2]})) << size << " " << i;
    }
  }
}

TEST(ReadPaletteFileTest, RefusesWhatIsNoPaletteNamingTheFileAndWhy) {
  struct Case {
    const char* what;
    std::function<void(MemoryFileSystem&)> setup;
    const char* reason;
  };
  const Case cases[] = {
      {"missing", [](MemoryFileSystem&) {}, "palette file p-palette: File not found"},
      {"unreadable",
       [](MemoryFileSystem& fs) {
         fs.files["p-palette"] = Ramp(768);
         fs.fail_open["p-palette"] = "File access denied";
       },
       "palette file p-palette: File access denied"},
      {"a directory", [](MemoryFileSystem& fs) { fs.directories.insert("p-palette"); },
       "palette file p-palette: is a directory"},
      {"empty", [](MemoryFileSystem& fs) { fs.files["p-palette"] = {}; },
       "palette file p-palette: 0 bytes; a palette file is 768 bytes (256 RGB triples) or 772"},
      {"one byte", [](MemoryFileSystem& fs) { fs.files["p-palette"] = Ramp(1); },
       "palette file p-palette: 1 byte; a palette file is 768 bytes (256 RGB triples) or 772"},
      {"a byte short", [](MemoryFileSystem& fs) { fs.files["p-palette"] = Ramp(767); },
       "palette file p-palette: 767 bytes; a palette file is 768 bytes (256 RGB triples) or 772"},
      {"between", [](MemoryFileSystem& fs) { fs.files["p-palette"] = Ramp(769); },
       "palette file p-palette: 769 bytes; a palette file is 768 bytes (256 RGB triples) or 772"},
      {"a picture", [](MemoryFileSystem& fs) { fs.files["p-palette"] = Ramp(7680); },
       "palette file p-palette: 7680 bytes; a palette file is 768 bytes (256 RGB triples) or 772"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem fs;
    c.setup(fs);
    try {
      ReadPaletteFile(fs, "p-palette");
      ADD_FAILURE() << "accepted";
    } catch (const PaletteError& error) {
      EXPECT_EQ(error.Reason(), c.reason);
      EXPECT_EQ(error.Path(), "p-palette");
      EXPECT_EQ(error.Kind(), ErrorKind::kPalette);
    }
  }
}

}  // namespace
}  // namespace qdp::view
