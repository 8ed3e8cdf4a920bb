#include "import/import_picture.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "import/exact_line.h"
#include "import/fonts.h"
#include "import/line_fit.h"
#include "import/oklab.h"
#include "import/palette_lab.h"
#include "import/picture_error.h"
#include "project/project_format.h"
#include "view/colour_picture.h"

namespace qdp::import {
namespace {

// The modes auto tries, in the order an exact fit is taken in: a blank
// line needs no characters at all.
constexpr LineMode kAutoModes[] = {LineMode::kBlank, LineMode::kFourColour, LineMode::kHiRes,
                                   LineMode::kGtia};

constexpr bool kTryMoved = true;

// The blur the mode choice compares lines through: the error metric's.
constexpr int kBlurRadius = 3;

uint32_t Key(const view::Rgb& c) { return static_cast<uint32_t>(c.R << 16 | c.G << 8 | c.B); }

SourceLab ToLab(const SourcePicture& picture, const PictureSize& size,
                const view::AtariPalette& palette) {
  SourceLab source;
  source.Cells = size.LineWidth;
  source.Width = size.LineWidth * 8;
  const int scale = size.HalfWidth ? 2 : 1;
  // Each colour is converted once: pictures drawn by the machine have
  // few, and photographs repeat many.
  std::unordered_map<uint32_t, int16_t> index;
  for (int i = 255; i >= 0; --i) {
    // Even colour bytes win over odd ones of the same colour.
    if (i % 2 == 0 || !index.count(Key(palette[i])))
      index[Key(palette[i])] = static_cast<int16_t>(i);
  }
  const size_t count = static_cast<size_t>(source.Width) * kBitmapLines;
  source.Pixels.resize(count);
  source.Index.resize(count);
  std::unordered_map<uint32_t, Lab> lab;
  uint32_t last_key = 0xFFFFFFFF;
  Lab last_lab{};
  int16_t last_index = -1;
  for (int y = 0; y < kBitmapLines; ++y) {
    for (int x = 0; x < source.Width; ++x) {
      const view::Rgb& c = picture.Pixels[static_cast<size_t>(y) * picture.Width + x / scale];
      const uint32_t key = Key(c);
      // Neighbours are often the same colour: they skip the lookups.
      if (key != last_key) {
        auto it = lab.find(key);
        if (it == lab.end()) it = lab.emplace(key, OkLabOf(c)).first;
        last_lab = it->second;
        auto found = index.find(key);
        last_index = found == index.end() ? int16_t{-1} : found->second;
        last_key = key;
      }
      const size_t i = static_cast<size_t>(y) * source.Width + x;
      source.Pixels[i] = last_lab;
      source.Index[i] = last_index;
    }
  }
  return source;
}

std::array<float, 2 * kBlurRadius + 1> BlurWeights() {
  std::array<float, 2 * kBlurRadius + 1> w{};
  float sum = 0;
  for (int i = -kBlurRadius; i <= kBlurRadius; ++i)
    sum += w[i + kBlurRadius] = std::exp(-0.5f * i * i);
  for (float& x : w) x /= sum;
  return w;
}

// A pixel's sRGB channels as the blur sums them.
struct Channels {
  float R = 0, G = 0, B = 0;
};

// Blurs a row of `width` pixels across into `out`, edge pixels repeated.
void BlurAcross(const Channels* row, int width, Channels* out) {
  static const auto w = BlurWeights();
  for (int x = 0; x < width; ++x) {
    Channels s;
    for (int k = -kBlurRadius; k <= kBlurRadius; ++k) {
      const Channels& c = row[std::clamp(x + k, 0, width - 1)];
      s.R += w[k + kBlurRadius] * c.R;
      s.G += w[k + kBlurRadius] * c.G;
      s.B += w[k + kBlurRadius] * c.B;
    }
    out[x] = s;
  }
}

// The mode choice judges a line as the error metric does: sRGB blurred
// across and down, then OKLab. It keeps the source blurred both ways (in
// OKLab) and across, and the lines drawn so far blurred across.
struct Blurred {
  int Width = 0;
  std::vector<Lab> Source;
  std::vector<Channels> SourceAcross;
  std::vector<Channels> ShownAcross;
};

Blurred BlurSource(const SourcePicture& picture, int width) {
  static const auto w = BlurWeights();
  Blurred b;
  b.Width = width;
  const int scale = width / picture.Width;
  const size_t count = static_cast<size_t>(width) * kBitmapLines;
  b.SourceAcross.resize(count);
  b.ShownAcross.resize(count);
  b.Source.resize(count);
  std::vector<Channels> row(static_cast<size_t>(width));
  for (int y = 0; y < kBitmapLines; ++y) {
    for (int x = 0; x < width; ++x) {
      const view::Rgb& c = picture.Pixels[static_cast<size_t>(y) * picture.Width + x / scale];
      row[x] = Channels{static_cast<float>(c.R), static_cast<float>(c.G), static_cast<float>(c.B)};
    }
    BlurAcross(row.data(), width, &b.SourceAcross[static_cast<size_t>(y) * width]);
  }
  for (int y = 0; y < kBitmapLines; ++y) {
    for (int x = 0; x < width; ++x) {
      Channels s;
      for (int k = -kBlurRadius; k <= kBlurRadius; ++k) {
        const Channels& c =
            b.SourceAcross[static_cast<size_t>(std::clamp(y + k, 0, kBitmapLines - 1)) * width + x];
        s.R += w[k + kBlurRadius] * c.R;
        s.G += w[k + kBlurRadius] * c.G;
        s.B += w[k + kBlurRadius] * c.B;
      }
      b.Source[static_cast<size_t>(y) * width + x] = OkLabOf(s.R, s.G, s.B);
    }
  }
  return b;
}

// Row `k` of a drawn line blurred across.
void BlurShownRow(const view::AtariPalette& palette, const uint8_t* bytes, int width,
                  Channels* out) {
  std::vector<Channels> row(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) {
    const view::Rgb& c = palette[bytes[x]];
    row[x] = Channels{static_cast<float>(c.R), static_cast<float>(c.G), static_cast<float>(c.B)};
  }
  BlurAcross(row.data(), width, out);
}

// How far a line drawn as `shown` is from the source, as the error metric
// sees it: blurred together with the lines drawn above it and the source
// below it, the sum of the distances over the line's pixels.
double LineError(const Blurred& b, const view::AtariPalette& palette, int line,
                 const std::vector<uint8_t>& shown) {
  static const auto w = BlurWeights();
  const int width = b.Width;
  const int top = line * kCharBytes;
  std::vector<Channels> across(static_cast<size_t>(width) * kCharBytes);
  for (int k = 0; k < kCharBytes; ++k) {
    BlurShownRow(palette, &shown[static_cast<size_t>(k) * width], width,
                 &across[static_cast<size_t>(k) * width]);
  }
  auto row = [&](int y) -> const Channels* {
    y = std::clamp(y, 0, kBitmapLines - 1);
    if (y < top) return &b.ShownAcross[static_cast<size_t>(y) * width];
    if (y >= top + kCharBytes) return &b.SourceAcross[static_cast<size_t>(y) * width];
    return &across[static_cast<size_t>(y - top) * width];
  };
  double sum = 0;
  for (int k = 0; k < kCharBytes; ++k) {
    const Lab* want = &b.Source[static_cast<size_t>(top + k) * width];
    for (int x = 0; x < width; ++x) {
      Channels s;
      for (int d = -kBlurRadius; d <= kBlurRadius; ++d) {
        const Channels& c = row(top + k + d)[x];
        s.R += w[d + kBlurRadius] * c.R;
        s.G += w[d + kBlurRadius] * c.G;
        s.B += w[d + kBlurRadius] * c.B;
      }
      sum += std::sqrt(Distance2(OkLabOf(s.R, s.G, s.B), want[x]));
    }
  }
  return sum;
}

bool SameAsSource(const SourcePicture& picture, const view::IndexedImage& image) {
  const int scale = image.Width / picture.Width;
  std::vector<uint8_t> row(static_cast<size_t>(image.Width));
  for (int y = 0; y < image.Height; ++y) {
    image.FillRow(y, row.data());
    for (int x = 0; x < image.Width; ++x) {
      if (image.Palette[row[x]] !=
          picture.Pixels[static_cast<size_t>(y) * picture.Width + x / scale]) {
        return false;
      }
    }
  }
  return true;
}

struct Candidate {
  LinePlan Plan;
  DrawnLine Drawn;
  double Error = 0;
};

uint8_t CharacterModeOf(const std::array<LinePlan, kScreenLines>& plans) {
  // Bit 7 of a code marks a four-colour cell's PF3, not an inverse
  // character, in character mode 2; the import never sets it elsewhere.
  std::array<int, 3> count{};
  for (const LinePlan& plan : plans) {
    if (plan.Mode == LineMode::kFourColour) return static_cast<uint8_t>(LineMode::kFourColour);
    if (plan.Mode == LineMode::kHiRes) ++count[0];
    if (plan.Mode == LineMode::kGtia) ++count[2];
  }
  if (count[0] == 0 && count[2] == 0) return static_cast<uint8_t>(LineMode::kFourColour);
  return static_cast<uint8_t>(count[0] >= count[2] ? LineMode::kHiRes : LineMode::kGtia);
}

}  // namespace

view::IndexedImage MachinePicture(const Workspace& ws, const view::AtariPalette& palette) {
  return view::ColourPicture(ws, view::CharsetOf(ws), palette, view::GtiaMode::kLuminances);
}

ImportReport ImportPicture(const SourcePicture& picture, const ImportOptions& options,
                           const view::AtariPalette& palette, Workspace& ws) {
  const PictureSize* accepted = AcceptedSize(picture.Width, picture.Height);
  if (accepted == nullptr ||
      picture.Pixels.size() != static_cast<size_t>(picture.Width) * picture.Height) {
    throw std::invalid_argument(
        "a picture to import must be of an accepted size, with every pixel");
  }
  const PictureSize& size = *accepted;
  const SourceLab source = ToLab(picture, size, palette);
  const PaletteLab lab(palette);
  // The blurred source serves only lines that are not drawn exactly.
  Blurred blurred;
  bool blurred_ready = false;
  const int width = source.Width;
  const int max_changes = std::clamp(options.MaxChanges, 0, kColourRegisters);
  const int budget = std::max(options.FontBudget, 0);

  std::vector<LineMode> modes;
  switch (options.Mode) {
    case ModeChoice::kAuto:
      modes.assign(std::begin(kAutoModes), std::end(kAutoModes));
      break;
    case ModeChoice::kHiRes:
      modes = {LineMode::kHiRes};
      break;
    case ModeChoice::kFourColour:
      modes = {LineMode::kFourColour};
      break;
    case ModeChoice::kGtia:
      modes = {LineMode::kGtia};
      break;
  }

  std::array<LinePlan, kScreenLines> plans;
  Registers previous{};
  std::vector<Lab> error(static_cast<size_t>(width));
  Candidate best, trial;
  for (int line = 0; line < kScreenLines; ++line) {
    // The first scanline of the picture may take any registers.
    const int first_changes = line == 0 ? kColourRegisters : max_changes;
    bool exact = false;
    for (LineMode mode : modes) {
      if (FitExactly(source, line, mode, previous, first_changes, max_changes, best.Plan)) {
        ShowLine(source, best.Plan, best.Drawn);
        exact = true;
        break;
      }
    }
    if (!exact && (modes.size() > 1 || kTryMoved) && !blurred_ready) {
      blurred = BlurSource(picture, width);
      blurred_ready = true;
      // The lines above, drawn exactly, are the source there.
      std::copy_n(blurred.SourceAcross.begin(), static_cast<size_t>(line) * kCharBytes * width,
                  blurred.ShownAcross.begin());
    }
    if (!exact) {
      best.Error = -1;
      for (LineMode mode : modes) {
        ChooseColours(source, lab, line, mode, previous, first_changes, max_changes, trial.Plan);
        DrawLine(source, lab, line, options.Dither, error.data(), trial.Plan, trial.Drawn);
        const bool judged = modes.size() > 1 || kTryMoved;
        trial.Error = judged ? LineError(blurred, palette, line, trial.Drawn.Shown) : 0;
        if (best.Error < 0 || trial.Error < best.Error) std::swap(best, trial);
        if (kTryMoved && max_changes == kColourRegisters &&
            options.Dither == Dithering::kDiffusion) {
          trial.Plan = best.Plan;
          if (best.Plan.Mode == mode && MoveTowardsWanted(lab, best.Drawn, trial.Plan)) {
            DrawLine(source, lab, line, options.Dither, error.data(), trial.Plan, trial.Drawn);
            trial.Error = LineError(blurred, palette, line, trial.Drawn.Shown);
            if (trial.Error < best.Error) std::swap(best, trial);
          }
        }
      }
    }
    plans[line] = best.Plan;
    error = best.Drawn.ErrorOut;
    previous = best.Plan.Regs[kCharBytes - 1];
    for (int k = 0; k < kCharBytes && blurred_ready; ++k) {
      BlurShownRow(palette, &best.Drawn.Shown[static_cast<size_t>(k) * width], width,
                   &blurred.ShownAcross[static_cast<size_t>(line * kCharBytes + k) * width]);
    }
  }

  ws.LineWidth = static_cast<uint8_t>(size.LineWidth);
  ws.Conversion = {ConversionKind::kNone, ConversionSource::kHeaderBits};
  ws.CharsPerFontLimit = kHighestCharsPerFontLimit;
  const FontPacking fonts = PackFonts(source, lab, plans, budget, ws);
  ws.CharacterMode = CharacterModeOf(plans);
  ws.HighestFontInUse = *std::max_element(ws.LineFontTable.begin(), ws.LineFontTable.end());
  for (int p = 0; p < kScreenBytes; ++p) ws.InverseMarks[p] = (ws.Screen[p] & kInverseBit) != 0;
  ws.LineModesValid = true;
  ws.Loaded.LineFonts = ws.LineFontTable;
  ImportReport report;
  Registers before{};
  for (int line = 0; line < kScreenLines; ++line) {
    ws.LineModes[line] = plans[line].Mode;
    report.Modes[line] = plans[line].Mode;
    for (int k = 0; k < kCharBytes; ++k) {
      const int y = line * kCharBytes + k;
      const Registers& regs = plans[line].Regs[k];
      for (int r = 0; r < kColourRegisters; ++r)
        ws.ColourTables[r * kColourTableBytes + y] = regs[r];
      if (y > 0) {
        const int changes = ChangesBetween(before, regs);
        report.RegisterChanges += changes;
        report.MaxChangesOnAScanline = std::max(report.MaxChangesOnAScanline, changes);
      }
      before = regs;
    }
  }
  // The table's entries past the last scanline repeat it, so that nothing
  // changes there either.
  for (int y = kBitmapLines; y < kColourTableBytes; ++y) {
    for (int r = 0; r < kColourRegisters; ++r)
      ws.ColourTables[r * kColourTableBytes + y] = before[r];
  }
  report.FontsUsed = fonts.FontsUsed;
  report.FontsNeeded = fonts.FontsNeeded;
  report.MergedCharacters = fonts.MergedCharacters;
  // A picture drawn exactly has no error, and is known without the blur.
  const view::IndexedImage machine = MachinePicture(ws, palette);
  report.Exact = SameAsSource(picture, machine);
  report.Error = report.Exact ? 0.0 : PictureError(picture, machine);
  return report;
}

}  // namespace qdp::import
