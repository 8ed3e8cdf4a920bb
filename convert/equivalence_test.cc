// The fast conversion against a plain, literal one written here: every
// search walks the characters, slots, fonts and blocks in order and
// recomputes checksums as it goes, confirming each equal checksum by the
// bytes. Both run on many random pictures built from few patterns, so that
// sharing, complemented cells, line reuse, full fonts and start-overs all
// happen often.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "convert/conversion_failure.h"
#include "convert/reconstruct.h"
#include "convert/render.h"
#include "convert/round_trip.h"
#include "convert/test_picture.h"

namespace qdp {
namespace {

using testing::MakeWorkspace;
using testing::PutCell;

// Checksum taken independently of the program's table.
uint32_t Sum(const uint8_t* bytes, int count) {
  return ~static_cast<uint32_t>(crc32(0, bytes, count));
}

struct Literal {
  Workspace& ws;
  ConversionKind kind = ConversionKind::kNone;
  int font = 0;  // the font being filled

  std::array<uint8_t, 8> Cell(int line, int x) const {
    std::array<uint8_t, 8> rows;
    for (int k = 0; k < 8; ++k) rows[k] = ws.Bitmap[(line * 8 + k) * 48 + x];
    return rows;
  }
  std::array<uint8_t, 8> Char(int font, int n, uint8_t flip = 0) const {
    std::array<uint8_t, 8> rows;
    for (int k = 0; k < 8; ++k) rows[k] = ws.FontBank[font * 1024 + n * 8 + k] ^ flip;
    return rows;
  }
  static uint32_t Sum8(const std::array<uint8_t, 8>& rows) { return Sum(rows.data(), 8); }

  void NewFont() {
    if (font == 127) throw ConversionFailed();
    ++font;
  }

  void CellPass() {
    const int w = ws.LineWidth;
    const int cells = 30 * w;
    int fill = 0;
    font = 0;
    int i = 0;
    while (i < cells) {
      int line = i / w, x = i % w;
      if (kind == ConversionKind::kSharedChars && x == 0 && font > 0) {
        for (int f = 0; f < font && i < cells; ++f) {
          line = i / w;
          std::array<uint32_t, 128> slot_sums;
          for (int n = 0; n < 128; ++n) slot_sums[n] = Sum8(Char(f, n));
          std::vector<uint8_t> codes(w);
          bool covered = true;
          for (int c = 0; c < w && covered; ++c) {
            auto cell = Cell(line, c);
            uint32_t s = Sum8(cell);
            int found = -1;
            for (int n = 0; n < 128 && found < 0; ++n) {
              if (slot_sums[n] == s && Char(f, n) == cell) found = n;
            }
            covered = found >= 0;
            codes[c] = static_cast<uint8_t>(found | (ws.InverseMarks[line * 48 + c] ? 0x80 : 0));
          }
          if (covered) {
            std::copy(codes.begin(), codes.end(), ws.Screen.begin() + line * 48);
            ws.LineFontTable[line] = static_cast<uint8_t>(f);
            i += w;
            f = -1;
          }
        }
        if (i >= cells) break;
        line = i / w;
        x = 0;
      }
      if (x == 0 && ws.LineStartsNewFont[line] != 0) {
        NewFont();
        fill = 0;
      }
      if (fill >= ws.CharsPerFontLimit) {
        NewFont();
        fill = 0;
        i = line * w;
        continue;
      }
      auto cell = Cell(line, x);
      uint32_t s = Sum8(cell);
      int n = -1;
      bool inverse = false;
      if (kind == ConversionKind::kSharedChars && fill > 0) {
        for (int c = 0; c < fill && n < 0; ++c) {
          if (Sum8(Char(font, c)) == s && Char(font, c) == cell) n = c;
        }
        if (n < 0 && ws.CharacterMode != 2) {
          for (int c = 0; c < fill && n < 0; ++c) {
            if (Sum8(Char(font, c, 0xFF)) == s && Char(font, c, 0xFF) == cell) {
              n = c;
              inverse = true;
            }
          }
        }
      }
      if (n < 0) {
        n = fill++;
        std::copy(cell.begin(), cell.end(), ws.FontBank.begin() + font * 1024 + n * 8);
      }
      uint8_t bit = inverse || ws.InverseMarks[line * 48 + x] ? 0x80 : 0;
      ws.Screen[line * 48 + x] = static_cast<uint8_t>(n | bit);
      ws.LineFontTable[line] = font;
      ++i;
    }
  }

  void BlockPass() {
    struct Entry {
      uint32_t sum;
      std::array<uint8_t, 32> bytes;
    };
    std::vector<Entry> table;
    for (int r = 0; r < 15; ++r) {
      for (int b = 0; b < ws.LineWidth / 2; ++b) {
        std::array<uint8_t, 32> bytes;
        for (int k = 0; k < 16; ++k) {
          bytes[k] = ws.Bitmap[(16 * r + k) * 48 + 2 * b];
          bytes[16 + k] = ws.Bitmap[(16 * r + k) * 48 + 2 * b + 1];
        }
        uint32_t s = Sum(bytes.data(), 32);
        size_t k = 0;
        while (k < table.size() && !(table[k].sum == s && table[k].bytes == bytes)) ++k;
        if (k == table.size()) {
          table.push_back({s, bytes});
          if (k >= 63) continue;
          for (int y = 0; y < 8; ++y) {
            ws.FontBank[2 * k * 8 + y] = bytes[y];
            ws.FontBank[(2 * k + 1) * 8 + y] = bytes[16 + y];
            ws.FontBank[1024 + 2 * k * 8 + y] = bytes[8 + y];
            ws.FontBank[1024 + (2 * k + 1) * 8 + y] = bytes[24 + y];
          }
        }
        if (k >= 63) continue;
        for (int line : {2 * r, 2 * r + 1}) {
          ws.Screen[line * 48 + 2 * b] = static_cast<uint8_t>(2 * k);
          ws.Screen[line * 48 + 2 * b + 1] = static_cast<uint8_t>(2 * k + 1);
        }
      }
      if (table.size() > 63) throw ConversionFailed();
    }
    for (int p = 0; p < 30 * 48; ++p) {
      if (ws.InverseMarks[p]) ws.Screen[p] |= 0x80;
    }
    for (int line = 0; line < 30; ++line) ws.LineFontTable[line] = static_cast<uint8_t>(line & 1);
  }

  void Run() {
    kind = ws.Conversion.Kind;
    if (kind != ConversionKind::kNone) {
      ws.FontBank.fill(0);
      ws.Screen.fill(0);
      ws.LineFontTable.fill(0);
    }
    if (kind == ConversionKind::kCharPerCell || kind == ConversionKind::kSharedChars) CellPass();
    if (kind == ConversionKind::kBlocks16) BlockPass();
    ws.HighestFontInUse = *std::max_element(ws.LineFontTable.begin(), ws.LineFontTable.end());
  }
};

// Runs `convert` and tells whether it failed.
template <typename F>
bool Fails(F convert) {
  try {
    convert();
    return false;
  } catch (const ConversionFailed&) {
    return true;
  }
}

struct PictureMaker {
  std::mt19937_64 rng;
  explicit PictureMaker(uint64_t seed) : rng(seed) {}
  int Below(int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

  // A handful of patterns; some blank, some the complements of others, some
  // differing from others while sharing their hash.
  std::vector<uint64_t> Palette() {
    std::vector<uint64_t> palette;
    int count = 1 + Below(10);
    for (int n = 0; n < count; ++n) {
      uint64_t mask = Chance(30) ? 0x0101010101010101u : ~0ull;
      palette.push_back(rng() & mask);
    }
    if (Chance(40)) palette.push_back(0);
    if (Chance(50)) palette.push_back(~palette[Below(static_cast<int>(palette.size()))]);
    if (Chance(30)) {
      uint64_t twin = testing::PatternHashTwin(palette[Below(static_cast<int>(palette.size()))]);
      palette.push_back(twin);
      if (Chance(50)) palette.push_back(~twin);
    }
    return palette;
  }

  void FillCells(Workspace& ws) {
    auto palette = Palette();
    int width = ws.LineWidth;
    for (int line = 0; line < 30; ++line) {
      if (line > 0 && Chance(25)) {
        // A copy of an earlier line, possibly with a few cells changed, so
        // that whole lines are found in earlier fonts.
        int from = Below(line);
        for (int x = 0; x < width; ++x) {
          uint64_t p = CellPattern(ws, from, x);
          if (Chance(5)) p = palette[Below(static_cast<int>(palette.size()))];
          PutCell(ws, line, x, p);
        }
        continue;
      }
      int used = 1 + Below(static_cast<int>(palette.size()));
      for (int x = 0; x < width; ++x) PutCell(ws, line, x, palette[Below(used)]);
    }
  }

  void FillBlocks(Workspace& ws) {
    int distinct = 1 + Below(Chance(20) ? 90 : 40);
    std::vector<std::array<uint8_t, 32>> blocks(distinct);
    for (auto& block : blocks) {
      for (auto& byte : block) byte = static_cast<uint8_t>(Chance(70) ? 0 : rng());
    }
    if (Chance(30)) blocks.push_back(testing::BlockHashTwin(blocks[0]));
    for (int r = 0; r < 15; ++r) {
      for (int b = 0; b < ws.LineWidth / 2; ++b) {
        const auto& block = blocks[Below(static_cast<int>(blocks.size()))];
        for (int k = 0; k < 16; ++k) {
          ws.Bitmap[(16 * r + k) * 48 + 2 * b] = block[k];
          ws.Bitmap[(16 * r + k) * 48 + 2 * b + 1] = block[16 + k];
        }
      }
    }
  }

  std::unique_ptr<Workspace> Make(ConversionKind kind) {
    static constexpr int kWidths[] = {32, 40, 48};
    static constexpr int kCharacterModes[] = {1, 2, 4};
    static constexpr int kLimits[] = {0, 1, 3, 6, 10, 20, 32, 47, 48, 64, 100, 127, 127, 127};
    int width = kWidths[Below(3)];
    auto ws = MakeWorkspace(width, kCharacterModes[Below(3)]);
    testing::SetMode(*ws, kind);
    ws->CharsPerFontLimit = static_cast<uint8_t>(kLimits[Below(std::size(kLimits))]);
    int flag_percent = Below(3) * 8;
    for (auto& flag : ws->LineStartsNewFont) flag = Chance(flag_percent);
    for (int line = 0; line < 30; ++line) {
      for (int x = 0; x < ws->LineWidth; ++x)
        ws->Screen[line * 48 + x] =
            static_cast<uint8_t>(Chance(20) ? 0x80 | Below(128) : Below(128));
    }
    // What a loaded project leaves behind, which modes that rebuild must
    // wipe and no conversion must keep.
    for (int n = 0; n < 4096; ++n)
      ws->FontBank[Below(kFontBankBytes)] = static_cast<uint8_t>(rng());
    for (int p = 0; p < kScreenBytes; ++p) ws->InverseMarks[p] = ws->Screen[p] & 0x80;
    for (auto& font : ws->LineFontTable) font = static_cast<uint8_t>(Below(6));
    if (kind == ConversionKind::kBlocks16) {
      FillBlocks(*ws);
    } else {
      FillCells(*ws);
    }
    return ws;
  }
};

TEST(EquivalenceTest, MatchesTheLiteralConversionOnRandomPictures) {
  const struct {
    ConversionKind kind;
    const char* name;
    int seed;
    int pictures;
  } runs[] = {{ConversionKind::kSharedChars, "shared", 1001, 500},
              {ConversionKind::kCharPerCell, "per cell", 1000, 120},
              {ConversionKind::kBlocks16, "blocks", 1003, 200},
              {ConversionKind::kNone, "none", 1255, 20}};
  for (const auto& run : runs) {
    PictureMaker maker(run.seed);
    int failures = 0;
    int reused_lines = 0;  // lines coded with a font below one already used
    for (int n = 0; n < run.pictures; ++n) {
      auto fast = maker.Make(run.kind);
      auto literal = std::make_unique<Workspace>(*fast);
      bool fast_failed = Fails([&] { ReconstructCharset(*fast); });
      bool literal_failed = Fails([&] { Literal{*literal}.Run(); });
      std::string where = std::string(run.name) + " picture " + std::to_string(n) + " width " +
                          std::to_string(fast->LineWidth) + " limit " +
                          std::to_string(fast->CharsPerFontLimit);
      ASSERT_EQ(fast_failed, literal_failed) << where;
      if (fast_failed) {
        ++failures;
        continue;
      }
      ASSERT_EQ(fast->HighestFontInUse, literal->HighestFontInUse) << where;
      ASSERT_EQ(fast->LineFontTable, literal->LineFontTable) << where;
      ASSERT_EQ(fast->Screen, literal->Screen) << where;
      ASSERT_TRUE(fast->FontBank == literal->FontBank) << where;
      for (int line = 1; line < 30; ++line) {
        auto before = fast->LineFontTable.begin() + line;
        reused_lines +=
            fast->LineFontTable[line] < *std::max_element(fast->LineFontTable.begin(), before);
      }
    }
    if (run.kind == ConversionKind::kSharedChars) {
      EXPECT_GT(reused_lines, run.pictures);
    }
    // Both outcomes must have been exercised where they can occur.
    if (run.kind != ConversionKind::kNone) {
      EXPECT_GT(failures, 0) << run.name;
      EXPECT_LT(failures, run.pictures) << run.name;
    }
  }
}

// The same pictures, set up the way loading leaves them (in a mode that
// shows inverse cells, rendering has cleared the working copy where it
// drew them; with no conversion, the bitmap is the rendered screen): every
// rebuild that succeeds draws its bitmap again.
TEST(EquivalenceTest, EveryConversionThatSucceedsRedrawsItsBitmap) {
  auto scratch = std::make_unique<Workspace>();
  const struct {
    ConversionKind kind;
    const char* name;
    int seed;
  } runs[] = {{ConversionKind::kCharPerCell, "per cell", 2000},
              {ConversionKind::kSharedChars, "shared", 2001},
              {ConversionKind::kBlocks16, "blocks", 2003},
              {ConversionKind::kNone, "none", 2255}};
  for (const auto& run : runs) {
    PictureMaker maker(run.seed);
    int converted = 0;
    for (int n = 0; n < 150; ++n) {
      auto ws = maker.Make(run.kind);
      if (run.kind == ConversionKind::kNone) {
        RenderScreen(*ws);
      } else if (ws->CharacterMode != 2) {
        ws->InverseMarks.fill(false);
      }
      if (Fails([&] { ReconstructCharset(*ws); })) continue;
      ++converted;
      RoundTripResult result = CheckRoundTrip(*ws, *scratch);
      ASSERT_TRUE(result.Exact) << run.name << " picture " << n << " line " << result.Line
                                << " column " << result.Column;
    }
    EXPECT_GT(converted, 0) << run.name;
  }
}

TEST(EquivalenceTest, TheRoundTripNamesTheFirstCellThatDiffers) {
  auto scratch = std::make_unique<Workspace>();
  PictureMaker maker(77);
  auto ws = maker.Make(ConversionKind::kSharedChars);
  ws->InverseMarks.fill(false);
  ReconstructCharset(*ws);
  ASSERT_TRUE(CheckRoundTrip(*ws, *scratch).Exact);
  ws->Bitmap[(12 * 8 + 5) * 48 + 20] ^= 0x10;  // line 12, column 20
  ws->Bitmap[(20 * 8 + 0) * 48 + 3] ^= 0x01;   // line 20, column 3
  RoundTripResult result = CheckRoundTrip(*ws, *scratch);
  EXPECT_FALSE(result.Exact);
  EXPECT_EQ(result.Line, 12);
  EXPECT_EQ(result.Column, 20);
}

}  // namespace
}  // namespace qdp
