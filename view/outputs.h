// The pictures qdpview writes for each input, in the order it writes them.
// The file names, the checks that no two inputs write one file, the
// summary's lines, the JSON keys and the pictures the page draws are taken
// from this list; the usage text and the page's layout name them by hand.
#ifndef QDPEXT_VIEW_OUTPUTS_H_
#define QDPEXT_VIEW_OUTPUTS_H_

#include <array>

#include "view/colour_picture.h"
#include "view/command_line.h"
#include "view/drawing.h"
#include "view/image.h"
#include "view/preview_images.h"
#include "view/project_view.h"

namespace qdp::view {

struct Output {
  const char* Suffix;   // what replaces the input's extension: STEM.png
  const char* Name;     // in the summary and the errors
  const char* JsonKey;  // its file in the JSON
  // Drawn from the rebuilt fonts, so not when the rebuild failed; a file
  // left at its name by an earlier run is then removed.
  bool NeedsRebuild;
  int ScaleFactor;  // times --scale
  bool (*Wanted)(const ViewOptions& options);
  // `view` and `drawing` outlive the image.
  IndexedImage (*Draw)(const ProjectView& view, const Drawing& drawing);
};

inline constexpr auto kOutputs = std::to_array<Output>({
    {".png", "preview", "preview", false, 1, [](const ViewOptions& o) { return o.Images; },
     [](const ProjectView& view, const Drawing& drawing) {
       if (drawing.Bits) return BitmapImage(view.Project());
       return ColourPicture(view.Project(), view.Charset(), drawing.Palette, drawing.Gtia);
     }},
    // Twice the picture's scale: a glyph at the picture's own size is too
    // small to read on a screen.
    {"-fonts.png", "font sheet", "font_sheet", true, 2,
     [](const ViewOptions& o) { return o.Images; },
     [](const ProjectView& view, const Drawing&) {
       return FontSheetImage(view.Project(), view.FontNumbers());
     }},
});

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_OUTPUTS_H_
