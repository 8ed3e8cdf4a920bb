#include "project/writer.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>

#include "platform/error.h"
#include "project/conversion_choice.h"
#include "project/project_format.h"

namespace qdp {
namespace {

// The header bit that makes the reader choose `choice`, or none when the
// layout chose it (a header without bits leaves the choice to the layout).
uint8_t ConversionBits(const ConversionChoice& choice) {
  return choice.Source == ConversionSource::kHeaderBits ? ConversionBitOf(choice.Kind) : 0;
}

void Put(std::vector<uint8_t>& bytes, uint64_t offset, const uint8_t* data, size_t size) {
  std::copy_n(data, size, bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace

std::vector<uint8_t> PlainProjectBytes(const Workspace& ws) {
  const int width = ws.LineWidth;
  if (width != 32 && width != 40 && width != 48) {
    throw std::logic_error("a project is written with a line width of 32, 40 or 48");
  }
  const int fonts = (ws.LastDeclaredFont & kLastFontMask) + 1;
  const ProjectLayout layout{width, fonts};
  std::vector<uint8_t> bytes(layout.FullLength(), 0);

  bytes[0] = static_cast<uint8_t>(width);
  bytes[1] =
      static_cast<uint8_t>((ws.CharacterMode & kCharacterModeMask) | ConversionBits(ws.Conversion));
  bytes[2] = static_cast<uint8_t>(fonts - 1);
  for (int line = 0; line < kScreenLines; ++line) {
    Put(bytes, layout.Screen() + static_cast<uint64_t>(line) * width,
        ws.Screen.data() + RowOffset(line), static_cast<size_t>(width));
  }
  Put(bytes, layout.Fonts(), ws.FontBank.data(), kFontFileBytes * static_cast<size_t>(fonts));
  for (int line = 0; line < kScreenLines; ++line) {
    bytes[layout.LineFonts() + static_cast<uint64_t>(line)] =
        static_cast<uint8_t>((ws.LineFontTable[line] & kFontNumberMask) |
                             (ws.LineStartsNewFont[line] ? kNewFontBit : 0));
  }
  Put(bytes, layout.ColourTables(), ws.ColourTables.data(), ws.ColourTables.size());
  Put(bytes, layout.PlayerColourTables(), ws.PlayerColourTables.data(),
      ws.PlayerColourTables.size());
  if (ws.LineModesValid) {
    for (int line = 0; line < kScreenLines; ++line) {
      bytes[layout.LineModeTable() + static_cast<uint64_t>(line)] =
          static_cast<uint8_t>(ws.LineModes[line]);
    }
  }
  bytes[layout.CharsPerFontLimit()] = ws.CharsPerFontLimit;
  return bytes;
}

std::vector<uint8_t> CompressedProjectBytes(const std::vector<uint8_t>& plain) {
  uLongf size = compressBound(static_cast<uLong>(plain.size()));
  std::vector<uint8_t> bytes(kContainerMagic.size() + size);
  std::copy(kContainerMagic.begin(), kContainerMagic.end(), bytes.begin());
  const int status = compress2(bytes.data() + kContainerMagic.size(), &size, plain.data(),
                               static_cast<uLong>(plain.size()), Z_BEST_COMPRESSION);
  if (status == Z_MEM_ERROR) throw std::bad_alloc();
  if (status != Z_OK) throw std::logic_error("zlib could not compress the project");
  bytes.resize(kContainerMagic.size() + size);
  return bytes;
}

void WriteProject(const Workspace& ws, ProjectForm form, FileSystem& fs, const std::string& path) {
  std::vector<uint8_t> bytes = PlainProjectBytes(ws);
  if (form == ProjectForm::kCompressed) bytes = CompressedProjectBytes(bytes);
  std::unique_ptr<File> file = fs.CreateReplacing(path);
  file->Write(bytes.data(), bytes.size());
  file->Close();
}

}  // namespace qdp
