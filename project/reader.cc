#include "project/reader.h"

#include <algorithm>
#include <memory>

#include "convert/reconstruct.h"
#include "convert/render.h"
#include "platform/error.h"
#include "project/container.h"

namespace qdp {
namespace {

// Distances from the colour tables (the first block after the line-font
// table) to the two later blocks the reader takes values from.
constexpr uint64_t kSkipTableDistance = 153664;
constexpr uint64_t kCharsPerFontDistance = 153920;

constexpr uint8_t kHighestCharsPerFont = 127;

bool IsSkipValue(uint8_t v) { return v == 1 || v == 2 || v == 4 || v == 255; }

// Reads into `data` and adds what was delivered to `counter`.
void ReadCounted(File& file, void* data, size_t size, uint64_t& counter) {
  counter += file.Read(data, size);
}

}  // namespace

void SetModeFlag(Workspace& ws, int k) {
  ws.ModeFlag1 = k == 1;
  ws.ModeFlag2 = k == 2;
  ws.ModeFlag3 = k == 3;
}

void DecideConversionMode(Workspace& ws, int fonts) {
  bool alternating = true;
  for (int i = 0; i < kScreenLines; ++i) alternating &= ws.LineFontTable[i] == (i & 1);
  if (alternating) {
    ws.ModeFlag3 = true;
    return;
  }
  // The layouts whose fonts hold exactly one character per cell.
  int width = ws.LineWidth;
  if ((width == 32 && fonts == 8) || (width == 40 && fonts == 10) || (width == 48 && fonts == 15)) {
    ws.ModeFlag1 = true;
  } else {
    ws.ModeFlag2 = true;
  }
}

void LoadProject(Workspace& ws, FileSystem& fs, const std::string& file_name) {
  ws.CharsPerFontLimit = kHighestCharsPerFont;

  // Declared before the file so that the file is closed before the
  // temporary files are removed, on every way out of here.
  TempFiles temps(fs);
  std::unique_ptr<File> file = fs.OpenForReading(file_name);
  std::array<uint8_t, ContainerMagic.size()> magic{};
  file->Seek(0);
  file->Read(magic.data(), magic.size());
  if (magic == ContainerMagic) {
    file->Close();
    file.reset();
    TempFile plain = UnpackContainer(ws, fs, file_name, temps);
    file = fs.ReopenTempFile(plain, false);
    temps.Release(plain);
  }

  uint64_t counter = 0;
  file->Seek(0);
  std::fill(ws.ScreenPages[0].begin(), ws.ScreenPages[0].end(), 0);
  std::fill(ws.Bitmap.begin(), ws.Bitmap.end(), 0);

  // A short header leaves the rest of these three bytes as they were: zero,
  // on the plain path and after the container's copy alike.
  ReadCounted(*file, ws.IoBuffer.data(), 3, counter);
  ws.LineWidth = ws.IoBuffer[0] & 0x7F;
  ws.CharacterMode = ws.IoBuffer[1] & 7;
  ws.CurrentFont = ws.IoBuffer[2] & 0x7F;
  const uint8_t mode_bits = ws.IoBuffer[1] & 0xF8;
  const int fonts = ws.CurrentFont + 1;

  // Going on with a header we cannot read would write side files full of
  // zeros over whatever the user had, so the run stops here instead.
  const int width = ws.LineWidth;
  if (width != 32 && width != 40 && width != 48) {
    throw ProjectError("Unsupported line width " + std::to_string(width));
  }
  const int mode = ws.CharacterMode;
  if (mode != 1 && mode != 2 && mode != 4) {
    throw ProjectError("Unsupported character mode " + std::to_string(mode));
  }
  // The missing bytes of a header cut short would come from the zeros in
  // the buffer, and a file that short holds no picture anyway.
  if (counter < 3) throw ProjectError("Incomplete project header");

  for (int i = 0; i < kScreenLines; ++i) {
    ReadCounted(*file, ws.ScreenPages[0].data() + ws.RowOffsetTable[i], width, counter);
  }
  ws.ScreenPages[1] = ws.ScreenPages[0];

  SetModeFlag(ws, 0);
  ReadCounted(*file, ws.FontBank.data(), static_cast<size_t>(kFontBytes) * fonts, counter);
  ReadCounted(*file, ws.LineFontTable.data(), ws.LineFontTable.size(), counter);

  if (mode_bits == 0) {
    DecideConversionMode(ws, fonts);
  } else {
    // Each call clears the others first, so the last set bit in this order
    // wins; 0x08 asks for no conversion at all and 0x20 means nothing here.
    if (mode_bits & 0x80) SetModeFlag(ws, 1);
    if (mode_bits & 0x40) SetModeFlag(ws, 2);
    if (mode_bits & 0x10) SetModeFlag(ws, 3);
    if (mode_bits & 0x08) SetModeFlag(ws, 4);
  }

  for (int i = 0; i < kScreenLines; ++i) {
    ws.LineInverseFlags[i] = ws.LineFontTable[i] > 127 ? 255 : 0;
    ws.LineFontTable[i] &= 0x7F;
  }
  ws.Loaded.StoredFonts = static_cast<uint8_t>(fonts);
  ws.Loaded.ConversionFromHeader = mode_bits != 0;
  ws.Loaded.LineFonts = ws.LineFontTable;

  // The skip table lies far behind the colour tables but is needed before
  // rendering, so it is fetched ahead. When the file ends before it or
  // inside it, the undelivered bytes still hold the header and zeros, which
  // never pass the test, so a block cut short is never taken.
  file->Seek(counter + kSkipTableDistance);
  file->Read(ws.IoBuffer.data(), kScreenLines);
  if (std::all_of(ws.IoBuffer.begin(), ws.IoBuffer.begin() + kScreenLines, IsSkipValue)) {
    for (int i = 0; i < kScreenLines; ++i) {
      ws.LineSkipTable[i] = ws.IoBuffer[i] == 255 ? 0 : ws.IoBuffer[i];
    }
  }

  RenderScreen(ws);

  // The rest of the tail is project data this program has no use for, so
  // only the colour tables and the characters-per-font byte are read;
  // positioning passes over the blocks in between.
  file->Seek(counter);
  file->Read(ws.ColourTables.data(), ws.ColourTables.size());
  file->Seek(counter + kCharsPerFontDistance);
  ws.IoBuffer[0] = kHighestCharsPerFont;
  file->Read(ws.IoBuffer.data(), 1);
  ws.CharsPerFontLimit = std::min(ws.IoBuffer[0], kHighestCharsPerFont);

  ReconstructCharset(ws);
}

}  // namespace qdp
