// Test helpers for the conversion units: workspaces set up the way the
// project reader leaves them, cells written straight into the bitmap, and
// different patterns that share the hash their indexes are keyed by.
#ifndef QDPEXT_CONVERT_TEST_PICTURE_H_
#define QDPEXT_CONVERT_TEST_PICTURE_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "convert/pattern.h"
#include "workspace/workspace.h"

namespace qdp::testing {

inline std::unique_ptr<Workspace> MakeWorkspace(int width, int character_mode = 1) {
  auto ws = std::make_unique<Workspace>();
  ws->LineWidth = static_cast<uint8_t>(width);
  ws->CharacterMode = static_cast<uint8_t>(character_mode);
  ws->CharsPerFontLimit = kHighestCharsPerFontLimit;
  return ws;
}

inline void SetMode(Workspace& ws, ConversionKind kind) {
  ws.Conversion = {kind, ConversionSource::kHeaderBits};
}

inline void PutCell(Workspace& ws, int line, int column, uint64_t pattern) {
  uint8_t rows[8];
  std::memcpy(rows, &pattern, 8);
  for (int k = 0; k < 8; ++k) ws.Bitmap[(line * 8 + k) * kRowStride + column] = rows[k];
}

inline uint64_t RowsPattern(const std::array<uint8_t, 8>& rows) {
  uint64_t pattern;
  std::memcpy(&pattern, rows.data(), 8);
  return pattern;
}

// A distinct, non-blank pattern for every number.
inline uint64_t NumberedPattern(int n) {
  return RowsPattern({static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0x5A, 1, 2, 3, 4, 5});
}

inline uint8_t Code(const Workspace& ws, int line, int column) {
  return ws.Screen[RowOffset(line) + column];
}

// Draws the converted picture back from fonts, codes and line fonts,
// complementing cells whose code has bit 7 set when the character mode
// shows inverse, and compares it with the bitmap.
inline bool RedrawsBitmap(const Workspace& ws) {
  for (int line = 0; line < kScreenLines; ++line) {
    for (int x = 0; x < ws.LineWidth; ++x) {
      uint8_t code = Code(ws, line, x);
      uint64_t drawn = CharPattern(ws, ws.LineFontTable[line], code & kCharNumberMask);
      if ((code & kInverseBit) && ws.CharacterMode != 2) drawn = ~drawn;
      if (drawn != CellPattern(ws, line, x)) return false;
    }
  }
  return true;
}

// Puts `code` at screen offset `p` as the reader does: bit 7 also marks
// the cell for inverse drawing.
inline void SetCode(Workspace& ws, int p, uint8_t code) {
  ws.Screen[p] = code;
  ws.InverseMarks[p] = (code & kInverseBit) != 0;
}

// A pattern other than `pattern` with the same PatternHash: the hash has
// 24 bits, so a walk of a few million neighbours finds one.
inline uint64_t PatternHashTwin(uint64_t pattern) {
  const uint32_t hash = PatternHash(pattern);
  for (uint64_t step = 1;; ++step) {
    if (PatternHash(pattern + step) == hash) return pattern + step;
  }
}

// The same for a 16 x 16 block and BlockHash; only its last 8 bytes change.
inline std::array<uint8_t, 32> BlockHashTwin(const std::array<uint8_t, 32>& block) {
  const uint32_t hash = BlockHash(block);
  uint64_t last;
  std::memcpy(&last, block.data() + 24, sizeof last);
  std::array<uint8_t, 32> twin = block;
  for (uint64_t step = 1;; ++step) {
    uint64_t changed = last + step;
    std::memcpy(twin.data() + 24, &changed, sizeof changed);
    if (BlockHash(twin) == hash) return twin;
  }
}

}  // namespace qdp::testing

#endif  // QDPEXT_CONVERT_TEST_PICTURE_H_
