#include "import/import_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "import/oklab.h"
#include "import/picture_error.h"
#include "project/project_format.h"
#include "view/colour_picture.h"

namespace qdp::import {
namespace {

constexpr uint8_t kGreys[4] = {0x00, 0x06, 0x0A, 0x0E};

}  // namespace

view::IndexedImage MachinePicture(const Workspace& ws, const view::AtariPalette& palette) {
  return view::ColourPicture(ws, view::CharsetOf(ws), palette, view::GtiaMode::kLuminances);
}

ImportReport ImportPicture(const SourcePicture& source, const ImportOptions& options,
                           const view::AtariPalette& palette, Workspace& ws) {
  (void)options;
  const PictureSize* size = AcceptedSize(source.Width, source.Height);
  const int cells = size->LineWidth;
  const int scale = size->HalfWidth ? 1 : 2;  // source pixels per four-colour pixel
  ws.LineWidth = static_cast<uint8_t>(cells);
  ws.CharacterMode = 2;
  ws.Conversion = {ConversionKind::kNone, ConversionSource::kHeaderBits};
  ws.CharsPerFontLimit = kCharsPerFont - 1;
  Lab greys[4];
  for (int i = 0; i < 4; ++i) greys[i] = OkLabOf(palette[kGreys[i]]);
  for (int y = 0; y < kBitmapLines; ++y) {
    for (int r = 0; r < 4; ++r) ws.ColourTables[r * kColourTableBytes + y] = kGreys[r];
    ws.ColourTables[4 * kColourTableBytes + y] = kGreys[3];
  }
  for (int line = 0; line < kScreenLines; ++line) {
    ws.LineModes[line] = LineMode::kFourColour;
    ws.LineFontTable[line] = static_cast<uint8_t>(line);
    int used = 0;
    for (int cell = 0; cell < cells; ++cell) {
      std::array<uint8_t, kCharBytes> glyph{};
      for (int row = 0; row < kCharBytes; ++row) {
        const int y = line * kCharBytes + row;
        for (int p = 0; p < 4; ++p) {
          const int x = (cell * 4 + p) * scale;
          const Lab c = OkLabOf(source.Pixels[static_cast<size_t>(y) * source.Width + x]);
          int best = 0;
          for (int k = 1; k < 4; ++k) {
            if (Distance2(c, greys[k]) < Distance2(c, greys[best])) best = k;
          }
          glyph[row] = static_cast<uint8_t>(glyph[row] | best << (6 - 2 * p));
        }
      }
      uint8_t* font = ws.FontBank.data() + line * kFontBytes;
      int found = 0;
      while (found < used &&
             std::memcmp(font + found * kCharBytes, glyph.data(), kCharBytes) != 0) {
        ++found;
      }
      if (found == used) std::memcpy(font + used++ * kCharBytes, glyph.data(), kCharBytes);
      ws.Screen[RowOffset(line) + cell] = static_cast<uint8_t>(found);
    }
  }
  ws.LineModesValid = true;
  ws.LastDeclaredFont = kScreenLines - 1;
  ws.HighestFontInUse = kScreenLines - 1;
  ImportReport report;
  report.Modes = ws.LineModes;
  report.FontsUsed = report.FontsNeeded = kScreenLines;
  report.Error = PictureError(source, MachinePicture(ws, palette));
  return report;
}

}  // namespace qdp::import
