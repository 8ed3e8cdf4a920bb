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

  std::unique_ptr<File> file = fs.OpenForReading(file_name);
  std::array<uint8_t, kContainerMagic.size()> magic{};
  file->Read(magic.data(), magic.size());
  if (magic == kContainerMagic) {
    std::unique_ptr<File> plain = UnpackContainer(fs, *file);
    file->Close();
    file = std::move(plain);
  }

  uint64_t counter = 0;
  file->Seek(0);
  ws.Screen.fill(0);
  ws.Bitmap.fill(0);

  // What a file too short to hold them does not supply stays zero.
  std::array<uint8_t, kHeaderBytes> header{};
  ReadCounted(*file, header.data(), header.size(), counter);
  ws.LineWidth = header[0] & kWidthMask;
  ws.CharacterMode = header[1] & kCharacterModeMask;
  ws.LastDeclaredFont = header[2] & kLastFontMask;
  const uint8_t mode_byte = header[1];
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
    ReadCounted(*file, ws.Screen.data() + RowOffset(i), width, counter);
  }
  for (int p = 0; p < kScreenBytes; ++p) ws.InverseMarks[p] = (ws.Screen[p] & kInverseBit) != 0;

  ReadCounted(*file, ws.FontBank.data(), kFontFileBytes * fonts, counter);
  ReadCounted(*file, ws.LineFontTable.data(), ws.LineFontTable.size(), counter);

  // The layout test needs the line table before its new-font bits are
  // split off.
  ws.Conversion = ChooseConversion(mode_byte, width, fonts, ws.LineFontTable);

  for (int i = 0; i < kScreenLines; ++i) {
    ws.LineStartsNewFont[i] = (ws.LineFontTable[i] & kNewFontBit) != 0;
    ws.LineFontTable[i] &= kFontNumberMask;
  }
  ws.Loaded.LineFonts = ws.LineFontTable;

  // The skip table lies far behind the colour tables, so it is fetched
  // ahead while the file is positioned there anyway. A table the file ends
  // before or inside keeps zeros where it was not delivered, which never
  // pass the test, so a table cut short is never taken.
  std::array<uint8_t, kSkipTableBytes> skip{};
  file->Seek(counter + kSkipTableFromColours);
  file->Read(skip.data(), skip.size());
  if (std::all_of(skip.begin(), skip.end(), IsSkipTableValue)) {
    for (int i = 0; i < kScreenLines; ++i) {
      ws.LinesInUse[i] = skip[i] != kLineNotInUse;
    }
  }

  RenderScreen(ws);

  // The rest of the tail is project data this program has no use for, so
  // only the colour tables and the characters-per-font byte are read;
  // positioning passes over the blocks in between.
  file->Seek(counter);
  file->Read(ws.ColourTables.data(), ws.ColourTables.size());
  file->Seek(counter + kCharsPerFontLimitFromColours);
  uint8_t limit = kHighestCharsPerFont;
  file->Read(&limit, 1);
  ws.CharsPerFontLimit = std::min(limit, kHighestCharsPerFont);

  ReconstructCharset(ws);
}

}  // namespace qdp
