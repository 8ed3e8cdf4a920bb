// One project file as qdpview looks at it. The object owns the workspace
// the file is loaded into, the round trip's scratch and the charset as
// loaded, so that any number can be alive at once: the page keeps one per
// file, and tests can compare two.
#ifndef QDPEXT_VIEW_PROJECT_VIEW_H_
#define QDPEXT_VIEW_PROJECT_VIEW_H_

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "convert/conversion_failure.h"
#include "convert/round_trip.h"
#include "platform/file_system.h"
#include "view/colour_picture.h"
#include "view/summary.h"
#include "workspace/workspace.h"

namespace qdp::view {

class ProjectView {
 public:
  ProjectView();

  // Loads `input` from `fs`, draws it and rebuilds its charset as qdpext
  // does, and describes what it found in `report`. A rebuild that fails is
  // no error here: the picture and the project as loaded are still there
  // to show (see Failure). Throws RunError when the file cannot be loaded;
  // what was found by then is in `report`. Call once per object.
  void Load(FileSystem& fs, const std::string& input, FileReport& report);

  // The workspace after the rebuild, or as far as a failed rebuild left it.
  const Workspace& Project() const { return *ws_; }
  // Why the rebuild failed, if it did.
  const std::optional<ConversionFailureDetail>& Failure() const { return failure_; }
  // The round trip of a successful rebuild.
  const std::optional<RoundTripResult>& RoundTrip() const { return round_trip_; }

  // The charset the side files are cut from: the rebuilt one, or the one
  // loaded when the rebuild failed. Only after Load().
  CharsetView Charset() const { return failure_ ? loaded_->View() : CharsetOf(*ws_); }
  // The fonts, screen codes and line fonts as loaded, before any rebuild.
  // Only after Load().
  CharsetView LoadedCharset() const { return loaded_->View(); }

 private:
  // On the heap, never on the stack: together they are about a megabyte.
  std::unique_ptr<Workspace> ws_;
  std::unique_ptr<Workspace> scratch_;  // the round trip's; it overwrites what it uses
  std::unique_ptr<CharsetCopy> loaded_;
  std::optional<ConversionFailureDetail> failure_;
  std::optional<RoundTripResult> round_trip_;
};

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PROJECT_VIEW_H_
