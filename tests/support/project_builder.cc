#include "tests/support/project_builder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace qdp::testing {

ProjectContent::ProjectContent() { line_mode_table.fill(1); }

void ProjectContent::SetCell(int line, int column, uint8_t code) {
  size_t width = static_cast<size_t>(Width());
  if (screen.size() < 30 * width) screen.resize(30 * width, 0);
  screen[static_cast<size_t>(line) * width + static_cast<size_t>(column)] = code;
}

void ProjectContent::SetGlyph(int font, int character, const std::array<uint8_t, 8>& rows) {
  size_t at = static_cast<size_t>(font) * 1024 + static_cast<size_t>(character) * 8;
  if (fonts.size() < at + 8)
    fonts.resize(std::max(at + 8, static_cast<size_t>(FontCount()) * 1024), 0);
  std::copy(rows.begin(), rows.end(), fonts.begin() + static_cast<std::ptrdiff_t>(at));
}

ProjectContent KeptFontsProject() {
  ProjectContent content;
  content.mode_byte = kNoConversionBit | 1;
  content.fonts_byte = 1;
  content.SetGlyph(1, 3, {1, 2, 3, 4, 5, 6, 7, 8});
  content.SetCell(5, 5, 3);
  content.line_fonts[5] = 1;
  content.colours.fill(9);
  return content;
}

Bytes BuildProject(const ProjectContent& content, size_t surplus) {
  ProjectLayout layout = content.GetLayout();
  Bytes out(layout.FullLength() + surplus, content.filler);
  out[0] = content.width_byte;
  out[1] = content.mode_byte;
  out[2] = content.fonts_byte;
  auto put = [&out](size_t at, const uint8_t* data, size_t size, size_t limit) {
    size = std::min(size, limit);
    std::copy(data, data + size, out.begin() + static_cast<std::ptrdiff_t>(at));
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(at + size),
              out.begin() + static_cast<std::ptrdiff_t>(at + limit), 0);
  };
  put(layout.Screen(), content.screen.data(), content.screen.size(),
      layout.Fonts() - layout.Screen());
  put(layout.Fonts(), content.fonts.data(), content.fonts.size(),
      layout.LineFonts() - layout.Fonts());
  put(layout.LineFonts(), content.line_fonts.data(), 30, kLineFontTableBytes);
  put(layout.ColourTables(), content.colours.data(), content.colours.size(), kColourTablesBytes);
  if (!content.player_colours.empty()) {
    put(layout.PlayerColourTables(), content.player_colours.data(), content.player_colours.size(),
        kPlayerColourTablesBytes);
  }
  put(layout.LineModeTable(), content.line_mode_table.data(), 30, kLineModeTableBytes);
  out[layout.CharsPerFontLimit()] = content.chars_per_font;
  return out;
}

namespace {

Bytes Deflate(const Bytes& plain, int level, const Bytes* dictionary) {
  z_stream zs{};
  if (deflateInit(&zs, level) != Z_OK) throw std::runtime_error("deflateInit");
  if (dictionary != nullptr &&
      deflateSetDictionary(&zs, dictionary->data(), static_cast<uInt>(dictionary->size())) !=
          Z_OK) {
    throw std::runtime_error("deflateSetDictionary");
  }
  Bytes out(kContainerMagic.begin(), kContainerMagic.end());
  out.resize(kMagicLength + deflateBound(&zs, static_cast<uLong>(plain.size())) + 64);
  zs.next_in = const_cast<Bytef*>(plain.data());
  zs.avail_in = static_cast<uInt>(plain.size());
  zs.next_out = out.data() + kMagicLength;
  zs.avail_out = static_cast<uInt>(out.size() - kMagicLength);
  if (deflate(&zs, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(kMagicLength + zs.total_out);
  deflateEnd(&zs);
  return out;
}

}  // namespace

Bytes Compress(const Bytes& plain, int level) { return Deflate(plain, level, nullptr); }

Bytes CompressWithDictionary(const Bytes& plain, const Bytes& dictionary) {
  return Deflate(plain, 6, &dictionary);
}

void StreamCompressedZeros(uint64_t size, const Bytes& prefix, int level,
                           const std::function<void(const uint8_t*, size_t)>& sink) {
  z_stream zs{};
  if (deflateInit(&zs, level) != Z_OK) throw std::runtime_error("deflateInit");
  sink(kContainerMagic.data(), kContainerMagic.size());
  Bytes zeros(1 << 20, 0);
  Bytes chunk(1 << 16);
  auto feed = [&](const uint8_t* data, size_t length, int flush) {
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = static_cast<uInt>(length);
    do {
      zs.next_out = chunk.data();
      zs.avail_out = static_cast<uInt>(chunk.size());
      deflate(&zs, flush);
      sink(chunk.data(), chunk.size() - zs.avail_out);
    } while (zs.avail_out == 0 || zs.avail_in != 0);
  };
  feed(prefix.data(), prefix.size(), size == 0 ? Z_FINISH : Z_NO_FLUSH);
  for (uint64_t left = size; left > 0;) {
    size_t take = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
    left -= take;
    feed(zeros.data(), take, left == 0 ? Z_FINISH : Z_NO_FLUSH);
  }
  deflateEnd(&zs);
}

Bytes CompressedZeros(uint64_t size, const Bytes& prefix) {
  Bytes out;
  StreamCompressedZeros(size, prefix, 9, [&out](const uint8_t* data, size_t length) {
    out.insert(out.end(), data, data + length);
  });
  return out;
}

Bytes Truncated(Bytes bytes, size_t length) {
  bytes.resize(std::min(length, bytes.size()));
  return bytes;
}

Bytes WithTrailing(Bytes bytes, const Bytes& extra) {
  bytes.insert(bytes.end(), extra.begin(), extra.end());
  return bytes;
}

Bytes WithChangedByte(Bytes bytes, size_t at, uint8_t xor_mask) {
  bytes.at(at) ^= xor_mask;
  return bytes;
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

ScratchDir::ScratchDir() {
  // $TMPDIR (else /tmp) on POSIX, GetTempPathW's folder on Windows.
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    std::filesystem::path candidate = base / (std::string("qdptest-") + suffix);
    // Creating the directory is the test for whether the name is free.
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot make a scratch directory in " + base.string());
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> ScratchDir::List() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qdp::testing
