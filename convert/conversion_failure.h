// The one way a rebuild can fail: the picture cannot be coded into fonts
// and screen codes within the limits (at most 63 distinct 16 x 16 blocks
// in the block conversion, at most the project's per-font limit of new
// characters for a line in the others, at most 128 fonts). The run then
// writes no side file.
#ifndef QDPEXT_CONVERT_CONVERSION_FAILURE_H_
#define QDPEXT_CONVERT_CONVERSION_FAILURE_H_

#include <exception>
#include <string>

#include "workspace/workspace.h"

namespace qdp {

// Why and where the bitmap could not be coded, for tools that explain the
// failure; the message qdpext prints stays one fixed sentence.
struct ConversionFailureDetail {
  enum class Cause {
    kUnknown,
    // A line needs more new characters in a fresh font than the
    // project's per-font limit allows.
    kLineNeedsTooManyCharacters,
    // Starting new fonts ran past the last font number.
    kFontsExhausted,
    // The block conversion met a 64th distinct 16 x 16 block.
    kTooManyBlocks,
  };
  Cause Why = Cause::kUnknown;
  int Line = -1;    // character line, below kScreenLines
  int Column = -1;  // character column of the block's left half; blocks only
  int Needed = 0;   // new characters the line needs in a fresh font
  int Limit = 0;    // the per-font limit in force

  // One sentence in words, without the final full stop.
  std::string Describe() const;
};

// The bitmap could not be turned back into fonts and screen codes. Not a
// RunError: it has its own message on standard output and exit status 3.
class ConversionFailed : public std::exception {
 public:
  ConversionFailed() = default;
  explicit ConversionFailed(const ConversionFailureDetail& detail) : detail_(detail) {}
  const char* what() const noexcept override { return "Conversion of bitmap into DUZ failed."; }
  const ConversionFailureDetail& Detail() const { return detail_; }

 private:
  ConversionFailureDetail detail_;
};

}  // namespace qdp

#endif  // QDPEXT_CONVERT_CONVERSION_FAILURE_H_
