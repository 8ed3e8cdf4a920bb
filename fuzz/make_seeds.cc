// Writes the seed corpora of the fuzz targets: projects in every
// conversion mode and character mode, files cut short inside every block
// the program reads, rejected headers, and compressed containers (valid,
// cut, corrupted, stored, with surplus). Usage:
//   make_seeds [--all] OUT_DIR   writes OUT_DIR/job/* and OUT_DIR/container/*
//                                (a container seed is the stream alone),
//                                and OUT_DIR/import/* where the import is
//                                built (see fuzz/import_fuzzer.cc);
//                                with --all also OUT_DIR/header-byte-1/*,
//                                one complete project for each value of the
//                                second header byte, for comparing builds
// Most projects are cut shortly after their colour tables, which keeps
// every run short; a few are complete so that the later blocks are mutated
// too.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/support/project_builder.h"
#ifdef QDP_IMPORT_SEEDS
#include <png.h>

#include "tests/support/picture_files.h"
#endif

namespace {

using qdp::testing::Bytes;
using qdp::testing::ProjectContent;

enum class Picture { kRandom, kShared, kBlocks };

struct Seed {
  const char* name;
  int width;
  int fonts;
  uint8_t mode_byte;  // character mode and conversion bits
  Picture picture;
  int distinct;          // distinct glyphs or blocks the picture uses
  bool alternate_fonts;  // lines use fonts 0, 1, 0, 1, ...
  bool flag_lines;       // some lines have bit 7 of their font byte set
  bool full;             // complete file; otherwise cut after the colours
  uint8_t chars_per_font;
};

const Seed kSeeds[] = {
    // Conversion bits in the header, in each character mode.
    {"bits80-mode1", 40, 10, 0x81, Picture::kRandom, 128, false, false, false, 127},
    {"bits80-mode4", 32, 3, 0x84, Picture::kShared, 60, false, true, false, 127},
    {"bits40-mode1", 40, 4, 0x41, Picture::kShared, 90, false, true, false, 127},
    {"bits40-mode2", 48, 4, 0x42, Picture::kShared, 90, false, false, false, 127},
    {"bits40-mode4", 32, 6, 0x44, Picture::kShared, 20, false, true, false, 127},
    {"bits10-mode1", 40, 2, 0x11, Picture::kBlocks, 40, true, false, false, 127},
    {"bits10-mode2", 48, 2, 0x12, Picture::kBlocks, 63, true, false, false, 127},
    {"bits10-fails", 32, 2, 0x14, Picture::kBlocks, 64, true, false, false, 127},
    {"bits08-mode1", 40, 5, 0x09, Picture::kRandom, 128, false, false, false, 127},
    {"bits20-mode2", 48, 5, 0x22, Picture::kShared, 50, false, false, false, 127},
    {"bitsD0-mode1", 40, 5, 0xD1, Picture::kBlocks, 30, true, false, false, 127},
    // No conversion bits: the layout decides.
    {"layout-32x8", 32, 8, 0x01, Picture::kRandom, 128, false, false, false, 127},
    {"layout-40x10", 40, 10, 0x04, Picture::kRandom, 128, false, true, false, 127},
    {"layout-48x15", 48, 15, 0x02, Picture::kShared, 100, false, false, false, 127},
    {"layout-48x12", 48, 12, 0x01, Picture::kShared, 70, false, true, false, 127},
    {"layout-alternate", 40, 10, 0x01, Picture::kBlocks, 50, true, false, false, 127},
    {"layout-alternate-flag", 40, 10, 0x01, Picture::kBlocks, 50, true, true, false, 127},
    // Complete files: the line mode table and the characters-per-font limit count.
    {"full-bits40-limit50", 40, 10, 0x41, Picture::kShared, 120, false, true, true, 50},
    {"full-bits80-limit20", 32, 1, 0x81, Picture::kRandom, 128, false, false, true, 20},
    {"full-layout-48x128", 48, 128, 0x01, Picture::kShared, 128, false, true, true, 127},
};

std::vector<std::pair<std::string, Bytes>> g_job;
std::vector<std::pair<std::string, Bytes>> g_container;

void Add(const std::string& name, const Bytes& bytes) { g_job.emplace_back(name, bytes); }

// A container's stream alone, as a container seed.
void AddContainer(const std::string& name, const Bytes& container) {
  g_container.emplace_back(name,
                           Bytes(container.begin() + qdp::testing::kMagicLength, container.end()));
}

ProjectContent Draw(const Seed& seed, std::mt19937& rng) {
  ProjectContent content;
  content.width_byte = uint8_t(seed.width);
  content.mode_byte = seed.mode_byte;
  content.fonts_byte = uint8_t(seed.fonts - 1);
  content.screen.assign(30 * size_t(seed.width), 0);
  content.fonts.assign(1024 * size_t(seed.fonts), 0);
  std::uniform_int_distribution<int> byte(0, 255);
  if (seed.picture == Picture::kBlocks) {
    // Every character is eight rows of its own number, so a 16 x 16 block
    // is told apart by the code of its left column.
    for (int font = 0; font < seed.fonts && font < 2; ++font) {
      for (int c = 0; c < 128; ++c) {
        uint8_t v = uint8_t(c);
        content.SetGlyph(font, c, {v, v, v, v, v, v, v, v});
      }
    }
    for (int line = 0; line < 30; ++line) {
      for (int x = 0; x < seed.width; ++x) {
        int block = ((line / 2) * (seed.width / 2) + x / 2) % seed.distinct;
        content.SetCell(line, x, uint8_t(x % 2 == 0 ? block : 0));
      }
    }
  } else {
    for (int font = 0; font < seed.fonts; ++font) {
      for (int c = 0; c < 128; ++c) {
        std::array<uint8_t, 8> rows;
        for (auto& row : rows) row = uint8_t(byte(rng));
        if (seed.picture == Picture::kShared && c % 2 == 1) {
          // Odd characters are the complements of their even neighbours.
          size_t at = size_t(font) * 1024 + size_t(c - 1) * 8;
          for (size_t k = 0; k < 8; ++k) rows[k] = uint8_t(~content.fonts[at + k]);
        }
        content.SetGlyph(font, c, rows);
      }
    }
    std::uniform_int_distribution<int> code(0, seed.distinct - 1);
    for (int line = 0; line < 30; ++line) {
      for (int x = 0; x < seed.width; ++x) {
        bool inverse = seed.picture == Picture::kShared && byte(rng) < 40;
        content.SetCell(line, x, uint8_t(code(rng) | (inverse ? qdp::kInverseBit : 0)));
      }
    }
  }
  for (int line = 0; line < 30; ++line) {
    uint8_t font = seed.alternate_fonts ? uint8_t(line & 1) : uint8_t(line % seed.fonts);
    if (seed.flag_lines && line % 7 == 3) font |= qdp::kNewFontBit;
    content.line_fonts[size_t(line)] = font;
  }
  for (auto& entry : content.colours) entry = uint8_t(byte(rng));
  const uint8_t mode_values[] = {1, 2, 4, 255};
  for (size_t line = 0; line < 30; ++line)
    content.line_mode_table[line] = mode_values[(line * 5) % 4];
  content.chars_per_font = seed.chars_per_font;
  return content;
}

Bytes Cut(Bytes bytes, size_t length) {
  if (length < bytes.size()) bytes.resize(length);
  return bytes;
}

void MakeProjects() {
  std::mt19937 rng(20261208);
  for (const Seed& seed : kSeeds) {
    ProjectContent content = Draw(seed, rng);
    Bytes project = qdp::testing::BuildProject(content);
    if (!seed.full) {
      project = Cut(project, content.GetLayout().ColourTables() + qdp::kColourTablesBytes + 64);
    }
    Add(seed.name, project);
  }

  // Cut inside each block the reader keeps.
  ProjectContent content = Draw(kSeeds[2], rng);
  qdp::ProjectLayout layout = content.GetLayout();
  Bytes full = qdp::testing::BuildProject(content);
  const std::pair<const char*, size_t> cuts[] = {
      {"cut-header", 2},
      {"cut-screen", layout.Fonts() - 17},
      {"cut-fonts", layout.LineFonts() - 1000},
      {"cut-line-fonts", layout.ColourTables() - 5},
      {"cut-colours", layout.ColourTables() + 700},
      {"cut-skip-table", layout.LineModeTable() + 12},
      {"cut-before-limit", layout.CharsPerFontLimit()},
  };
  for (const auto& [name, length] : cuts) Add(name, Cut(full, length));
  Add("surplus", qdp::testing::BuildProject(content, 333));

  // Headers the reader turns away.
  Add("empty", {});
  Add("magic-six", {'Q', 'D', 'P', 'Z', 'L', 'I', 'X', 0, 0, 0});
  Bytes odd = Cut(full, 4000);
  odd[0] = 36;
  Add("width-36", odd);
  odd[0] = 40;
  odd[1] = 3;
  Add("mode-3", odd);

  // Containers.
  using qdp::testing::Compress;
  Bytes short_project = Cut(qdp::testing::BuildProject(Draw(kSeeds[1], rng)), 6000);
  AddContainer("z-short", Compress(short_project));
  AddContainer("z-full", Compress(full));
  AddContainer("z-empty-stream", Compress({}));
  // An empty stream with a 1 KiB window, whose own first bytes would read
  // as an acceptable header; and projects cut inside the header and inside
  // the line mode table.
  Bytes small_window(qdp::kContainerMagic.begin(), qdp::kContainerMagic.end());
  small_window.insert(small_window.end(), {0x28, 0x91, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
  AddContainer("z-empty-small-window", small_window);
  AddContainer("z-two-bytes", Compress({40, 0x09}));
  ProjectContent modes_cut;
  modes_cut.mode_byte = 0x09;
  Bytes in_line_mode_table =
      Cut(qdp::testing::BuildProject(modes_cut), modes_cut.GetLayout().LineModeTable() + 3);
  std::fill(in_line_mode_table.end() - 3, in_line_mode_table.end(), 4);
  AddContainer("z-cut-in-skip-table", Compress(in_line_mode_table));
  AddContainer("z-magic-only", Bytes(qdp::kContainerMagic.begin(), qdp::kContainerMagic.end()));
  Bytes cut = Compress(full);
  AddContainer("z-cut-stream", Cut(cut, cut.size() / 2));
  Bytes corrupt = Compress(short_project);
  corrupt[corrupt.size() - 2] ^= 0x40;  // Adler-32
  AddContainer("z-bad-checksum", corrupt);
  Bytes surplus = Compress(short_project);
  surplus.insert(surplus.end(), {1, 2, 3, 4, 5});
  AddContainer("z-surplus", surplus);
  AddContainer("z-nested", Compress(Compress(short_project)));
  AddContainer("z-dictionary", qdp::testing::CompressWithDictionary(short_project, {1, 2, 3}));
  // Stored blocks without their checksum: a mutation inside them reaches
  // the project itself instead of breaking the deflate layer.
  Bytes stored = Compress(short_project, 0);
  AddContainer("z-stored-cut", Cut(stored, stored.size() - 4));
}

// The same busy picture (shared and complemented characters, inverse
// cells, lines that start new fonts) under every value of header byte 1:
// every character mode and every combination of conversion bits.
std::vector<std::pair<std::string, Bytes>> HeaderByteOneProjects() {
  std::mt19937 rng(1);
  Seed seed = kSeeds[2];
  seed.full = true;
  ProjectContent content = Draw(seed, rng);
  std::vector<std::pair<std::string, Bytes>> projects;
  for (int value = 0; value < 256; ++value) {
    content.mode_byte = static_cast<uint8_t>(value);
    char name[32];
    std::snprintf(name, sizeof name, "mode-byte-%02x", value);
    projects.emplace_back(name, qdp::testing::BuildProject(content));
  }
  return projects;
}

#ifdef QDP_IMPORT_SEEDS
// Pictures as the import target takes them: four bytes of choices, then a
// PNG or JPEG without its first bytes (the target puts them back), or the
// pixels themselves. Small, so that every run is short.
std::vector<std::pair<std::string, Bytes>> ImportSeeds() {
  using qdp::testing::Drawn;
  using qdp::testing::MakePicture;
  std::vector<std::pair<std::string, Bytes>> seeds;
  auto add = [&](const std::string& name, std::array<uint8_t, 4> choices, const Bytes& file,
                 size_t magic) {
    Bytes seed(choices.begin(), choices.end());
    seed.insert(seed.end(), file.begin() + static_cast<std::ptrdiff_t>(magic), file.end());
    seeds.emplace_back(name, seed);
  };
  add("png-gradient", {0, 0, 5, 1},
      qdp::testing::EncodePng(MakePicture(Drawn::kGradient, 320, 240), {PNG_COLOR_TYPE_RGB, 8}), 8);
  add("png-palette-interlaced", {0, 2, 21, 0},
      qdp::testing::EncodePng(MakePicture(Drawn::kText, 160, 240),
                              {PNG_COLOR_TYPE_PALETTE, 8, true}),
      8);
  add("png-grey-fit", {0x80, 1, 3, 0},
      qdp::testing::EncodePng(MakePicture(Drawn::kShapes, 40, 30), {PNG_COLOR_TYPE_GRAY, 4}), 8);
  add("png-alpha-16", {0x80, 7, 9, 0},
      qdp::testing::EncodePng(MakePicture(Drawn::kNoise, 33, 17), {PNG_COLOR_TYPE_RGBA, 16}), 8);
  add("jpeg-shapes", {1, 3, 13, 0x80},
      qdp::testing::EncodeJpeg(MakePicture(Drawn::kShapes, 256, 240), 75), 3);
  add("jpeg-progressive-fit", {0x81, 8, 5, 0},
      qdp::testing::EncodeJpeg(MakePicture(Drawn::kGradient, 48, 40), 60, false, true), 3);
  add("jpeg-grey", {1, 4, 5, 0},
      qdp::testing::EncodeJpeg(MakePicture(Drawn::kText, 128, 240), 90, true), 3);
  Bytes pixels;
  for (int i = 0; i < 3 * 64; ++i) pixels.push_back(static_cast<uint8_t>(i * 37));
  add("pixels-four", {2, 2, 5, 4}, pixels, 0);
  add("pixels-hires-budget", {2, 1, 11, 1}, pixels, 0);
  add("pixels-gtia", {2, 3, 2, 5}, pixels, 0);
  return seeds;
}
#endif

void WriteAll(const std::string& dir, const std::vector<std::pair<std::string, Bytes>>& seeds) {
  ::mkdir(dir.c_str(), 0755);
  for (const auto& [name, bytes] : seeds) qdp::testing::WriteFileBytes(dir + "/" + name, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  const bool all = argc == 3 && std::string(argv[1]) == "--all";
  if (argc != 2 && !all) {
    std::fprintf(stderr, "usage: make_seeds [--all] OUT_DIR\n");
    return 2;
  }
  std::string out = argv[argc - 1];
  ::mkdir(out.c_str(), 0755);
  MakeProjects();
  WriteAll(out + "/job", g_job);
  WriteAll(out + "/container", g_container);
  if (all) WriteAll(out + "/header-byte-1", HeaderByteOneProjects());
#ifdef QDP_IMPORT_SEEDS
  WriteAll(out + "/import", ImportSeeds());
#endif
  std::printf("%zu job seeds, %zu container seeds in %s\n", g_job.size(), g_container.size(),
              out.c_str());
  return 0;
}
