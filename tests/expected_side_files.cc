#include "tests/expected_side_files.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>

#include "app/run_job.h"

namespace qdp::testing {
namespace {

uint8_t ScreenCode(const ProjectContent& content, int line, int column) {
  size_t at = static_cast<size_t>(line * content.Width() + column);
  return at < content.screen.size() ? content.screen[at] : 0;
}

bool LineModeTableValid(const ProjectContent& content) {
  return std::all_of(content.line_mode_table.begin(), content.line_mode_table.end(),
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
  const bool valid = LineModeTableValid(content);
  auto included = [&](int line) { return valid && content.line_mode_table[line] != 255; };
  auto font_of = [&](int line) { return static_cast<uint8_t>(content.line_fonts[line] & 0x7F); };
  uint8_t highest = 0;
  for (int line = 0; line < 30; ++line) highest = std::max(highest, font_of(line));

  // Each side file's contents worked out from the description; nullopt
  // where the file is not written whatever the options.
  auto expected = [&](const std::string& extension) -> std::optional<Bytes> {
    Bytes file;
    if (extension == ".mic") return ExpectedBitmap(content);
    if (extension == ".fnt") {
      for (int f = 0; f < 30; ++f) {
        bool used = false;
        for (int line = 0; line < 30; ++line) used = used || font_of(line) == f;
        if (!used) continue;
        for (int i = 0; i < 1024; ++i) file.push_back(GlyphByte(content, f, i / 8, i % 8));
      }
      return file;
    }
    if (extension == ".scr") {
      for (int line = 0; line < 30; ++line) {
        for (int x = 0; x < width; ++x)
          file.push_back(included(line) ? ScreenCode(content, line, x) : 127);
      }
      return file;
    }
    if (extension == ".tab") {
      if (highest == 0) return std::nullopt;
      for (int line = 0; line < 30; ++line) {
        if (included(line)) file.push_back(font_of(line));
      }
      return file;
    }
    if (extension == ".col") {
      for (int t = 0; t < 5; ++t) {
        file.insert(file.end(), content.colours.begin() + t * 256,
                    content.colours.begin() + t * 256 + 240);
        file.insert(file.end(), 16, 0);
      }
      return file;
    }
    throw std::logic_error("no expectation for side file " + extension);
  };

  SideFiles files;
  for (const SideFile& side_file : kSideFiles) {
    char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(side_file.Letter)));
    if (options.find(letter) == std::string::npos) continue;
    if (std::optional<Bytes> bytes = expected(side_file.Extension))
      files[side_file.Extension] = *bytes;
  }
  return files;
}

SideFiles ReadSideFiles(const std::string& base) {
  SideFiles files;
  for (const SideFile& file : kSideFiles) {
    if (FileExists(base + file.Extension))
      files[file.Extension] = ReadFileBytes(base + file.Extension);
  }
  return files;
}

}  // namespace qdp::testing
