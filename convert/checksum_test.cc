#include "convert/checksum.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "convert/test_picture.h"

namespace qdp {
namespace {

using testing::MakeWorkspace;
using testing::PutCell;
using testing::RowsPattern;

TEST(ChecksumTest, KnownCellValues) {
  struct Case {
    std::array<uint8_t, 8> rows;
    uint32_t expected;
  } cases[] = {
      {{0, 0, 0, 0, 0, 0, 0, 0}, 0x9ADD2096u},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0xDEBB20E3u},
      {{0, 1, 2, 3, 4, 5, 6, 7}, 0x77559760u},
  };
  auto ws = MakeWorkspace(40);
  for (const Case& c : cases) {
    PutCell(*ws, 3, 7, RowsPattern(c.rows));
    EXPECT_EQ(CellChecksum(*ws, 3 * 40 + 7), c.expected);
  }
}

TEST(ChecksumTest, RowOrderMatters) {
  auto ws = MakeWorkspace(32);
  PutCell(*ws, 0, 0, RowsPattern({7, 6, 5, 4, 3, 2, 1, 0}));
  EXPECT_NE(CellChecksum(*ws, 0), 0x77559760u);
}

TEST(ChecksumTest, IsTheComplementOfTheStandardCrc) {
  auto ws = MakeWorkspace(48);
  std::mt19937 rng(7);
  for (int n = 0; n < 50; ++n) {
    std::array<uint8_t, 8> rows;
    for (auto& r : rows) r = static_cast<uint8_t>(rng());
    EXPECT_EQ(BytesChecksum(*ws, rows.data(), 8), ~static_cast<uint32_t>(crc32(0, rows.data(), 8)));
  }
}

TEST(ChecksumTest, CellAndFontCharacterAgreeWherever) {
  for (int width : {32, 40, 48}) {
    auto ws = MakeWorkspace(width);
    const std::array<uint8_t, 8> rows{0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81};
    PutCell(*ws, 29, width - 1, RowsPattern(rows));
    std::copy(rows.begin(), rows.end(), ws->FontBank.begin() + 127 * 1024 + 127 * 8);
    EXPECT_EQ(CellChecksum(*ws, 30 * width - 1), FontCharChecksum(*ws, 127, 127)) << width;
  }
}

TEST(ChecksumTest, ComplementedCharacterMatchesComplementedCell) {
  auto ws = MakeWorkspace(40);
  EXPECT_EQ(ComplementedCharChecksum(*ws, 0, 0), 0xDEBB20E3u);
  std::mt19937_64 rng(11);
  for (int n = 0; n < 50; ++n) {
    uint64_t pattern = rng();
    StoreChar(*ws, 2, 9, pattern);
    PutCell(*ws, 1, 1, ~pattern);
    uint32_t cell = CellChecksum(*ws, 41);
    EXPECT_EQ(ComplementedCharChecksum(*ws, 2, 9), cell);
  }
}

TEST(ChecksumTest, BlockFeedsLeftColumnThenRight) {
  auto ws = MakeWorkspace(48);
  std::array<uint8_t, 32> expected;
  for (int k = 0; k < 16; ++k) {
    int row = (2 * 16 + k) * kRowStride + 2 * 5;
    ws->Bitmap[row] = expected[k] = static_cast<uint8_t>(k * 3 + 1);
    ws->Bitmap[row + 1] = expected[16 + k] = static_cast<uint8_t>(200 - k);
  }
  EXPECT_EQ(BlockChecksum(*ws, 2, 5), BytesChecksum(*ws, expected.data(), 32));
}

}  // namespace
}  // namespace qdp
