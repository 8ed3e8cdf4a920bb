#include "view/project_view.h"

#include "convert/reconstruct.h"
#include "convert/render.h"
#include "project/reader.h"

namespace qdp::view {

ProjectView::ProjectView()
    : ws_(std::make_unique<Workspace>()),
      scratch_(std::make_unique<Workspace>()) {}

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
  report.RoundTripExact = round_trip_->Exact;
}

}  // namespace qdp::view
