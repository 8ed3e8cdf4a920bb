#include "view/colour_picture.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qdp::view {
namespace {

// Colour registers, in the order of the workspace's tables.
enum Register { kBak, kPf0, kPf1, kPf2, kPf3 };

// The chip has 8 luminances; bit 0 of a colour byte shows as if clear.
constexpr uint8_t kShownBits = 0xFE;

// The colour bytes of one scanline, laid out for the mode that reads them.
struct ScanlineColours {
  std::array<uint8_t, 2> HiRes;                      // by pixel bit
  std::array<std::array<uint8_t, 4>, 2> FourColour;  // by inverse bit, then pair
  std::array<uint8_t, 16> Gtia;                      // by nibble
  uint8_t Background;
};

struct PictureState {
  std::array<LineMode, kScreenLines> Modes;
  std::array<int, kScreenLines> FontOffsets;  // of each line's font in the bank
  std::array<ScanlineColours, kBitmapLines> Scanlines;
};

ScanlineColours ColoursOf(const Workspace& ws, int y, GtiaMode gtia) {
  auto reg = [&ws, y](int r) { return ws.ColourTables[r * kColourTableBytes + y]; };
  auto player = [&ws, y](int p) { return ws.PlayerColourTables[p * kColourTableBytes + y]; };
  const uint8_t bak = reg(kBak);
  ScanlineColours colours{};
  colours.Background = bak & kShownBits;
  // A set bit takes the hue of PF2 and the luminance of PF1.
  colours.HiRes = {static_cast<uint8_t>(reg(kPf2) & kShownBits),
                   static_cast<uint8_t>(((reg(kPf2) & 0xF0) | (reg(kPf1) & 0x0F)) & kShownBits)};
  for (int inverse = 0; inverse < 2; ++inverse) {
    colours.FourColour[inverse] = {static_cast<uint8_t>(bak & kShownBits),
                                   static_cast<uint8_t>(reg(kPf0) & kShownBits),
                                   static_cast<uint8_t>(reg(kPf1) & kShownBits),
                                   static_cast<uint8_t>(reg(inverse ? kPf3 : kPf2) & kShownBits)};
  }
  for (int n = 0; n < 16; ++n) {
    uint8_t colour = 0;
    switch (gtia) {
      case GtiaMode::kLuminances:
        colour = static_cast<uint8_t>(bak | n);  // all 16 luminances count
        break;
      case GtiaMode::kHues:
        colour = static_cast<uint8_t>((bak | (n << 4)) & kShownBits);
        break;
      case GtiaMode::kNineColours:
        colour = n < 4 ? player(n) : n < 8 ? reg(kPf0 + n - 4) : n < 12 ? bak : reg(kPf0 + n - 12);
        colour &= kShownBits;
        break;
    }
    colours.Gtia[n] = colour;
  }
  return colours;
}

}  // namespace

CharsetView CharsetOf(const Workspace& ws) {
  return CharsetView{ws.FontBank, ws.Screen, ws.LineFontTable};
}

std::unique_ptr<CharsetCopy> CopyCharset(const Workspace& ws) {
  // Default-initialised, so not zeroed first: every byte is copied over.
  std::unique_ptr<CharsetCopy> copy(new CharsetCopy);
  copy->FontBank = ws.FontBank;
  copy->Screen = ws.Screen;
  copy->LineFonts = ws.LineFontTable;
  return copy;
}

IndexedImage ColourPicture(const Workspace& ws, const CharsetView& charset,
                           const AtariPalette& palette, GtiaMode gtia) {
  auto state = std::make_shared<PictureState>();
  for (int line = 0; line < kScreenLines; ++line) {
    LineMode mode = ShownLineMode(ws, line);
    // An accepted project has a mode of 1, 2 or 4 in its header; anything
    // else is drawn a bit a pixel, as the bitmap holds it.
    if (mode != LineMode::kFourColour && mode != LineMode::kGtia && mode != LineMode::kBlank) {
      mode = LineMode::kHiRes;
    }
    state->Modes[line] = mode;
    state->FontOffsets[line] = (charset.LineFonts[line] & 0x7F) * kFontBytes;
  }
  for (int y = 0; y < kBitmapLines; ++y) state->Scanlines[y] = ColoursOf(ws, y, gtia);

  IndexedImage image;
  const int cells = LineCells(ws);
  image.Width = cells * 8;
  image.Height = kBitmapLines;
  image.Palette.assign(palette.begin(), palette.end());
  image.FillRow = [state, charset, cells](int y, uint8_t* row) {
    const int line = y / kCharBytes;
    const ScanlineColours& colours = state->Scanlines[y];
    const uint8_t* codes = charset.Screen.data() + RowOffset(line);
    // Row y mod 8 of every character of the line's font, 8 bytes apart.
    const uint8_t* glyph_rows = charset.FontBank.data() + state->FontOffsets[line] + y % kCharBytes;
    switch (state->Modes[line]) {
      case LineMode::kBlank:
        std::memset(row, colours.Background, static_cast<size_t>(cells) * 8);
        return;
      case LineMode::kHiRes:
        for (int k = 0; k < cells; ++k) {
          const uint8_t code = codes[k];
          uint8_t bits = glyph_rows[(code & kCharNumberMask) * kCharBytes];
          if (code & kInverseBit) bits = static_cast<uint8_t>(~bits);
          for (int shift = 7; shift >= 0; --shift) *row++ = colours.HiRes[(bits >> shift) & 1];
        }
        return;
      case LineMode::kFourColour:
        for (int k = 0; k < cells; ++k) {
          const uint8_t code = codes[k];
          const uint8_t bits = glyph_rows[(code & kCharNumberMask) * kCharBytes];
          const std::array<uint8_t, 4>& pairs = colours.FourColour[code >> 7];
          for (int shift = 6; shift >= 0; shift -= 2) {
            const uint8_t colour = pairs[(bits >> shift) & 3];
            *row++ = colour;
            *row++ = colour;
          }
        }
        return;
      case LineMode::kGtia:
        for (int k = 0; k < cells; ++k) {
          const uint8_t code = codes[k];
          uint8_t bits = glyph_rows[(code & kCharNumberMask) * kCharBytes];
          if (code & kInverseBit) bits = static_cast<uint8_t>(~bits);
          std::memset(row, colours.Gtia[bits >> 4], 4);
          std::memset(row + 4, colours.Gtia[bits & 15], 4);
          row += 8;
        }
        return;
    }
  };
  return image;
}

ColourChanges CompareColourPictures(const Workspace& ws, const CharsetView& before,
                                    const CharsetView& after) {
  // Pixels are colour bytes whatever the palette; and with equal bitmaps,
  // only the four-colour lines' inverse bits can tell the two apart, which
  // no GTIA mode changes.
  const AtariPalette palette{};
  const IndexedImage old_picture = ColourPicture(ws, before, palette, GtiaMode::kLuminances);
  const IndexedImage new_picture = ColourPicture(ws, after, palette, GtiaMode::kLuminances);
  std::vector<uint8_t> old_row(static_cast<size_t>(old_picture.Width));
  std::vector<uint8_t> new_row(old_row.size());
  ColourChanges changes;
  bool inverse = false;
  bool other = false;
  for (int line = 0; line < kScreenLines; ++line) {
    bool differs = false;
    for (int y = line * kCharBytes; y < (line + 1) * kCharBytes && !differs; ++y) {
      old_picture.FillRow(y, old_row.data());
      new_picture.FillRow(y, new_row.data());
      differs = old_row != new_row;
    }
    if (!differs) continue;
    changes.Lines.push_back(line);
    // An inverse bit on either side of the rebuild.
    bool inverse_cells = false;
    for (const CharsetView* charset : {&before, &after}) {
      const uint8_t* codes = charset->Screen.data() + RowOffset(line);
      inverse_cells |= std::any_of(codes, codes + LineCells(ws),
                                   [](uint8_t code) { return (code & kInverseBit) != 0; });
    }
    if (ShownLineMode(ws, line) == LineMode::kFourColour && inverse_cells) {
      inverse = true;
    } else {
      other = true;
    }
  }
  if (inverse) changes.Cause = "inverse cells on four-colour lines";
  if (other) changes.Cause += std::string(inverse ? "; " : "") + "cells drawn differently";
  return changes;
}

}  // namespace qdp::view
