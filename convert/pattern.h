// Moving 8 x 8 and 16 x 16 pixel patterns between the bitmap, the font bank
// and the 64-bit form the reconstruction compares and indexes them in.
#ifndef QDPEXT_CONVERT_PATTERN_H_
#define QDPEXT_CONVERT_PATTERN_H_

#include <array>
#include <cstdint>
#include <cstring>

#include "workspace/workspace.h"

namespace qdp {

inline int CharOffset(int font, int ch) { return font * kFontBytes + ch * kCharBytes; }

// Bitmap offset of the top byte of cell (line, column).
constexpr int CellOffset(int line, int column) { return RowOffset(line * kCharBytes) + column; }

// The cell's 8 rows, top row first, as one value; memcpy keeps the byte
// order the same as a character read straight out of the font bank.
inline uint64_t CellPattern(const Workspace& ws, int line, int column) {
  const uint8_t* top = &ws.Bitmap[CellOffset(line, column)];
  uint8_t rows[kCharBytes];
  for (int k = 0; k < kCharBytes; ++k) rows[k] = top[k * kRowStride];
  uint64_t pattern;
  std::memcpy(&pattern, rows, sizeof pattern);
  return pattern;
}

inline uint64_t CharPattern(const Workspace& ws, int font, int ch) {
  uint64_t pattern;
  std::memcpy(&pattern, &ws.FontBank[CharOffset(font, ch)], sizeof pattern);
  return pattern;
}

inline void StoreChar(Workspace& ws, int font, int ch, uint64_t pattern) {
  std::memcpy(&ws.FontBank[CharOffset(font, ch)], &pattern, sizeof pattern);
}

// Spreads patterns over index slots; only a pattern's bytes decide whether
// two patterns are the same.
inline uint32_t PatternHash(uint64_t pattern) {
  return static_cast<uint32_t>((pattern * 0x9E3779B97F4A7C15u) >> 40);
}

// Spreads 16 x 16 blocks over index slots; only the bytes decide whether
// two blocks are the same.
inline uint32_t BlockHash(const std::array<uint8_t, 32>& bytes) {
  uint64_t words[4];
  std::memcpy(words, bytes.data(), sizeof words);
  uint64_t h = words[0];
  for (int w = 1; w < 4; ++w) h = (h ^ (h >> 31)) * 0x9E3779B97F4A7C15u + words[w];
  return static_cast<uint32_t>((h * 0x9E3779B97F4A7C15u) >> 40);
}

// The 32 bytes of a 16 x 16 block: left byte column top to bottom, then
// the right one.
inline void GatherBlock(const Workspace& ws, int row, int column, std::array<uint8_t, 32>& out) {
  int top = RowOffset(row * 16) + 2 * column;
  for (int k = 0; k < 16; ++k) {
    out[k] = ws.Bitmap[top + k * kRowStride];
    out[16 + k] = ws.Bitmap[top + 1 + k * kRowStride];
  }
}

}  // namespace qdp

#endif  // QDPEXT_CONVERT_PATTERN_H_
