// Time of one charset reconstruction of a 48-wide picture in each mode.
// The conversion clears and rebuilds its own targets from inputs it never
// changes, so the same workspace is converted again on every iteration.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "convert/reconstruct.h"
#include "workspace/workspace.h"

namespace qdp {
namespace {

constexpr int kWidth = 48;

std::unique_ptr<Workspace> Blank(ConversionKind kind) {
  auto ws = std::make_unique<Workspace>();
  ws->LineWidth = kWidth;
  ws->CharacterMode = 1;
  ws->CharsPerFontLimit = 127;
  ws->Conversion = {kind, ConversionSource::kHeaderBits};
  return ws;
}

void PutCell(Workspace& ws, int line, int x, uint64_t pattern) {
  uint8_t rows[8];
  std::memcpy(rows, &pattern, 8);
  for (int k = 0; k < 8; ++k) ws.Bitmap[(line * 8 + k) * kRowStride + x] = rows[k];
}

void Convert(benchmark::State& state, Workspace& ws) {
  for (auto _ : state) {
    ReconstructCharset(ws);
    benchmark::DoNotOptimize(ws.HighestFontInUse);
  }
}

void BM_OneCharPerCell(benchmark::State& state) {
  auto ws = Blank(ConversionKind::kCharPerCell);
  std::mt19937_64 rng(1);
  for (int line = 0; line < kScreenLines; ++line) {
    for (int x = 0; x < kWidth; ++x) PutCell(*ws, line, x, rng());
  }
  Convert(state, *ws);
}
BENCHMARK(BM_OneCharPerCell);

// Ten fresh lines of distinct patterns, in the first five of them about a
// quarter of the cells the complements of the cell before; a new font is
// begun every third line. The other twenty lines repeat one of the last
// five fresh ones and are mostly found whole in earlier fonts.
void BM_SharedCharsWithLineReuse(benchmark::State& state) {
  auto ws = Blank(ConversionKind::kSharedChars);
  std::mt19937_64 rng(2);
  for (int line = 0; line < kScreenLines; ++line) {
    int source = line < 10 ? line : 5 + static_cast<int>(rng() % 5);
    if (line < 10 && line % 3 == 0) ws->LineStartsNewFont[line] = true;
    for (int x = 0; x < kWidth; ++x) {
      uint64_t pattern = rng();
      std::array<uint8_t, 8> rows;
      if (line < 5 && x > 0 && rng() % 4 == 0) {
        for (int k = 0; k < 8; ++k)
          rows[k] = static_cast<uint8_t>(~ws->Bitmap[(line * 8 + k) * kRowStride + x - 1]);
        std::memcpy(&pattern, rows.data(), 8);
      } else if (line >= 10) {
        for (int k = 0; k < 8; ++k) rows[k] = ws->Bitmap[(source * 8 + k) * kRowStride + x];
        std::memcpy(&pattern, rows.data(), 8);
      }
      PutCell(*ws, line, x, pattern);
    }
  }
  Convert(state, *ws);
  int reused = 0;
  for (int line = 1; line < kScreenLines; ++line) {
    uint8_t highest =
        *std::max_element(ws->LineFontTable.begin(), ws->LineFontTable.begin() + line);
    reused += ws->LineFontTable[line] < highest;
  }
  state.counters["fonts"] = ws->HighestFontInUse + 1;
  state.counters["reused_lines"] = reused;
}
BENCHMARK(BM_SharedCharsWithLineReuse);

// Every cell different: many fonts, and every line looked for in all the
// fonts before it.
void BM_SharedCharsAllDistinct(benchmark::State& state) {
  auto ws = Blank(ConversionKind::kSharedChars);
  std::mt19937_64 rng(3);
  for (int line = 0; line < kScreenLines; ++line) {
    for (int x = 0; x < kWidth; ++x) PutCell(*ws, line, x, rng());
  }
  Convert(state, *ws);
  state.counters["fonts"] = ws->HighestFontInUse + 1;
}
BENCHMARK(BM_SharedCharsAllDistinct);

// The most distinct 16 x 16 blocks two fonts can hold.
void BM_Blocks63(benchmark::State& state) {
  auto ws = Blank(ConversionKind::kBlocks16);
  std::mt19937_64 rng(4);
  std::array<std::array<uint8_t, 32>, kMaxBlocks> blocks;
  for (auto& block : blocks) {
    for (auto& byte : block) byte = static_cast<uint8_t>(rng());
  }
  for (int r = 0; r < 15; ++r) {
    for (int b = 0; b < kWidth / 2; ++b) {
      const auto& block = blocks[(r * 24 + b) % kMaxBlocks];
      for (int k = 0; k < 16; ++k) {
        ws->Bitmap[(16 * r + k) * kRowStride + 2 * b] = block[k];
        ws->Bitmap[(16 * r + k) * kRowStride + 2 * b + 1] = block[16 + k];
      }
    }
  }
  Convert(state, *ws);
}
BENCHMARK(BM_Blocks63);

}  // namespace
}  // namespace qdp
