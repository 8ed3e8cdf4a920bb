// Test support: builds project files byte by byte (plain, with every block
// at its offset, cut at any length or with surplus) and compressed
// containers (valid, truncated, with trailing bytes, corrupted, asking for
// a preset dictionary), plus small file helpers for tests that run the
// real program in a scratch directory.
#ifndef QDPEXT_TESTS_SUPPORT_PROJECT_BUILDER_H_
#define QDPEXT_TESTS_SUPPORT_PROJECT_BUILDER_H_

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/project_format.h"

namespace qdp::testing {

using Bytes = std::vector<uint8_t>;

// Everything a plain project holds that the program reads. Header bytes are
// raw, so tests can set the flag bits and out-of-range values.
struct ProjectContent {
  uint8_t width_byte = 40;  // header byte 0: width, bit 7 ignored
  uint8_t mode_byte = 1;    // header byte 1: character mode and conversion bits
  uint8_t fonts_byte = 0;   // header byte 2: fonts - 1, bit 7 ignored
  // Screen codes, 30 lines of `Width()` bytes; shorter means zero-filled.
  Bytes screen;
  // Fonts, 1024 bytes each, font 0 first; shorter means zero-filled.
  Bytes fonts;
  std::array<uint8_t, 30> line_fonts{};
  std::array<uint8_t, 1280> colours{};
  // The four player colour tables, 1024 bytes; empty leaves the filler there.
  Bytes player_colours;
  std::array<uint8_t, 30> line_mode_table{};  // 1, 2, 4 or 255 when valid
  uint8_t chars_per_font = 127;               // the characters-per-font limit
  uint8_t filler = 0;                         // value of every block the program skips

  ProjectContent();  // a valid project: width 40, mode 1, one font, every line in use
  int Width() const { return width_byte & 0x7F; }
  int FontCount() const { return (fonts_byte & 0x7F) + 1; }
  ProjectLayout GetLayout() const { return ProjectLayout{Width(), FontCount()}; }

  // Convenience setters for the screen and the fonts.
  void SetCell(int line, int column, uint8_t code);
  void SetGlyph(int font, int character, const std::array<uint8_t, 8>& rows);
};

// A small valid project that keeps its fonts and screen as stored, with a
// line in font 1 so that every side file, the line table too, is written.
ProjectContent KeptFontsProject();

// The project's bytes in the full layout, then `surplus` extra bytes.
Bytes BuildProject(const ProjectContent& content, size_t surplus = 0);

// "QDPZLIB" followed by one zlib stream of `plain`.
Bytes Compress(const Bytes& plain, int level = 6);
// The same, with a zlib stream whose header asks for a preset dictionary.
Bytes CompressWithDictionary(const Bytes& plain, const Bytes& dictionary);
// "QDPZLIB" followed by a zlib stream that decodes to `prefix` and then
// `size` zero bytes, made in pieces so that the decoded bytes are never all
// in memory. The streaming form hands the container to `sink` piece by
// piece, so that it need not be in memory either.
Bytes CompressedZeros(uint64_t size, const Bytes& prefix = {});
void StreamCompressedZeros(uint64_t size, const Bytes& prefix, int level,
                           const std::function<void(const uint8_t*, size_t)>& sink);
// Damaged variants of a container (or any byte string): cut to `length`
// bytes, followed by `extra`, or with the byte at `at` changed.
Bytes Truncated(Bytes bytes, size_t length);
Bytes WithTrailing(Bytes bytes, const Bytes& extra);
Bytes WithChangedByte(Bytes bytes, size_t at, uint8_t xor_mask = 0x55);
// Offset of the first byte after the magic.
inline constexpr size_t kMagicLength = kContainerMagic.size();

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
bool FileExists(const std::string& path);

// A fresh directory below $TMPDIR (or /tmp), removed with its contents when
// the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Names of the entries in the directory, sorted.
  std::vector<std::string> List() const;

 private:
  std::string path_;
};

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_SUPPORT_PROJECT_BUILDER_H_
