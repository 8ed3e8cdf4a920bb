// One project file as qdpview looks at it: the model that pictures and
// summaries are made from. The object owns the workspace the file is
// loaded into, the round trip's scratch and the charset as loaded, and
// works out what the rebuild gave (the fonts in use, the round trip), so
// that any number can be alive at once: the page keeps one per file, and
// tests can compare two.
#ifndef QDPEXT_VIEW_PROJECT_VIEW_H_
#define QDPEXT_VIEW_PROJECT_VIEW_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/conversion_failure.h"
#include "convert/round_trip.h"
#include "platform/file_system.h"
#include "view/colour_picture.h"
#include "workspace/workspace.h"

namespace qdp::view {

// A font in use after the rebuild.
struct FontUse {
  int Number = 0;
  int Characters = 0;      // distinct characters the screen uses in it
  std::vector<int> Lines;  // the lines drawn with it
};

class ProjectView {
 public:
  ProjectView();

  // Loads `input` from `fs`, draws it and rebuilds its charset as qdpext
  // does (the one load path). A rebuild that fails is no error here: the
  // picture and the project as loaded are still there to show (see
  // Failure). Throws RunError when the file cannot be loaded. Call once
  // per object.
  void Load(FileSystem& fs, const std::string& input);

  // The workspace after the rebuild, or as far as a failed rebuild left it.
  const Workspace& Project() const { return *ws_; }
  // Why the rebuild failed, if it did.
  const std::optional<ConversionFailureDetail>& Failure() const { return failure_; }
  // The round trip of a successful rebuild.
  const std::optional<RoundTripResult>& RoundTrip() const { return round_trip_; }
  // Where the machine's picture of the rebuilt project differs from that of
  // the project as loaded, after a successful rebuild.
  const ColourChanges& ColourChangesOfRebuild() const { return colour_changes_; }
  // The fonts in use after a successful rebuild, by number; none when it
  // failed.
  const std::vector<FontUse>& Fonts() const { return fonts_; }
  // Their numbers, in order.
  std::vector<int> FontNumbers() const;

  // The charset the picture is drawn from: the rebuilt one, or the one
  // loaded when the rebuild failed. Only after Load().
  CharsetView Charset() const { return failure_ ? loaded_->View() : CharsetOf(*ws_); }

 private:
  // On the heap, never on the stack: together they are about a megabyte.
  WorkspacePtr ws_;
  WorkspacePtr scratch_;  // the round trip's; it overwrites what it uses
  std::unique_ptr<CharsetCopy> loaded_;
  std::optional<ConversionFailureDetail> failure_;
  std::optional<RoundTripResult> round_trip_;
  ColourChanges colour_changes_;
  std::vector<FontUse> fonts_;
};

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PROJECT_VIEW_H_
