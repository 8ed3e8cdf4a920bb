#include "project/reader.h"

#include <algorithm>
#include <memory>

#include "platform/error.h"
#include "project/container.h"
#include "project/conversion_choice.h"
#include "project/project_format.h"

namespace qdp {
namespace {

// Reads `size` bytes at `offset` into `data`; a file that ends before them
// leaves the rest of `data` as it was.
void ReadAt(File& file, uint64_t offset, void* data, size_t size) {
  file.Seek(offset);
  file.Read(data, size);
}

// The input itself, or the plain project a compressed one decodes to.
std::unique_ptr<File> OpenPlain(FileSystem& fs, const std::string& file_name) {
  std::unique_ptr<File> file = fs.OpenForReading(file_name);
  ContainerMagic magic{};
  file->Read(magic.data(), magic.size());
  if (magic != kContainerMagic) return file;
  std::unique_ptr<File> plain = UnpackContainer(fs, *file);
  file->Close();
  return plain;
}

}  // namespace

void LoadProject(Workspace& ws, FileSystem& fs, const std::string& file_name) {
  ws.CharsPerFontLimit = kHighestCharsPerFontLimit;
  std::unique_ptr<File> file = OpenPlain(fs, file_name);

  // What a file too short to hold them does not supply stays zero.
  std::array<uint8_t, kHeaderBytes> header{};
  file->Seek(0);
  const size_t header_read = file->Read(header.data(), header.size());
  ws.LineWidth = header[0] & kWidthMask;
  ws.CharacterMode = header[1] & kCharacterModeMask;
  ws.LastDeclaredFont = header[2] & kLastFontMask;
  const uint8_t mode_byte = header[1];

  // Going on with a header we cannot read would write side files full of
  // zeros over whatever the user had, so the run stops here instead. A
  // byte the file holds is judged as it is; one it lacks makes the header
  // incomplete, rather than a zero from the buffer being named as wrong.
  // (A file that short holds no picture anyway.)
  const ProjectError incomplete("Incomplete project header");
  const int width = ws.LineWidth;
  if (header_read < 1) throw incomplete;
  if (width != 32 && width != 40 && width != 48) {
    throw ProjectError("Unsupported line width " + std::to_string(width));
  }
  const int mode = ws.CharacterMode;
  if (header_read < 2) throw incomplete;
  if (mode != 1 && mode != 2 && mode != 4) {
    throw ProjectError("Unsupported character mode " + std::to_string(mode));
  }
  if (header_read < kHeaderBytes) throw incomplete;

  const ProjectLayout layout{width, ws.LastDeclaredFont + 1};
  file->Seek(layout.Screen());
  for (int i = 0; i < kScreenLines; ++i) file->Read(ws.Screen.data() + RowOffset(i), width);
  for (int p = 0; p < kScreenBytes; ++p) ws.InverseMarks[p] = (ws.Screen[p] & kInverseBit) != 0;

  ReadAt(*file, layout.Fonts(), ws.FontBank.data(), kFontFileBytes * layout.FontCount);
  ReadAt(*file, layout.LineFonts(), ws.LineFontTable.data(), kLineFontTableBytes);

  // The layout test needs the line table before its new-font bits are
  // split off.
  ws.Conversion = ChooseConversion(mode_byte, width, layout.FontCount, ws.LineFontTable);

  for (int i = 0; i < kScreenLines; ++i) {
    ws.LineStartsNewFont[i] = (ws.LineFontTable[i] & kNewFontBit) != 0;
    ws.LineFontTable[i] &= kFontNumberMask;
  }
  ws.Loaded.LineFonts = ws.LineFontTable;

  // The mode table lies far behind the colour tables; it is read first, and
  // the order of the reads decides which one a failing file reports. A
  // table the file ends before or inside keeps zeros
  // where it was not delivered, which are no mode, so a table cut short is
  // never taken.
  std::array<uint8_t, kLineModeTableBytes> modes{};
  ReadAt(*file, layout.LineModeTable(), modes.data(), modes.size());
  if (std::all_of(modes.begin(), modes.end(), IsLineModeValue)) {
    for (int i = 0; i < kScreenLines; ++i) ws.LineModes[i] = static_cast<LineMode>(modes[i]);
    ws.LineModesValid = true;
  }

  // The rest of the tail is project data this program has no use for;
  // positioning passes over it.
  ReadAt(*file, layout.ColourTables(), ws.ColourTables.data(), ws.ColourTables.size());
  ReadAt(*file, layout.PlayerColourTables(), ws.PlayerColourTables.data(),
         ws.PlayerColourTables.size());
  uint8_t limit = kHighestCharsPerFontLimit;
  ReadAt(*file, layout.CharsPerFontLimit(), &limit, 1);
  ws.CharsPerFontLimit = std::min(limit, kHighestCharsPerFontLimit);
}

}  // namespace qdp
