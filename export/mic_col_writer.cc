#include <array>
#include <cstdint>
#include <cstring>

#include "export/side_files.h"

namespace qdp {

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
  // Entries past the bitmap's lines belong to no line: zeros in the file.
  std::array<uint8_t, kColourTableCount * kColourTableBytes> blocks{};
  for (size_t t = 0; t < kColourTableCount; ++t) {
    std::memcpy(&blocks[t * kColourTableBytes], &ws.ColourTables[t * kColourTableBytes],
                kColourEntries);
  }
  WriteSideFile(fs, file_name, std::span<const uint8_t>(blocks));
}

}  // namespace qdp
