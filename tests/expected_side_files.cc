#include "tests/expected_side_files.h"

#include <algorithm>

namespace qdp::testing {
namespace {

uint8_t ScreenCode(const ProjectSpec& spec, int line, int column) {
  size_t at = static_cast<size_t>(line * spec.Width() + column);
  return at < spec.screen.size() ? spec.screen[at] : 0;
}

bool SkipTableValid(const ProjectSpec& spec) {
  return std::all_of(spec.skip_table.begin(), spec.skip_table.end(),
                     [](uint8_t v) { return v == 1 || v == 2 || v == 4 || v == 255; });
}

}  // namespace

uint8_t GlyphByte(const ProjectSpec& spec, int font, int character, int row) {
  if (font >= spec.FontCount()) return 0;
  size_t at = static_cast<size_t>(font * 1024 + character * 8 + row);
  return at < spec.fonts.size() ? spec.fonts[at] : 0;
}

Bytes ExpectedBitmap(const ProjectSpec& spec) {
  const int width = spec.Width();
  const bool inverse_shown = (spec.mode_byte & 7) != 2;
  Bytes mic;
  for (int y = 0; y < 240; ++y) {
    int line = y / 8;
    int font = spec.line_fonts[line] & 0x7F;
    for (int x = 0; x < width; ++x) {
      uint8_t code = ScreenCode(spec, line, x);
      uint8_t mask = (inverse_shown && code >= 128) ? 0xFF : 0x00;
      mic.push_back(GlyphByte(spec, font, code & 0x7F, y % 8) ^ mask);
    }
  }
  return mic;
}

SideFiles ExpectedSideFiles(const ProjectSpec& spec, const std::string& options) {
  const int width = spec.Width();
  const bool valid = SkipTableValid(spec);
  auto included = [&](int line) { return valid && spec.skip_table[line] != 255; };
  auto font_of = [&](int line) { return static_cast<uint8_t>(spec.line_fonts[line] & 0x7F); };
  SideFiles files;
  auto selected = [&](char letter) { return options.find(letter) != std::string::npos; };

  if (selected('m')) files[".mic"] = ExpectedBitmap(spec);
  if (selected('f')) {
    Bytes& fnt = files[".fnt"];
    for (int f = 0; f < 30; ++f) {
      bool used = false;
      for (int line = 0; line < 30; ++line) used = used || font_of(line) == f;
      if (!used) continue;
      for (int i = 0; i < 1024; ++i) fnt.push_back(GlyphByte(spec, f, i / 8, i % 8));
    }
  }
  if (selected('s')) {
    Bytes& scr = files[".scr"];
    for (int line = 0; line < 30; ++line) {
      for (int x = 0; x < width; ++x) scr.push_back(included(line) ? ScreenCode(spec, line, x) : 127);
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
      col.insert(col.end(), spec.colours.begin() + t * 256, spec.colours.begin() + t * 256 + 240);
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
