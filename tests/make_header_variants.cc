// Writes one project for every value of header byte 1 (the character mode
// and conversion bits), all with the same picture, so that two builds of
// qdpext can be compared on every value. Usage:
//   make_header_variants OUT_DIR      writes OUT_DIR/mode-00.qdp ... mode-ff.qdp
#include <cstdio>
#include <random>
#include <string>

#include "tests/support/project_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_header_variants OUT_DIR\n");
    return 2;
  }
  using qdp::testing::ProjectContent;
  // Three fonts of few distinct glyphs, lines in all three, some cells
  // inverse: every conversion has work to do and most of them succeed.
  ProjectContent content;
  content.fonts_byte = 2;
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int font = 0; font < 3; ++font) {
    for (int c = 0; c < 128; ++c) {
      std::array<uint8_t, 8> rows;
      for (auto& row : rows) row = static_cast<uint8_t>(c < 8 ? byte(rng) : 0);
      content.SetGlyph(font, c, rows);
    }
  }
  std::uniform_int_distribution<int> code(0, 7);
  for (int line = 0; line < 30; ++line) {
    for (int x = 0; x < content.Width(); ++x) {
      int cell = code(rng);
      content.SetCell(line, x, static_cast<uint8_t>(cell | (x % 9 == 0 ? 0x80 : 0)));
    }
    content.line_fonts[static_cast<size_t>(line)] = static_cast<uint8_t>(line % 3);
  }
  for (auto& entry : content.colours) entry = static_cast<uint8_t>(byte(rng));
  for (int value = 0; value < 256; ++value) {
    content.mode_byte = static_cast<uint8_t>(value);
    char name[32];
    std::snprintf(name, sizeof name, "/mode-%02x.qdp", value);
    qdp::testing::WriteFileBytes(argv[1] + std::string(name), qdp::testing::BuildProject(content));
  }
  return 0;
}
