// What the import decides for one character line, and the source picture
// as the deciding steps read it.
#ifndef QDPEXT_IMPORT_LINE_PLAN_H_
#define QDPEXT_IMPORT_LINE_PLAN_H_

#include <array>
#include <cstdint>
#include <vector>

#include "import/oklab.h"
#include "import/registers.h"
#include "workspace/workspace.h"

namespace qdp::import {

// A glyph: its 8 rows, row k in bits 8k to 8k + 7.
using Glyph = uint64_t;
inline uint8_t GlyphRow(Glyph g, int row) { return static_cast<uint8_t>(g >> (8 * row)); }

struct LinePlan {
  LineMode Mode = LineMode::kBlank;
  std::array<Registers, kCharBytes> Regs{};  // of each scanline of the line
  std::array<Glyph, kRowStride> Glyphs{};    // of each cell
  std::array<bool, kRowStride> Inverse{};    // four-colour cells showing PF3 for PF2
  bool Exact = false;                        // draws the source exactly
};

// The source at hi-res pixels, in OKLab and as colour bytes where a pixel
// is exactly a palette colour (-1 where not).
struct SourceLab {
  int Width = 0;  // hi-res pixels
  int Cells = 0;
  std::vector<Lab> Pixels;
  std::vector<int16_t> Index;
  const Lab* Row(int y) const { return Pixels.data() + static_cast<size_t>(y) * Width; }
  const int16_t* IndexRow(int y) const { return Index.data() + static_cast<size_t>(y) * Width; }
};

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_LINE_PLAN_H_
