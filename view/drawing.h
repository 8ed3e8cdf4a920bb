// How a run's pictures are drawn, worked out once before any input is
// read: the palette, the GTIA mode, and whether the picture is the 1-bit
// bitmap instead.
#ifndef QDPEXT_VIEW_DRAWING_H_
#define QDPEXT_VIEW_DRAWING_H_

#include <string>

#include "platform/file_system.h"
#include "view/colour_picture.h"
#include "view/command_line.h"
#include "view/palette.h"

namespace qdp::view {

struct Drawing {
  AtariPalette Palette{};
  std::string PaletteName = kDefaultPaletteName;  // a built-in name or the file as given
  GtiaMode Gtia = GtiaMode::kLuminances;
  bool Bits = false;
};

// The drawing `options` ask for. Throws PaletteError when the palette file
// cannot be used.
Drawing ChooseDrawing(const ViewOptions& options, FileSystem& fs);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_DRAWING_H_
