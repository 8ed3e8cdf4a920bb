// The pictures qdpview writes for each input, in the order it writes them.
// Everything else (the file names, the checks that no two inputs write one
// file, the summary's lines and the JSON keys) is taken from this list.
#ifndef QDPEXT_VIEW_OUTPUTS_H_
#define QDPEXT_VIEW_OUTPUTS_H_

#include <array>
#include <vector>

#include "view/command_line.h"
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
  bool (*Wanted)(const ViewOptions& options);
  // `view` and `fonts` (the fonts in use after the rebuild) outlive the
  // image.
  IndexedImage (*Draw)(const ProjectView& view, const std::vector<int>& fonts);
};

inline constexpr auto kOutputs = std::to_array<Output>({
    {".png", "preview", "preview", false, [](const ViewOptions& o) { return o.Images; },
     [](const ProjectView& view, const std::vector<int>&) { return BitmapImage(view.Project()); }},
    {"-fonts.png", "font sheet", "font_sheet", true, [](const ViewOptions& o) { return o.Images; },
     [](const ProjectView& view, const std::vector<int>& fonts) {
       return FontSheetImage(view.Project(), fonts);
     }},
});

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_OUTPUTS_H_
