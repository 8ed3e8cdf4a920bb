#include "view/project_view.h"

#include <algorithm>
#include <array>
#include <utility>

#include "load/load_path.h"

namespace qdp::view {
namespace {

// Each font some line uses after the rebuild, with the characters the
// screen takes from it and its lines.
std::vector<FontUse> FontsInUse(const Workspace& ws) {
  std::array<std::vector<int>, kFontCount> lines_of;
  for (int line = 0; line < kScreenLines; ++line) lines_of[ws.LineFontTable[line]].push_back(line);
  const int width = LineCells(ws);
  std::vector<FontUse> fonts;
  for (int font = 0; font < kFontCount; ++font) {
    if (lines_of[font].empty()) continue;
    std::array<bool, kCharsPerFont> used{};
    for (int line : lines_of[font]) {
      const uint8_t* codes = &ws.Screen[RowOffset(line)];
      for (int x = 0; x < width; ++x) used[codes[x] & kCharNumberMask] = true;
    }
    FontUse use;
    use.Number = font;
    use.Characters = static_cast<int>(std::count(used.begin(), used.end(), true));
    use.Lines = std::move(lines_of[font]);
    fonts.push_back(std::move(use));
  }
  return fonts;
}

}  // namespace

ProjectView::ProjectView() : ws_(NewWorkspace()), scratch_(NewWorkspace()) {}

void ProjectView::Load(FileSystem& fs, const std::string& input) {
  try {
    LoadDrawAndRebuild(*ws_, fs, input,
                       [this](const Workspace& drawn) { loaded_ = CopyCharset(drawn); });
  } catch (const ConversionFailed& failure) {
    failure_ = failure.Detail();
    return;
  }
  fonts_ = FontsInUse(*ws_);
  round_trip_ = CheckRoundTrip(*ws_, *scratch_);
  colour_changes_ = CompareColourPictures(*ws_, loaded_->View(), CharsetOf(*ws_));
}

std::vector<int> ProjectView::FontNumbers() const {
  std::vector<int> numbers;
  for (const FontUse& font : fonts_) numbers.push_back(font.Number);
  return numbers;
}

}  // namespace qdp::view
