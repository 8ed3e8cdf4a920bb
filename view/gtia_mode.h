// The ways the machine's GTIA chip reads the pixels of a GTIA line, and
// their names.
#ifndef QDPEXT_VIEW_GTIA_MODE_H_
#define QDPEXT_VIEW_GTIA_MODE_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "view/name_table.h"

namespace qdp::view {

// How the GTIA chip reads the 4-bit pixels of a GTIA line; the values are
// the numbers users know the modes by.
enum class GtiaMode : uint8_t {
  kLuminances = 9,    // 16 luminances of the background's hue
  kNineColours = 10,  // 9 colour registers: players, playfields, background
  kHues = 11,         // 16 hues at the background's luminance; the last
};

struct GtiaModeName {
  GtiaMode Value;
  const char* Name;  // as given to --gtia
};
inline constexpr auto kGtiaModeNames = std::to_array<GtiaModeName>({
    {GtiaMode::kLuminances, "9"},
    {GtiaMode::kNineColours, "10"},
    {GtiaMode::kHues, "11"},
});
static_assert(OneRowEach(kGtiaModeNames, GtiaMode::kLuminances, GtiaMode::kHues));

inline const char* GtiaModeNameOf(GtiaMode mode) { return NameIn(kGtiaModeNames, mode); }
inline std::optional<GtiaMode> GtiaModeByName(std::string_view name) {
  return ValueNamed(kGtiaModeNames, name);
}

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_GTIA_MODE_H_
