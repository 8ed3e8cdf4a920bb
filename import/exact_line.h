// Finds, where there is one, a way to draw a character line of the source
// exactly in a given mode: the source was itself drawn by the machine, or
// is simple enough (few colours per scanline, in the mode's pixels).
#ifndef QDPEXT_IMPORT_EXACT_LINE_H_
#define QDPEXT_IMPORT_EXACT_LINE_H_

#include "import/line_plan.h"

namespace qdp::import {

// Fills `plan` and returns true when line `line` can be drawn exactly in
// `mode` (blank included) with registers that change at most
// `first_changes` from `previous` (the scanline above) and at most
// `max_changes` from scanline to scanline.
bool FitExactly(const SourceLab& source, int line, LineMode mode, const Registers& previous,
                int first_changes, int max_changes, LinePlan& plan);

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_EXACT_LINE_H_
