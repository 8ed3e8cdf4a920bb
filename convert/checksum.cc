#include "convert/checksum.h"

#include "convert/pattern.h"

namespace qdp {

uint32_t BytesChecksum(const Workspace& ws, const uint8_t* bytes, int count) {
  uint32_t reg = kChecksumStart;
  for (int k = 0; k < count; ++k) reg = Crc32Update(ws, reg, bytes[k]);
  return reg;
}

uint32_t CellChecksum(const Workspace& ws, uint32_t cell_index) {
  int line = static_cast<int>(cell_index / ws.LineWidth);
  int column = static_cast<int>(cell_index % ws.LineWidth);
  return PatternChecksum(ws, CellPattern(ws, line, column));
}

uint32_t FontCharChecksum(const Workspace& ws, int font, int ch) {
  return BytesChecksum(ws, &ws.FontBank[CharOffset(font, ch)], kCharBytes);
}

uint32_t ComplementedCharChecksum(const Workspace& ws, int font, int ch) {
  uint32_t reg = kChecksumStart;
  for (int k = 0; k < kCharBytes; ++k) {
    reg = Crc32Update(ws, reg, static_cast<uint8_t>(ws.FontBank[CharOffset(font, ch) + k] ^ 0xFF));
  }
  return reg;
}

uint32_t BlockChecksum(const Workspace& ws, int row, int column) {
  std::array<uint8_t, 32> bytes;
  GatherBlock(ws, row, column, bytes);
  return BytesChecksum(ws, bytes.data(), 32);
}

}  // namespace qdp
