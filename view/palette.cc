#include "view/palette.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "platform/error.h"
#include "view/unreadable_file.h"

namespace qdp::view {
namespace {

// From luma and colour differences back to RGB, for the primaries of
// colour television.
constexpr double kRFromV = 1.13983;
constexpr double kGFromU = -0.39465;
constexpr double kGFromV = -0.58060;
constexpr double kBFromU = 2.03211;

uint8_t ToByte(double channel) {
  const double scaled = std::floor(channel * 255.0 + 0.5);
  return static_cast<uint8_t>(scaled < 0 ? 0 : scaled > 255 ? 255 : scaled);
}

Rgb HueColour(const PaletteFormula& formula, int hue, int luminance) {
  const double luma =
      formula.LowestLuma + (formula.HighestLuma - formula.LowestLuma) * luminance / 15.0;
  const double angle =
      (formula.FirstHueDegrees - (hue - 1) * formula.HueStepDegrees) * std::numbers::pi / 180.0;
  const double u = std::cos(angle);
  const double v = std::sin(angle);
  // How far each channel moves from the luma per unit of chroma.
  const double pull[3] = {kRFromV * v, kGFromU * u + kGFromV * v, kBFromU * u};
  // The strongest chroma that keeps every channel inside 0 to 1.
  double chroma = formula.MaxChroma;
  for (double k : pull) {
    if (k > 0) chroma = std::min(chroma, (1.0 - luma) / k);
    if (k < 0) chroma = std::min(chroma, luma / -k);
  }
  return Rgb{ToByte(luma + pull[0] * chroma), ToByte(luma + pull[1] * chroma),
             ToByte(luma + pull[2] * chroma)};
}

std::string Describe(const std::string& path) { return "palette file " + path + ": "; }

}  // namespace

PaletteFormula FormulaOf(BuiltInPaletteKind kind) {
  // PAL turns 15 hues round the whole circle, so hue 15 sits a step short
  // of hue 1; NTSC spreads them wider, so that hue 15 comes back close to
  // hue 1.
  if (kind == BuiltInPaletteKind::kNtsc) return {160.0, 25.7, 0.05, 0.95, 0.25};
  return {150.0, 24.0, 0.05, 0.95, 0.25};
}

AtariPalette BuiltInPalette(BuiltInPaletteKind kind) {
  const PaletteFormula formula = FormulaOf(kind);
  AtariPalette palette{};
  for (int luminance = 0; luminance < 16; ++luminance) {
    const auto grey = static_cast<uint8_t>(17 * luminance);
    palette[luminance] = Rgb{grey, grey, grey};
    for (int hue = 1; hue < 16; ++hue) {
      palette[hue * 16 + luminance] = HueColour(formula, hue, luminance);
    }
  }
  return palette;
}

AtariPalette ReadPaletteFile(FileSystem& fs, const std::string& path) {
  if (std::optional<std::string> why = WhyUnreadable(fs, path)) {
    throw PaletteError(Describe(path) + *why, path);
  }
  // Read whole, to learn its size, up to a bound: a palette of any size
  // is refused alike, and a huge one must not take long.
  constexpr size_t kLargestCounted = 1 << 20;
  std::vector<uint8_t> bytes(kPaletteFileWithTrailerBytes);
  size_t size = 0;
  try {
    std::unique_ptr<File> file = fs.OpenForReading(path);
    std::array<uint8_t, 4096> chunk;
    while (size <= kLargestCounted) {
      const size_t n = file->Read(chunk.data(), chunk.size());
      if (n == 0) break;
      for (size_t i = 0; i < n && size + i < bytes.size(); ++i) bytes[size + i] = chunk[i];
      size += n;
    }
    file->Close();
  } catch (const InOutError& error) {
    throw PaletteError(Describe(path) + error.Reason(), path);
  }
  if (size != kPaletteFileBytes && size != kPaletteFileWithTrailerBytes) {
    const std::string found = size > kLargestCounted
                                  ? "more than " + std::to_string(kLargestCounted)
                                  : std::to_string(size);
    throw PaletteError(Describe(path) + found + (size == 1 ? " byte" : " bytes") +
                           "; a palette file is " + std::to_string(kPaletteFileBytes) +
                           " bytes (256 RGB triples) or " +
                           std::to_string(kPaletteFileWithTrailerBytes),
                       path);
  }
  AtariPalette palette{};
  for (size_t i = 0; i < palette.size(); ++i) {
    palette[i] = Rgb{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
  }
  return palette;
}

}  // namespace qdp::view
