#include "examples/demo_picture.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "examples/demo_font.h"

namespace qdp::demo {
namespace {

constexpr int kColumns = 40;
constexpr int kLines = 30;
constexpr int kScanlines = kLines * 8;

// The line modes, as the project's per-line table holds them.
constexpr uint8_t kHiRes = 1;
constexpr uint8_t kFourColour = 2;
constexpr uint8_t kGtia = 4;
constexpr uint8_t kBlank = 255;

// Where each part of the picture lies, in character lines.
constexpr int kTitleLine = 1;
constexpr int kFirstSceneLine = 3;
constexpr int kLastSceneLine = 20;
constexpr int kFirstGtiaLine = 22;
constexpr int kLastGtiaLine = 25;
constexpr int kFooterLines[] = {27, 28};

// The scene: 160 pixels of 2 bits (4 a cell) by 144 scanlines, with the
// horizon 96 scanlines down.
constexpr int kSceneWidth = kColumns * 4;
constexpr int kSceneHeight = (kLastSceneLine - kFirstSceneLine + 1) * 8;
constexpr int kHorizon = 96;
constexpr int kSceneTop = kFirstSceneLine * 8;  // its first scanline
// The GTIA band: 80 pixels of 4 bits (2 a cell) by 32 scanlines.
constexpr int kBandWidth = kColumns * 2;
constexpr int kBandHeight = (kLastGtiaLine - kFirstGtiaLine + 1) * 8;
constexpr int kBandTop = kFirstGtiaLine * 8;

// What a scene pixel shows: the four-colour values 0 to 3 (BAK, PF0, PF1,
// and PF2, or PF3 in an inverse cell).
enum Pixel : uint8_t { kSkyOrSea = 0, kMountainOrHull = 1, kSunOrGlitter = 2, kCloudOrSail = 3 };

// Header byte 1: conversion bits 0x40 (shared characters) with character
// mode 2, so that an inverse cell keeps its code through the rebuild.
constexpr uint8_t kModeByte = 0x40 | 2;

using Scene = std::array<std::array<uint8_t, kSceneWidth>, kSceneHeight>;

// A fixed pseudo-random value for each pixel, so that the waves are the
// same on every run and every machine.
uint32_t Scatter(int x, int y) {
  uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  return h ^ (h >> 15);
}

bool InBoat(int x, int y) {
  // A sail between scanlines 100 and 124 of the scene, a hull below it.
  const bool sail = y >= 100 && y <= 124 && x >= 36 && x <= 36 + (y - 100) * 18 / 24;
  const bool mast = x == 35 && y >= 98 && y <= 125;
  const bool hull = y >= 125 && y <= 130 && x >= 24 + (y - 125) && x <= 60 - (y - 125);
  return sail || mast || hull;
}

Pixel BoatPixel(int x, int y) { return y >= 125 || x == 35 ? kMountainOrHull : kCloudOrSail; }

void DrawScene(Scene& scene, std::array<std::array<bool, kColumns>, kLines>& inverse) {
  for (int y = 0; y < kSceneHeight; ++y) {
    for (int x = 0; x < kSceneWidth; ++x) {
      uint8_t p = kSkyOrSea;
      if (y < kHorizon) {
        // Clouds: flat ellipses high in the sky.
        for (auto [cx, cy, rx] : {std::array{30, 14, 22}, {96, 26, 30}, {140, 10, 16}}) {
          const double dx = (x - cx) / static_cast<double>(rx);
          const double dy = (y - cy) / 4.0;
          if (dx * dx + dy * dy <= 1.0) p = kCloudOrSail;
        }
        // The sun, low over the sea.
        if ((x - 112) * (x - 112) * 4 + (y - 78) * (y - 78) <= 22 * 22) p = kSunOrGlitter;
        // Hills in front of it, low where it sets.
        const double dip = (x - 112) / 26.0;
        const double ridge = kHorizon - 16 - 9 * std::sin(x / 11.0) - 5 * std::sin(x / 4.7 + 1.0) +
                             16 * std::exp(-dip * dip);
        if (y >= static_cast<int>(std::lround(ridge))) p = kMountainOrHull;
      } else {
        const int depth = y - kHorizon;
        // The sun's glitter, narrowing away from the horizon.
        const int half = 20 - depth / 3;
        if (half > 0 && std::abs(x - 112) <= half && depth % 3 != 2 && Scatter(x / 3, y) % 4 != 0) {
          p = kSunOrGlitter;
        }
        // Short wave crests.
        if (p == kSkyOrSea && Scatter(x / 5, y) % 23 == 0) p = kCloudOrSail;
        if (InBoat(x, y)) p = BoatPixel(x, y);
      }
      scene[y][x] = p;
    }
  }
  // The boat's cells are inverse, so that its sail shows PF3; waves there
  // would too, so those cells hold only the boat and the sea.
  for (int y = 0; y < kSceneHeight; ++y) {
    for (int column = 0; column < kColumns; ++column) {
      bool boat = false;
      for (int b = 0; b < 4; ++b) boat = boat || InBoat(column * 4 + b, y);
      if (!boat) continue;
      inverse[kFirstSceneLine + y / 8][column] = true;
    }
  }
  for (int y = 0; y < kSceneHeight; ++y) {
    for (int x = 0; x < kSceneWidth; ++x) {
      if (inverse[kFirstSceneLine + y / 8][x / 4] && !InBoat(x, y)) scene[y][x] = kSkyOrSea;
    }
  }
}

// The GTIA band's pixels, 0 to 15: a plasma of crossing waves.
uint8_t BandNibble(int x, int y) {
  const double v = std::sin(x / 7.0) + std::sin(y / 5.0) + std::sin((x + 2 * y) / 11.0) +
                   std::sin(std::hypot(x - 40, 2 * (y - 16)) / 6.0);
  const long n = std::lround((v + 4.0) * 15.0 / 8.0);
  return static_cast<uint8_t>(n < 0 ? 0 : n > 15 ? 15 : n);
}

void PutText(testing::ProjectContent& content, int line, int column, std::string_view text,
             bool inverse) {
  for (char c : text) {
    content.SetCell(line, column++, static_cast<uint8_t>(TextCode(c) | (inverse ? 0x80 : 0)));
  }
}

void PutCentred(testing::ProjectContent& content, int line, std::string_view text) {
  PutText(content, line, (kColumns - static_cast<int>(text.size())) / 2, text, false);
}

// The colour registers of every scanline: BAK, PF0, PF1, PF2, PF3.
using Registers = std::array<uint8_t, 5>;

Registers SceneColours(int y) {
  if (y < kHorizon) {
    // A sunset sky: deep blue at the top through purple and red to gold.
    constexpr uint8_t kSky[16] = {0x70, 0x72, 0x72, 0x74, 0x62, 0x64, 0x54, 0x56,
                                  0x46, 0x48, 0x36, 0x38, 0x28, 0x2A, 0x1A, 0x1C};
    const uint8_t mountain = static_cast<uint8_t>(0x50 | (y < 70 ? 4 : y < 84 ? 2 : 0));
    const uint8_t sun = y < 66 ? 0x1E : y < 74 ? 0x1C : y < 82 ? 0x2C : 0x2A;
    const uint8_t cloud = static_cast<uint8_t>(0x40 | (0x0C - (y / 8) * 2));
    return {kSky[y / 6], mountain, sun, cloud, 0x0E};
  }
  const int depth = y - kHorizon;
  // The sea darkens towards the viewer; the glitter shimmers line by
  // line; the sail is striped red and white.
  constexpr uint8_t kSea[6] = {0x86, 0x84, 0x84, 0x82, 0x82, 0x80};
  return {kSea[depth / 8], 0xF2, static_cast<uint8_t>(depth % 2 ? 0x2C : 0x1A), 0x88,
          static_cast<uint8_t>((depth / 3) % 2 ? 0x0E : 0x34)};
}

void SetColours(testing::ProjectContent& content) {
  content.player_colours.assign(1024, 0);
  for (int y = 0; y < kScanlines; ++y) {
    const int line = y / 8;
    const int row = y % 8;
    Registers r{};  // blank lines: black
    if (line == kTitleLine) {
      // PF2 is the title bar, lit in the middle; PF1 gives the letters
      // their luminance.
      constexpr uint8_t kBar[8] = {0x92, 0x94, 0x96, 0x98, 0x98, 0x96, 0x94, 0x92};
      r = {0x00, 0x00, 0x0E, kBar[row], 0x00};
    } else if (line == kFooterLines[0] || line == kFooterLines[1]) {
      r = {0x00, 0x00, 0x0C, static_cast<uint8_t>(0x30 | (line == kFooterLines[0] ? 2 : 0)), 0x00};
      r[3] = static_cast<uint8_t>(r[3] + (row < 4 ? row : 7 - row) * 2);
    } else if (line >= kFirstSceneLine && line <= kLastSceneLine) {
      r = SceneColours(y - kSceneTop);
    } else if (line >= kFirstGtiaLine && line <= kLastGtiaLine) {
      // Mode 9 shows 16 luminances of the background's hue: let the hue
      // turn every two scanlines. Modes 10 and 11 use the rest.
      const int band_y = y - kBandTop;
      r = {static_cast<uint8_t>((1 + (band_y / 2) % 15) << 4), 0x46, 0x88, 0xC8, 0x1C};
      for (int p = 0; p < 4; ++p) {
        content.player_colours[p * 256 + y] =
            static_cast<uint8_t>(((4 * p + 2) << 4) | (2 + (band_y / 4) * 2 % 12));
      }
    }
    for (int t = 0; t < 5; ++t) content.colours[t * 256 + y] = r[t];
  }
}

}  // namespace

testing::ProjectContent DemoProject() {
  const std::array<Glyph, 128> font = DemoFont();
  constexpr int kSceneFonts = kLastSceneLine - kFirstSceneLine + 1;
  constexpr int kBandFonts = kLastGtiaLine - kFirstGtiaLine + 1;

  testing::ProjectContent content;
  content.width_byte = kColumns;
  content.mode_byte = kModeByte;
  content.fonts_byte = kSceneFonts + kBandFonts;  // fonts - 1: the text font, then one a line
  for (int c = 0; c < 128; ++c) content.SetGlyph(0, c, font[c]);
  for (int line = 0; line < kLines; ++line) {
    content.line_mode_table[line] = kBlank;
    for (int column = 0; column < kColumns; ++column) content.SetCell(line, column, TextCode(' '));
  }

  // Hi-res text in font 0.
  content.line_mode_table[kTitleLine] = kHiRes;
  PutText(content, kTitleLine, 4, " QDPEXT ", true);
  PutText(content, kTitleLine, 12, " ATARI CHARACTER PICTURE", false);
  content.line_mode_table[kFooterLines[0]] = kHiRes;
  PutCentred(content, kFooterLines[0], "HI-RES, FOUR-COLOUR, GTIA, BLANK LINES");
  content.line_mode_table[kFooterLines[1]] = kHiRes;
  PutCentred(content, kFooterLines[1], "COLOURS CHANGE ON EVERY SCANLINE");

  // The scene, a font per line whose character k is the cell in column k.
  Scene scene{};
  std::array<std::array<bool, kColumns>, kLines> inverse{};
  DrawScene(scene, inverse);
  for (int line = kFirstSceneLine; line <= kLastSceneLine; ++line) {
    const int f = 1 + line - kFirstSceneLine;
    content.line_mode_table[line] = kFourColour;
    content.line_fonts[line] = static_cast<uint8_t>(f);
    for (int column = 0; column < kColumns; ++column) {
      Glyph rows{};
      for (int k = 0; k < 8; ++k) {
        for (int p = 0; p < 4; ++p) {
          const int value = scene[(line - kFirstSceneLine) * 8 + k][column * 4 + p];
          rows[k] = static_cast<uint8_t>(rows[k] | value << (6 - 2 * p));
        }
      }
      content.SetGlyph(f, column, rows);
      content.SetCell(line, column,
                      static_cast<uint8_t>(column | (inverse[line][column] ? 0x80 : 0)));
    }
  }

  // The GTIA band, likewise.
  for (int line = kFirstGtiaLine; line <= kLastGtiaLine; ++line) {
    const int f = 1 + kSceneFonts + line - kFirstGtiaLine;
    content.line_mode_table[line] = kGtia;
    content.line_fonts[line] = static_cast<uint8_t>(f);
    for (int column = 0; column < kColumns; ++column) {
      Glyph rows{};
      for (int k = 0; k < 8; ++k) {
        const int y = (line - kFirstGtiaLine) * 8 + k;
        rows[k] =
            static_cast<uint8_t>(BandNibble(2 * column, y) << 4 | BandNibble(2 * column + 1, y));
      }
      content.SetGlyph(f, column, rows);
      content.SetCell(line, column, static_cast<uint8_t>(column));
    }
  }
  static_assert(kSceneHeight == 144 && kBandWidth == 80 && kBandHeight == 32);

  SetColours(content);
  return content;
}

}  // namespace qdp::demo
