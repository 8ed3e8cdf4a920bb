#include "tests/expected_side_files.h"

#include <algorithm>

namespace qdp::testing {
namespace {

uint8_t ScreenCode(const ProjectContent& content, int line, int column) {
  size_t at = static_cast<size_t>(line * content.Width() + column);
  return at < content.screen.size() ? content.screen[at] : 0;
}

bool SkipTableValid(const ProjectContent& content) {
  return std::all_of(content.skip_table.begin(), content.skip_table.end(),
                     [](uint8_t v) { return v == 1 || v == 2 || v == 4 || v == 255; });
}

}  // namespace

uint8_t GlyphByte(const ProjectContent& content, int font, int character, int row) {
  if (font >= content.FontCount()) return 0;
  size_t at = static_cast<size_t>(font * 1024 + character * 8 + row);
  return at < content.fonts.size() ? content.fonts[at] : 0;
}

Bytes ExpectedBitmap(const ProjectContent& content) {
  const int width = content.Width();
  const bool inverse_shown = (content.mode_byte & 7) != 2;
  Bytes mic;
  for (int y = 0; y < 240; ++y) {
    int line = y / 8;
    int font = content.line_fonts[line] & 0x7F;
    for (int x = 0; x < width; ++x) {
      uint8_t code = ScreenCode(content, line, x);
      uint8_t mask = (inverse_shown && code >= 128) ? 0xFF : 0x00;
      mic.push_back(GlyphByte(content, font, code & 0x7F, y % 8) ^ mask);
    }
  }
  return mic;
}

SideFiles ExpectedSideFiles(const ProjectContent& content, const std::string& options) {
  const int width = content.Width();
  const bool valid = SkipTableValid(content);
  auto included = [&](int line) { return valid && content.skip_table[line] != 255; };
  auto font_of = [&](int line) { return static_cast<uint8_t>(content.line_fonts[line] & 0x7F); };
  SideFiles files;
  auto selected = [&](char letter) { return options.find(letter) != std::string::npos; };

  if (selected('m')) files[".mic"] = ExpectedBitmap(content);
  if (selected('f')) {
    Bytes& fnt = files[".fnt"];
    for (int f = 0; f < 30; ++f) {
      bool used = false;
      for (int line = 0; line < 30; ++line) used = used || font_of(line) == f;
      if (!used) continue;
      for (int i = 0; i < 1024; ++i) fnt.push_back(GlyphByte(content, f, i / 8, i % 8));
    }
  }
  if (selected('s')) {
    Bytes& scr = files[".scr"];
    for (int line = 0; line < 30; ++line) {
      for (int x = 0; x < width; ++x) scr.push_back(included(line) ? ScreenCode(content, line, x) : 127);
    }
  }
  uint8_t highest = 0;
  for (int line = 0; line < 30; ++line) highest = std::max(highest, font_of(line));
  if (selected('f') && highest != 0) {
    Bytes& tab = files[".tab"];
    for (int line = 0; line < 30; ++line) {
      if (included(line)) tab.push_back(font_of(line));
    }
  }
  if (selected('c')) {
    Bytes& col = files[".col"];
    for (int t = 0; t < 5; ++t) {
      col.insert(col.end(), content.colours.begin() + t * 256, content.colours.begin() + t * 256 + 240);
      col.insert(col.end(), 16, 0);
    }
  }
  return files;
}

SideFiles ReadSideFiles(const std::string& base) {
  SideFiles files;
  for (const char* ext : {".mic", ".fnt", ".scr", ".tab", ".col"}) {
    if (FileExists(base + ext)) files[ext] = ReadFileBytes(base + ext);
  }
  return files;
}

}  // namespace qdp::testing
