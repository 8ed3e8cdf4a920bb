// Chooses, for a character line of the source and a mode, the colour
// registers of its eight scanlines and (four-colour lines) the cells'
// inverse bits, so that the mode's pixels can come as close to the source
// as they may; and draws the line's cells with them.
#ifndef QDPEXT_IMPORT_LINE_FIT_H_
#define QDPEXT_IMPORT_LINE_FIT_H_

#include <vector>

#include "import/line_plan.h"
#include "import/options.h"
#include "import/palette_lab.h"

namespace qdp::import {

// Fills plan.Mode, plan.Regs and plan.Inverse. The registers change at
// most `first_changes` from `previous` (the scanline above the line) and
// at most `max_changes` from each scanline to the next.
void ChooseColours(const SourceLab& source, const PaletteLab& palette, int line, LineMode mode,
                   const Registers& previous, int first_changes, int max_changes, LinePlan& plan);

// How strongly error diffusion passes each pixel's error on: less than
// all of it keeps the noise down where the colours are far apart.
inline constexpr float kDiffusionStrength = 0.9f;

// A line as drawn: each hi-res pixel's colour, and the error diffusion
// hands on to the line below (hi-res pixels, zero without diffusion).
struct DrawnLine {
  std::vector<uint8_t> Shown;  // colour bytes, Width x 8
  std::vector<Lab> ErrorOut;   // Width
};

// Sets plan.Glyphs: each pixel the colour its cell may take on its
// scanline nearest to the source, as `dither` has it. `error_in` is the
// error handed on by the line above (Width entries), or null.
void DrawLine(const SourceLab& source, const PaletteLab& palette, int line, Dithering dither,
              const Lab* error_in, LinePlan& plan, DrawnLine& drawn);

// Draws a plan whose glyphs are set, as the machine shows it.
void ShowLine(const SourceLab& source, const PaletteLab& palette, const LinePlan& plan,
              DrawnLine& drawn);

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_LINE_FIT_H_
