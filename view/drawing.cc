#include "view/drawing.h"

#include <optional>

namespace qdp::view {

Drawing ChooseDrawing(const ViewOptions& options, FileSystem& fs) {
  Drawing drawing;
  drawing.PaletteName = options.Palette;
  drawing.Gtia = options.Gtia;
  drawing.Bits = options.Bits;
  if (std::optional<BuiltInPaletteKind> kind = BuiltInPaletteByName(options.Palette)) {
    drawing.Palette = BuiltInPalette(*kind);
    drawing.PaletteName = NameIn(kBuiltInPaletteNames, *kind);  // "pal" however it was typed
  } else {
    drawing.Palette = ReadPaletteFile(fs, options.Palette);
  }
  return drawing;
}

}  // namespace qdp::view
