#include "view/project_view.h"

#include <utility>

#include "convert/reconstruct.h"
#include "convert/render.h"
#include "project/reader.h"

namespace qdp::view {

ProjectView::ProjectView() : ws_(NewWorkspace()), scratch_(NewWorkspace()) {}

void ProjectView::Load(FileSystem& fs, const std::string& input, FileReport& report) {
  Workspace& ws = *ws_;
  LoadProject(ws, fs, input);
  RenderScreen(ws);
  DescribeLoadedProject(ws, report);
  loaded_ = CopyCharset(ws);
  try {
    ReconstructCharset(ws);
  } catch (const ConversionFailed& failure) {
    failure_ = failure.Detail();
    return;
  }
  DescribeRebuild(ws, report);
  round_trip_ = CheckRoundTrip(ws, *scratch_);
  ColourChanges colours = CompareColourPictures(ws, loaded_->View(), CharsetOf(ws));
  report.RoundTripExact = round_trip_->Exact && colours.Lines.empty();
  report.RoundTripColourLines = std::move(colours.Lines);
  report.RoundTripColourCause = std::move(colours.Cause);
}

}  // namespace qdp::view
