// The colours of the machine: 256 RGB entries indexed by a colour byte
// (hue x 16 + luminance), built in for PAL and NTSC machines or read from
// a palette file.
#ifndef QDPEXT_VIEW_PALETTE_H_
#define QDPEXT_VIEW_PALETTE_H_

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/file_system.h"
#include "view/image.h"
#include "view/name_table.h"

namespace qdp::view {

using AtariPalette = std::array<Rgb, 256>;

// A palette file cannot be used. The reason names the file and says why;
// the path is kept apart for callers that name it themselves.
class PaletteError : public RunError {
 public:
  PaletteError(std::string reason, std::string path, ThrowSite site = ThrowSite::Here())
      : RunError(ErrorKind::kPalette, std::move(reason), site),
        path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

enum class BuiltInPaletteKind : uint8_t {
  kPal,
  kNtsc,  // the last
};

// The name a user gives each built-in palette ("pal", "ntsc"), one row
// per kind.
struct BuiltInPaletteName {
  BuiltInPaletteKind Value;
  const char* Name;
};
inline constexpr auto kBuiltInPaletteNames = std::to_array<BuiltInPaletteName>({
    {BuiltInPaletteKind::kPal, "pal"},
    {BuiltInPaletteKind::kNtsc, "ntsc"},
});
static_assert(OneRowEach(kBuiltInPaletteNames, BuiltInPaletteKind::kPal,
                         BuiltInPaletteKind::kNtsc));

// The palette qdpview draws with unless told otherwise.
inline constexpr const char* kDefaultPaletteName = kBuiltInPaletteNames[0].Name;

// The built-in palettes as a usage text offers them: "pal (default), ntsc".
inline std::string BuiltInPalettesOffered() {
  std::string text = std::string(kDefaultPaletteName) + " (default)";
  for (const auto& row : kBuiltInPaletteNames) {
    if (std::string_view(row.Name) != kDefaultPaletteName) text += std::string(", ") + row.Name;
  }
  return text;
}

// What a palette file holds: 256 RGB triples, optionally followed by 4
// bytes that image editors append (a count and a transparent index) and
// that mean nothing here.
inline constexpr uint64_t kPaletteFileBytes = 256 * 3;
inline constexpr uint64_t kPaletteFileWithTrailerBytes = kPaletteFileBytes + 4;

// The palette a name stands for, in any case ("PAL", "Ntsc"); none for
// any other word, which is a file name. A file named like a palette is
// given with its directory ("./pal").
inline std::optional<BuiltInPaletteKind> BuiltInPaletteByName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ValueNamed(kBuiltInPaletteNames, lower);
}

// The parameters of the built-in palettes' formula (see BuiltInPalette).
struct PaletteFormula {
  double FirstHueDegrees;  // angle of hue 1 in the colour plane
  double HueStepDegrees;   // each further hue turns this much back
  double LowestLuma;       // luma of luminance 0 in hues 1-15 (0 black, 1 white)
  double HighestLuma;      // luma of luminance 15 in hues 1-15
  double MaxChroma;        // colour strength, where the RGB cube leaves room
};
PaletteFormula FormulaOf(BuiltInPaletteKind kind);

// A built-in palette, computed from its formula:
// - hue 0 is grey: luminance l gives 17 x l in every channel, black to white;
// - hue h of 1-15 has luma Y = LowestLuma + (HighestLuma - LowestLuma) x l / 15
//   and lies at the angle FirstHueDegrees - (h - 1) x HueStepDegrees in the
//   plane of the colour differences U (towards blue) and V (towards red);
//   its chroma is MaxChroma, or less where that would leave the RGB cube,
//   so that no channel is clipped and the luma stays exactly Y;
// - R = Y + 1.13983 V, G = Y - 0.39465 U - 0.58060 V, B = Y + 2.03211 U,
//   each times 255 and rounded.
AtariPalette BuiltInPalette(BuiltInPaletteKind kind);

// Reads a palette file: 768 bytes of 256 RGB triples, colour byte 0 first,
// or 772 bytes whose last 4 are ignored. Throws PaletteError, whose reason
// names the file, when it is missing, unreadable or of another size.
AtariPalette ReadPaletteFile(FileSystem& fs, const std::string& path);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_PALETTE_H_
