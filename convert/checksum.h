// The 32-bit checksums that identify 8 x 8 and 16 x 16 pixel patterns: the
// CRC-32 register (reflected table, start 0xFFFFFFFF, no final inversion)
// fed with a pattern's bytes in a fixed order. A cell of the bitmap and a
// font character holding the same rows top to bottom get the same value.
#ifndef QDPEXT_CONVERT_CHECKSUM_H_
#define QDPEXT_CONVERT_CHECKSUM_H_

#include <cstdint>

#include "workspace/workspace.h"

namespace qdp {

inline constexpr uint32_t kChecksumStart = 0xFFFFFFFFu;

// One byte step of the register.
inline uint32_t Crc32Update(const Workspace& ws, uint32_t reg, uint8_t byte) {
  return (reg >> 8) ^ ws.Crc32Table[(reg ^ byte) & 0xFF];
}

// The checksum of `count` bytes, first byte fed first.
uint32_t BytesChecksum(const Workspace& ws, const uint8_t* bytes, int count);

// Bitmap cell number `cell_index`, numbered line by line over LineWidth
// cells; its rows top first.
uint32_t CellChecksum(const Workspace& ws, uint32_t cell_index);

// Character `ch` of font `font`, top row first; the complemented variant
// feeds every byte XOR 0xFF.
uint32_t FontCharChecksum(const Workspace& ws, int font, int ch);
uint32_t ComplementedCharChecksum(const Workspace& ws, int font, int ch);

// The 16 x 16 block in block row `row` and block column `column`: its left
// byte column top to bottom, then its right one.
uint32_t BlockChecksum(const Workspace& ws, int row, int column);

}  // namespace qdp

#endif  // QDPEXT_CONVERT_CHECKSUM_H_
