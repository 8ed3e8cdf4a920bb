#include "convert/block_pass.h"

#include <cstring>

#include "convert/conversion_failure.h"
#include "convert/pattern.h"

namespace qdp {
namespace {

constexpr int kBlockRows = kScreenLines / 2;
constexpr int kBlockIndexMask = ReconstructScratch::kBlockIndexSlots - 1;

// The number of the stored block holding exactly these bytes, or -1. Each
// distinct block is stored once, so this is also the earliest one.
int FindBlock(const ReconstructScratch& s, uint32_t hash, const std::array<uint8_t, 32>& bytes) {
  for (uint32_t slot = hash & kBlockIndexMask;; slot = (slot + 1) & kBlockIndexMask) {
    int entry = s.BlockIndex[slot];
    if (entry == 0) return -1;
    const BlockEntry& block = s.BlockTable[entry - 1];
    if (block.Hash == hash && block.Bytes == bytes) return entry - 1;
  }
}

void AddBlock(ReconstructScratch& s, int k, uint32_t hash, const std::array<uint8_t, 32>& bytes) {
  s.BlockTable[k].Hash = hash;
  s.BlockTable[k].Bytes = bytes;
  uint32_t slot = hash & kBlockIndexMask;
  while (s.BlockIndex[slot] != 0) slot = (slot + 1) & kBlockIndexMask;
  s.BlockIndex[slot] = static_cast<uint8_t>(k + 1);
}

void StoreBlockChars(Workspace& ws, int k, const std::array<uint8_t, 32>& bytes) {
  // Font 0 takes the top half of the block, font 1 the bottom half; the
  // left byte column becomes character 2k, the right one 2k + 1.
  for (int y = 0; y < kCharBytes; ++y) {
    ws.FontBank[CharOffset(0, 2 * k) + y] = bytes[y];
    ws.FontBank[CharOffset(0, 2 * k + 1) + y] = bytes[16 + y];
    ws.FontBank[CharOffset(1, 2 * k) + y] = bytes[8 + y];
    ws.FontBank[CharOffset(1, 2 * k + 1) + y] = bytes[24 + y];
  }
}

}  // namespace

void RunBlockPass(Workspace& ws) {
  ReconstructScratch& s = ws.Reconstruct;
  s.BlockCount = 0;
  s.BlockIndex.fill(0);
  const int columns = LineCells(ws) / 2;
  std::array<uint8_t, 32> bytes;
  ConversionFailureDetail overflow;
  overflow.Why = ConversionFailureDetail::Cause::kTooManyBlocks;
  overflow.Limit = kMaxBlocks;
  for (int r = 0; r < kBlockRows; ++r) {
    for (int b = 0; b < columns; ++b) {
      GatherBlock(ws, r, b, bytes);
      uint32_t hash = BlockHash(bytes);
      int k = FindBlock(s, hash, bytes);
      if (k < 0) {
        k = s.BlockCount++;
        // Past the 63rd distinct block the row is only counted: it fails
        // once complete, and the fonts have no room for it.
        if (k == kMaxBlocks) {
          overflow.Line = 2 * r;
          overflow.Column = 2 * b;
        }
        if (k >= kMaxBlocks) continue;
        AddBlock(s, k, hash, bytes);
        StoreBlockChars(ws, k, bytes);
      }
      if (k >= kMaxBlocks) continue;
      int top = RowOffset(2 * r) + 2 * b;
      int bottom = RowOffset(2 * r + 1) + 2 * b;
      auto& screen = ws.Screen;
      screen[top] = screen[bottom] = static_cast<uint8_t>(2 * k);
      screen[top + 1] = screen[bottom + 1] = static_cast<uint8_t>(2 * k + 1);
    }
    if (s.BlockCount > kMaxBlocks) throw ConversionFailed(overflow);
  }
  // Inverse bits carry over where rendering left a mark: in character
  // mode 2 those are all the loaded ones.
  for (int p = 0; p < kScreenBytes; ++p) {
    if (ws.InverseMarks[p]) ws.Screen[p] |= kInverseBit;
  }
  for (int line = 0; line < kScreenLines; ++line)
    ws.LineFontTable[line] = static_cast<uint8_t>(line & 1);
}

}  // namespace qdp
