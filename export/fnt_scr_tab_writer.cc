#include <array>
#include <cstdint>
#include <cstring>

#include "export/side_files.h"

namespace qdp {

void SaveFntFile(const Workspace& ws, FileSystem& fs, const std::string& file_name) {
  // A font counts when any line uses it, whether that line is in use or not.
  std::array<bool, kFontsInFontFile> used{};
  for (uint8_t font : ws.LineFontTable) {
    if (font < kFontsInFontFile) used[font] = true;
  }
  std::array<uint8_t, kFontsInFontFile * kFontBytes> fonts;
  size_t size = 0;
  for (int f = 0; f < kFontsInFontFile; ++f) {
    if (!used[f]) continue;
    std::memcpy(&fonts[size], &ws.FontBank[f * kFontBytes], kFontBytes);
    size += kFontBytes;
  }
  WriteSideFile(fs, file_name, std::span(fonts.data(), size));
}

void SaveScrFile(const Workspace& ws, FileSystem& fs, const std::string& file_name) {
  const size_t width = static_cast<size_t>(LineCells(ws));
  // The whole file is assembled first so that it goes out in one write.
  std::array<uint8_t, kScreenLines * kRowStride> records;
  for (int i = 0; i < kScreenLines; ++i) {
    uint8_t* record = &records[i * width];
    if (LineInUse(ws, i)) {
      std::memcpy(record, &ws.Screen[RowOffset(i)], width);
    } else {
      std::memset(record, kLineNotInUseCode, width);
    }
  }
  WriteSideFile(fs, file_name, std::span(records.data(), kScreenLines * width));
}

void SaveTabFile(const Workspace& ws, FileSystem& fs, const std::string& file_name) {
  std::array<uint8_t, kScreenLines> fonts;
  size_t count = 0;
  for (int i = 0; i < kScreenLines; ++i) {
    if (LineInUse(ws, i)) fonts[count++] = ws.LineFontTable[i];
  }
  WriteSideFile(fs, file_name, std::span(fonts.data(), count));
}

bool LineTableDue(const Workspace& ws) { return ws.HighestFontInUse != 0; }

}  // namespace qdp
