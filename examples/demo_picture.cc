#include "examples/demo_picture.h"

#include <array>
#include <cmath>
#include <string_view>

#include "examples/demo_font.h"

namespace qdp::demo {
namespace {

constexpr int kColumns = 40;
constexpr int kLines = 30;
constexpr int kWidthPx = kColumns * 8;
constexpr int kHeightPx = kLines * 8;
// Character lines drawn as free pixels; each gets a font of its own whose
// character x holds the cell in column x, as a paint program would store
// them before conversion.
constexpr int kFirstShapeLine = 4;
constexpr int kLastShapeLine = 23;
// Conversion bits 0x40 (shared characters, inverse matching, line reuse)
// with character mode 1 (bit 7 of a code draws the cell inverse).
constexpr uint8_t kModeByte = 0x40 | 1;

class Canvas {
 public:
  void Set(int x, int y) {
    if (x >= 0 && x < kWidthPx && y >= 0 && y < kHeightPx) pixels_[y][x] = true;
  }
  Glyph Cell(int line, int column) const {
    Glyph rows{};
    for (int k = 0; k < 8; ++k) {
      for (int b = 0; b < 8; ++b) {
        if (pixels_[line * 8 + k][column * 8 + b]) rows[k] |= static_cast<uint8_t>(0x80 >> b);
      }
    }
    return rows;
  }
  void DrawGlyph(int line, int column, const Glyph& glyph) {
    for (int k = 0; k < 8; ++k) {
      for (int b = 0; b < 8; ++b) {
        if (glyph[k] & (0x80 >> b)) Set(column * 8 + b, line * 8 + k);
      }
    }
  }

 private:
  std::array<std::array<bool, kWidthPx>, kHeightPx> pixels_{};
};

void DrawShapes(Canvas& canvas) {
  // A ring.
  const int cx = 68, cy = 112;
  for (int y = cy - 46; y <= cy + 46; ++y) {
    for (int x = cx - 46; x <= cx + 46; ++x) {
      int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      if (d2 < 1980 && d2 >= 1406) canvas.Set(x, y);  // radii 37.5 to 44.5
    }
  }
  // A solid triangle standing on its base.
  for (int y = 56; y <= 176; ++y) {
    int half = (y - 56) * 44 / 120;
    for (int x = 164 - half; x <= 164 + half; ++x) canvas.Set(x, y);
  }
  // A framed checkerboard of 4-pixel squares: the same few cells again and
  // again, which the conversion stores once.
  for (int y = 44; y <= 116; ++y) {
    for (int x = 224; x <= 304; ++x) {
      bool border = y == 44 || y == 116 || x == 224 || x == 304;
      bool square = y > 46 && y < 114 && x > 226 && x < 302 && ((x / 4 + y / 4) % 2 == 0);
      if (border || square) canvas.Set(x, y);
    }
  }
  // A sine wave under the checkerboard.
  for (int x = 224; x <= 304; ++x) {
    int y = 154 + static_cast<int>(std::lround(18 * std::sin((x - 224) * 3.14159265 / 20)));
    canvas.Set(x, y);
    canvas.Set(x, y + 1);
  }
}

void PutText(testing::ProjectContent& content, int line, std::string_view text, bool inverse) {
  int column = (kColumns - static_cast<int>(text.size())) / 2;
  for (char c : text) {
    content.SetCell(line, column++, static_cast<uint8_t>(TextCode(c) | (inverse ? 0x80 : 0)));
  }
}

}  // namespace

testing::ProjectContent DemoProject() {
  const std::array<Glyph, 128> font = DemoFont();
  const int shape_fonts = kLastShapeLine - kFirstShapeLine + 1;

  testing::ProjectContent content;
  content.width_byte = kColumns;
  content.mode_byte = kModeByte;
  content.fonts_byte = static_cast<uint8_t>(shape_fonts);  // fonts - 1: text font + shape fonts
  for (int c = 0; c < 128; ++c) content.SetGlyph(0, c, font[c]);

  // The frame and the text lines are codes of the text font.
  for (int line = 0; line < kLines; ++line) {
    for (int column = 0; column < kColumns; ++column) content.SetCell(line, column, TextCode(' '));
    content.SetCell(line, 0, kFrameVertical);
    content.SetCell(line, kColumns - 1, kFrameVertical);
  }
  for (int column = 1; column < kColumns - 1; ++column) {
    content.SetCell(0, column, kFrameHorizontal);
    content.SetCell(kLines - 1, column, kFrameHorizontal);
  }
  content.SetCell(0, 0, kFrameTopLeft);
  content.SetCell(0, kColumns - 1, kFrameTopRight);
  content.SetCell(kLines - 1, 0, kFrameBottomLeft);
  content.SetCell(kLines - 1, kColumns - 1, kFrameBottomRight);
  PutText(content, 1, " QDPEXT  CHARACTER PICTURE DEMO ", true);
  PutText(content, 3, "30 LINES OF 40 CELLS, 8 X 8 PIXELS", false);
  PutText(content, 25, "TEXT, SHAPES AND INVERSE CELLS,", false);
  PutText(content, 26, "REBUILT INTO SHARED CHARACTERS", false);
  PutText(content, 28, " QDPEXT DEMO.QDP -SMFC ", true);

  // The shape area: drawn as pixels, then stored one font per line.
  Canvas canvas;
  DrawShapes(canvas);
  for (int line = kFirstShapeLine; line <= kLastShapeLine; ++line) {
    canvas.DrawGlyph(line, 0, font[kFrameVertical]);
    canvas.DrawGlyph(line, kColumns - 1, font[kFrameVertical]);
    const int f = line - kFirstShapeLine + 1;
    content.line_fonts[line] = static_cast<uint8_t>(f);
    for (int column = 0; column < kColumns; ++column) {
      content.SetGlyph(f, column, canvas.Cell(line, column));
      content.SetCell(line, column, static_cast<uint8_t>(column));
    }
  }

  // Five colour tables, one entry per bitmap line: bands that change every
  // character line, with the title and footer lines picked out.
  for (int t = 0; t < 5; ++t) {
    for (int y = 0; y < kHeightPx; ++y) {
      int line = y / 8;
      bool highlight = line == 1 || line == 28;
      content.colours[t * 256 + y] =
          static_cast<uint8_t>(highlight ? 0x0F + t : (line * 8 + t * 48 + (y % 8)) & 0xFF);
    }
  }
  return content;
}

}  // namespace qdp::demo
