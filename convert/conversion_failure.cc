#include "convert/conversion_failure.h"

namespace qdp {

std::string ConversionFailureDetail::Describe() const {
  const std::string at_line = "line " + std::to_string(Line);
  switch (Why) {
    case Cause::kLineNeedsTooManyCharacters:
      return at_line + " needs " + std::to_string(Needed) +
             " new characters but the per-font limit is " + std::to_string(Limit);
    case Cause::kFontsExhausted:
      return at_line + " would need a font past number " + std::to_string(kFontCount - 1);
    case Cause::kTooManyBlocks:
      return "the 64th distinct 16 x 16 block is at " + at_line + ", column " +
             std::to_string(Column) + "; the two fonts hold 63";
    case Cause::kUnknown:
      break;
  }
  return "the bitmap could not be coded";
}

}  // namespace qdp
