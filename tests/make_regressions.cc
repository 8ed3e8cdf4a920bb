// Writes the inputs of tests/regressions/, one file per fault found, each
// named for what it catches; tests/regressions_e2e_test.cc runs them all.
// Run it again only to add a file:
//   make_regressions tests/regressions
#include <cstdio>
#include <string>

#include "tests/support/project_builder.h"

namespace {

using qdp::testing::BuildProject;
using qdp::testing::Bytes;
using qdp::testing::Compress;
using qdp::testing::ProjectContent;

Bytes Magic() { return Bytes(qdp::kContainerMagic.begin(), qdp::kContainerMagic.end()); }

Bytes Cut(Bytes bytes, size_t length) {
  bytes.resize(length);
  return bytes;
}

// A small picture that keeps its fonts, has a line in font 1 and every
// line in use.
ProjectContent Simple() {
  ProjectContent content = qdp::testing::KeptFontsProject();
  content.line_mode_table.fill(1);
  return content;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_regressions DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  auto write = [&dir](const char* name, const Bytes& bytes) {
    qdp::testing::WriteFileBytes(dir + "/" + name, bytes);
  };

  // An empty stream made with a 1 KiB window: its own first bytes read as
  // width 40 and mode 1, and used to be taken for the decoded header.
  Bytes small_window = Magic();
  small_window.insert(small_window.end(), {0x28, 0x91, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
  write("empty-stream-read-as-header.qdp", small_window);
  // Decoded projects shorter than their header, or ending inside the
  // per-line table, must load exactly as the same bytes stored plain.
  write("stream-of-two-bytes.qdp", Compress({40, 0x09}));
  write("plain-two-bytes.qdp", {40, 0x09});
  ProjectContent skip_cut = Simple();
  write("stream-cut-in-skip-table.qdp",
        Compress(Cut(BuildProject(skip_cut), skip_cut.GetLayout().LineModeTable() + 3)));
  // Zeros behind the magic are no zlib stream: the copy must stop at once
  // instead of copying the whole file into the temporary directory.
  Bytes zeros = Magic();
  zeros.resize(zeros.size() + 65536);
  write("magic-then-zeros.qdp", zeros);
  // Bytes after a valid stream are never read.
  write("trailing-bytes-after-stream.qdp",
        qdp::testing::WithTrailing(Compress(BuildProject(Simple())), Bytes(70000, 0x5A)));
  // A container inside a container is not unpacked twice.
  write("container-in-container.qdp", Compress(Compress(BuildProject(Simple()))));
  // Six bytes of the magic and a wrong seventh: a plain file, rejected.
  Bytes almost = Magic();
  almost[6] = 'X';
  write("magic-with-wrong-last-byte.qdp", almost);
  // 64 distinct 16 x 16 blocks: the block conversion fails.
  ProjectContent blocks;
  blocks.mode_byte = qdp::kBlocks16Bit | 1;
  for (int c = 0; c < 128; ++c) {
    const uint8_t v = static_cast<uint8_t>(c);
    blocks.SetGlyph(0, c, {v, v, v, v, v, v, v, v});
  }
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < 40; ++x) {
      int block = ((line / 2) * 20 + x / 2) % 64;
      blocks.SetCell(line, x, static_cast<uint8_t>(x % 2 == 0 ? block : 0));
    }
  }
  // Cut after the colour tables: the rest plays no part in the failure.
  write("sixty-four-blocks.qdp",
        Cut(BuildProject(blocks), blocks.GetLayout().ColourTables() + qdp::kColourTablesBytes));
  return 0;
}
