// The pictures qdpview writes for each input, in the order it writes them.
// Everything else (the file names, the checks that no two inputs write one
// file, the summary's lines and the JSON keys) is taken from this list.
#ifndef QDPEXT_VIEW_OUTPUTS_H_
#define QDPEXT_VIEW_OUTPUTS_H_

#include <array>
#include <vector>

#include "view/command_line.h"
#include "view/png_writer.h"
#include "view/preview_images.h"
#include "workspace/workspace.h"

namespace qdp::view {

struct Output {
  const char* suffix;    // what replaces the input's extension: STEM.png
  const char* name;      // in the summary and the errors
  const char* json_key;  // its file in the JSON, or null
  // Drawn from the rebuilt fonts, so not when the rebuild failed; a file
  // left at its name by an earlier run is then removed.
  bool needs_rebuild;
  bool (*wanted)(const ViewOptions& options);
  // `fonts` (the fonts in use after the rebuild) and `ws` outlive the image.
  BitImage (*draw)(const Workspace& ws, const std::vector<int>& fonts);
};

inline constexpr std::array<Output, 2> kOutputs = {{
    {".png", "preview", "preview", false, [](const ViewOptions& o) { return o.images; },
     [](const Workspace& ws, const std::vector<int>&) { return PictureImage(ws); }},
    {"-fonts.png", "font sheet", "font_sheet", true, [](const ViewOptions& o) { return o.images; },
     [](const Workspace& ws, const std::vector<int>& fonts) { return FontSheetImage(ws, fonts); }},
}};

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_OUTPUTS_H_
