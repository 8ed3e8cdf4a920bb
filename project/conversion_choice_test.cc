#include "project/conversion_choice.h"

#include <gtest/gtest.h>

#include <string>

namespace qdp {
namespace {

// The rule written out the other way round: the winning bit is the one
// tested last, so look for the bits from the end of the order.
ConversionKind KindByHeaderRule(uint8_t bits, ConversionKind from_layout) {
  if (bits == 0) return from_layout;
  if (bits & 0x08) return ConversionKind::kNone;
  if (bits & 0x10) return ConversionKind::kBlocks16;
  if (bits & 0x40) return ConversionKind::kSharedChars;
  if (bits & 0x80) return ConversionKind::kCharPerCell;
  return ConversionKind::kNone;  // 0x20 alone
}

TEST(ChooseConversionTest, EveryCombinationOfTheFiveHeaderBits) {
  constexpr uint8_t kBits[] = {0x80, 0x40, 0x20, 0x10, 0x08};
  // Two layouts that decide differently, so that a header choice that
  // wrongly falls back to the layout shows.
  std::array<uint8_t, kScreenLines> plain_lines{};
  std::array<uint8_t, kScreenLines> alternating_lines{};
  for (int i = 0; i < kScreenLines; ++i) alternating_lines[i] = static_cast<uint8_t>(i & 1);
  struct Layout {
    int width, fonts;
    const std::array<uint8_t, kScreenLines>* lines;
    ConversionKind kind;
  } layouts[] = {{40, 10, &plain_lines, ConversionKind::kCharPerCell},
                 {40, 9, &plain_lines, ConversionKind::kSharedChars},
                 {32, 2, &alternating_lines, ConversionKind::kBlocks16}};
  for (int combination = 0; combination < 32; ++combination) {
    uint8_t bits = 0;
    for (int b = 0; b < 5; ++b) {
      if (combination & (1 << b)) bits |= kBits[b];
    }
    for (const Layout& layout : layouts) {
      // The character-mode bits of the same byte play no part.
      for (uint8_t character_mode : {1, 2, 4}) {
        SCOPED_TRACE("bits " + std::to_string(bits) + " mode " + std::to_string(character_mode) +
                     " width " + std::to_string(layout.width));
        ConversionChoice choice =
            ChooseConversion(bits | character_mode, layout.width, layout.fonts, *layout.lines);
        EXPECT_EQ(choice.Kind, KindByHeaderRule(bits, layout.kind));
        EXPECT_EQ(choice.Source,
                  bits == 0 ? ConversionSource::kLayout : ConversionSource::kHeaderBits);
      }
    }
  }
}

}  // namespace
}  // namespace qdp
