#include <array>
#include <cstdint>
#include <cstring>

#include "export/side_files.h"

namespace qdp {
namespace {

// Colour entries exported per table: one per bitmap line.
constexpr size_t kColourEntries = kBitmapLines;

}  // namespace

void SaveMicFile(const Workspace& ws, FileSystem& fs, const std::string& file_name) {
  const size_t width = static_cast<size_t>(LineCells(ws));
  // Rows are packed to the picture's width and go out in one write.
  std::array<uint8_t, kBitmapLines * kRowStride> records;
  for (size_t r = 0; r < kBitmapLines; ++r) {
    std::memcpy(&records[r * width], &ws.Bitmap[r * kRowStride], width);
  }
  WriteSideFile(fs, file_name, std::span(records.data(), kBitmapLines * width));
}

void SaveColFile(const Workspace& ws, FileSystem& fs, const std::string& file_name) {
  // Entries 240 to 255 of each table belong to no bitmap line; the file
  // holds zeros there whatever memory holds.
  std::array<uint8_t, kColourTableCount * kColourTableBytes> blocks{};
  for (size_t t = 0; t < kColourTableCount; ++t) {
    std::memcpy(&blocks[t * kColourTableBytes], &ws.ColourTables[t * kColourTableBytes],
                kColourEntries);
  }
  WriteSideFile(fs, file_name, std::span<const uint8_t>(blocks));
}

}  // namespace qdp
