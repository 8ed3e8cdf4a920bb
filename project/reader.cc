#include "project/reader.h"

#include <algorithm>
#include <memory>

#include "convert/reconstruct.h"
#include "convert/render.h"
#include "platform/error.h"
#include "project/container.h"
#include "project/conversion_choice.h"
#include "project/project_format.h"

namespace qdp {
namespace {

constexpr uint8_t kHighestCharsPerFont = 127;

// Reads into `data` and adds what was delivered to `counter`.
void ReadCounted(File& file, void* data, size_t size, uint64_t& counter) {
  counter += file.Read(data, size);
}

}  // namespace

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
  ReadCounted(*file, ws.IoBuffer.data(), kHeaderBytes, counter);
  ws.LineWidth = ws.IoBuffer[0] & kWidthMask;
  ws.CharacterMode = ws.IoBuffer[1] & kCharacterModeMask;
  ws.LastDeclaredFont = ws.IoBuffer[2] & kLastFontMask;
  const uint8_t mode_byte = ws.IoBuffer[1];
  const int fonts = ws.LastDeclaredFont + 1;

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
  if (counter < kHeaderBytes) throw ProjectError("Incomplete project header");

  for (int i = 0; i < kScreenLines; ++i) {
    ReadCounted(*file, ws.ScreenPages[0].data() + ws.RowOffsetTable[i], width, counter);
  }
  ws.ScreenPages[1] = ws.ScreenPages[0];

  ReadCounted(*file, ws.FontBank.data(), kFontFileBytes * fonts, counter);
  ReadCounted(*file, ws.LineFontTable.data(), ws.LineFontTable.size(), counter);

  // The layout test needs the line table before its new-font bits are
  // split off.
  ws.Conversion = ChooseConversion(mode_byte, width, fonts, ws.LineFontTable);

  for (int i = 0; i < kScreenLines; ++i) {
    ws.LineInverseFlags[i] = (ws.LineFontTable[i] & kNewFontBit) != 0;
    ws.LineFontTable[i] &= kFontNumberMask;
  }
  ws.Loaded.LineFonts = ws.LineFontTable;

  // The skip table lies far behind the colour tables but is needed before
  // rendering, so it is fetched ahead. When the file ends before it or
  // inside it, the undelivered bytes still hold the header and zeros, which
  // never pass the test, so a block cut short is never taken.
  file->Seek(counter + kSkipTableFromColours);
  file->Read(ws.IoBuffer.data(), kSkipTableBytes);
  if (std::all_of(ws.IoBuffer.begin(), ws.IoBuffer.begin() + kSkipTableBytes, IsSkipTableValue)) {
    for (int i = 0; i < kScreenLines; ++i) {
      ws.LineSkipTable[i] = ws.IoBuffer[i] == kLineNotInUse ? 0 : ws.IoBuffer[i];
    }
  }

  RenderScreen(ws);

  // The rest of the tail is project data this program has no use for, so
  // only the colour tables and the characters-per-font byte are read;
  // positioning passes over the blocks in between.
  file->Seek(counter);
  file->Read(ws.ColourTables.data(), ws.ColourTables.size());
  file->Seek(counter + kCharsPerFontLimitFromColours);
  ws.IoBuffer[0] = kHighestCharsPerFont;
  file->Read(ws.IoBuffer.data(), 1);
  ws.CharsPerFontLimit = std::min(ws.IoBuffer[0], kHighestCharsPerFont);

  ReconstructCharset(ws);
}

}  // namespace qdp
