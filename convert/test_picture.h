// Test helpers for the conversion units: workspaces set up the way the
// project reader leaves them, cells written straight into the bitmap, and
// pairs of different patterns that share a checksum.
#ifndef QDPEXT_CONVERT_TEST_PICTURE_H_
#define QDPEXT_CONVERT_TEST_PICTURE_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "convert/checksum.h"
#include "convert/pattern.h"
#include "workspace/workspace.h"

namespace qdp::testing {

inline std::unique_ptr<Workspace> MakeWorkspace(int width, int character_mode = 1) {
  auto ws = std::make_unique<Workspace>();
  BuildTables(*ws);
  ws->LineWidth = static_cast<uint8_t>(width);
  ws->CharacterMode = static_cast<uint8_t>(character_mode);
  ws->CharsPerFontLimit = 127;
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
  return ws.ScreenPages[0][line * kRowStride + column];
}

// Draws the converted picture back from fonts, codes and line fonts,
// complementing cells whose code has bit 7 set when the character mode
// shows inverse, and compares it with the bitmap.
inline bool RedrawsBitmap(const Workspace& ws) {
  for (int line = 0; line < kScreenLines; ++line) {
    for (int x = 0; x < ws.LineWidth; ++x) {
      uint8_t code = Code(ws, line, x);
      uint64_t drawn = CharPattern(ws, ws.LineFontTable[line], code & 0x7F);
      if ((code & 0x80) && ws.CharacterMode != 2) drawn = ~drawn;
      if (drawn != CellPattern(ws, line, x)) return false;
    }
  }
  return true;
}

// A non-zero difference of `length` bytes, touching only bytes `first` to
// `first` + 7, that leaves the checksum of any `length` bytes unchanged.
// The register is affine in the bytes, so such a difference is a
// dependency among the effects of the 64 single-bit flips on the 32-bit
// register, found here by elimination.
inline std::vector<uint8_t> ChecksumTwinDelta(const Workspace& ws, int length, int first) {
  std::vector<uint8_t> zero(length, 0);
  uint32_t base = BytesChecksum(ws, zero.data(), length);
  std::array<uint32_t, 32> basis{};
  std::array<uint64_t, 32> basis_combo{};
  for (int bit = 0; bit < 64; ++bit) {
    std::vector<uint8_t> flip(length, 0);
    flip[first + bit / 8] = static_cast<uint8_t>(1 << (bit % 8));
    uint32_t v = BytesChecksum(ws, flip.data(), length) ^ base;
    uint64_t combo = uint64_t{1} << bit;
    for (int b = 31; b >= 0 && v != 0; --b) {
      if (!(v >> b & 1)) continue;
      if (basis[b] == 0) {
        basis[b] = v;
        basis_combo[b] = combo;
        v = 0;
        combo = 0;
        break;
      }
      v ^= basis[b];
      combo ^= basis_combo[b];
    }
    if (combo != 0) {
      std::vector<uint8_t> delta(length, 0);
      for (int k = 0; k < 8; ++k) delta[first + k] = static_cast<uint8_t>(combo >> (8 * k));
      return delta;
    }
  }
  return {};
}

}  // namespace qdp::testing

#endif  // QDPEXT_CONVERT_TEST_PICTURE_H_
