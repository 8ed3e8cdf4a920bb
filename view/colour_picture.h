// The picture as the machine shows it: every character line in its own
// mode (hi-res, four-colour, GTIA or blank), in the colours its colour
// registers hold on each scanline, as palette indices that are colour
// bytes.
#ifndef QDPEXT_VIEW_COLOUR_PICTURE_H_
#define QDPEXT_VIEW_COLOUR_PICTURE_H_

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "view/gtia_mode.h"
#include "view/image.h"
#include "view/palette.h"
#include "workspace/workspace.h"

namespace qdp::view {

// The charset a picture is drawn from: the fonts, the screen codes (bit 7
// the cell's inverse bit) and each line's font. It views either the
// workspace's own buffers or a copy kept before a rebuild changed them.
struct CharsetView {
  std::span<const uint8_t, kFontBankBytes> FontBank;
  std::span<const uint8_t, kScreenBytes> Screen;  // rows at the full stride
  std::span<const uint8_t, kScreenLines> LineFonts;
};

// The workspace's charset as it is now.
CharsetView CharsetOf(const Workspace& ws);

// A copy of a charset, taken before a rebuild so that the picture can
// still be drawn as loaded when the rebuild fails.
struct CharsetCopy {
  std::array<uint8_t, kFontBankBytes> FontBank;
  std::array<uint8_t, kScreenBytes> Screen;
  std::array<uint8_t, kScreenLines> LineFonts;
  CharsetView View() const { return CharsetView{FontBank, Screen, LineFonts}; }
};
// On the heap: the fonts alone are 128 KiB.
std::unique_ptr<CharsetCopy> CopyCharset(const Workspace& ws);

// The picture, LineCells(ws) x 8 by 240 pixels. Its palette is `palette`
// whole, so that each pixel's index is its colour byte: bit 0 cleared (the
// chip shows 8 luminances), except on GTIA lines in mode 9, where all 16
// count. A line's mode is its entry of the line mode table, or the
// header's character mode when that table was not taken. `ws` and the
// buffers `charset` views must outlive the image.
IndexedImage ColourPicture(const Workspace& ws, const CharsetView& charset,
                           const AtariPalette& palette, GtiaMode gtia);

// Where two charsets draw different colour pictures of `ws`: the
// character lines on which any pixel's colour byte differs, and why.
struct ColourChanges {
  std::vector<int> Lines;
  // "inverse cells on four-colour lines" (the inverse bit picks PF3 there,
  // but the bitmap, drawn in the header's mode, may hold the cell
  // complemented instead, and the rebuild codes what the bitmap holds),
  // "cells drawn differently", or both; empty when nothing changed.
  std::string Cause;
};
ColourChanges CompareColourPictures(const Workspace& ws, const CharsetView& before,
                                    const CharsetView& after);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_COLOUR_PICTURE_H_
