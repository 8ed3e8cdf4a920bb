#include <array>
#include <cstdint>
#include <cstring>

#include "export/side_files.h"

namespace qdp {
namespace {

// Only fonts 0 to 29 go to the .fnt file; FontUnusedFlags has one more
// mark (30) that lines with font 30 land on harmlessly.
constexpr int kExportedFonts = 30;
constexpr uint8_t kUnused = 255;
// A skipped line's .scr record is made of this code.
constexpr uint8_t kSkippedLineCode = 127;

using LineFlags = std::array<bool, kScreenLines>;

// A line whose skip-table entry is 0 is left out of .scr (filler) and .tab.
LineFlags IncludedLines(const Workspace& ws) {
  LineFlags included{};
  for (int i = 0; i < kScreenLines; ++i) included[i] = ws.LineSkipTable[i] != 0;
  return included;
}

void MarkUsedFonts(Workspace& ws) {
  ws.FontUnusedFlags.fill(kUnused);
  for (uint8_t font : ws.LineFontTable) {
    if (font < ws.FontUnusedFlags.size()) ws.FontUnusedFlags[font] = 0;
  }
}

void WriteFonts(Workspace& ws, FileSystem& fs, const std::string& name) {
  MarkUsedFonts(ws);
  std::unique_ptr<File> file = fs.CreateForWriting(name);
  for (int f = 0; f < kExportedFonts; ++f) {
    if (ws.FontUnusedFlags[f] == 0) file->Write(&ws.FontBank[f * kFontBytes], kFontBytes);
  }
  file->Close();
}

void WriteScreen(const Workspace& ws, const LineFlags& included, FileSystem& fs,
                 const std::string& name) {
  const size_t width = static_cast<size_t>(LineCells(ws));
  // The whole file is assembled first so that it goes out in one write.
  std::array<uint8_t, kScreenLines * kRowStride> records;
  for (int i = 0; i < kScreenLines; ++i) {
    uint8_t* record = &records[i * width];
    if (included[i]) {
      std::memcpy(record, &ws.ScreenPages[0][ws.RowOffsetTable[i]], width);
    } else {
      std::memset(record, kSkippedLineCode, width);
    }
  }
  std::unique_ptr<File> file = fs.CreateForWriting(name);
  file->Write(records.data(), kScreenLines * width);
  file->Close();
}

void WriteLineTable(const Workspace& ws, const LineFlags& included, FileSystem& fs,
                    const std::string& name) {
  std::array<uint8_t, kScreenLines> fonts;
  size_t count = 0;
  for (int i = 0; i < kScreenLines; ++i) {
    if (included[i]) fonts[count++] = ws.LineFontTable[i];
  }
  std::unique_ptr<File> file = fs.CreateForWriting(name);
  file->Write(fonts.data(), count);
  file->Close();
}

}  // namespace

void SaveFntScrTab(Workspace& ws, FileSystem& fs, bool fonts, bool screen, bool table,
                   const std::string& input_name) {
  // Derived once, so .scr and .tab always agree on which lines count.
  const LineFlags included = IncludedLines(ws);
  if (fonts) WriteFonts(ws, fs, SideFileName(input_name, ".fnt"));
  if (screen) WriteScreen(ws, included, fs, SideFileName(input_name, ".scr"));
  if (table && LineTableDue(ws)) {
    WriteLineTable(ws, included, fs, SideFileName(input_name, ".tab"));
  }
}

}  // namespace qdp
