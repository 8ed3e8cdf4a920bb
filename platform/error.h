// The errors that end a run. Each carries the kind that the error report
// names ("EInOutError", ...), the reason printed under it, and the place in
// the source where it was raised. They are thrown where the failure happens
// and caught once, in main.
#ifndef QDPEXT_PLATFORM_ERROR_H_
#define QDPEXT_PLATFORM_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qdp {

// A source location captured at the throw site. The builtins work as
// default arguments in both g++ and clang, where std::source_location does
// not yet (clang 14).
struct ThrowSite {
  const char* File;
  int Line;
  static constexpr ThrowSite Here(const char* file = __builtin_FILE(),
                                  int line = __builtin_LINE()) {
    return ThrowSite{file, line};
  }
};

// An error that ends the run with the error report and exit status 1.
class RunError : public std::runtime_error {
 public:
  RunError(std::string kind, std::string reason, ThrowSite site);
  const std::string& Kind() const { return kind_; }
  const std::string& Reason() const { return reason_; }
  const ThrowSite& Site() const { return site_; }

 private:
  std::string kind_;
  std::string reason_;
  ThrowSite site_;
};

inline constexpr const char* kInOutError = "EInOutError";
inline constexpr const char* kDecompressionError = "EZDecompressionError";
inline constexpr const char* kProjectError = "EProjectError";

// What a failing file operation was doing, so that a caller can say
// whether an input, an output or the temporary directory failed.
enum class FileAccess : uint8_t {
  kUnknown,
  kRead,       // opening or reading an input
  kWrite,      // creating, writing or closing an output
  kTemporary,  // making or using a temporary file
};

// A file operation failed; the reason is one of the fixed texts
// ("File not found", "Disk full", ...). The path names the file the
// operation was about (for a temporary file, the temporary directory);
// it is not part of the report.
class InOutError : public RunError {
 public:
  explicit InOutError(std::string reason, ThrowSite site = ThrowSite::Here())
      : RunError(kInOutError, std::move(reason), site) {}
  InOutError(std::string reason, std::string path, FileAccess access,
             ThrowSite site = ThrowSite::Here())
      : RunError(kInOutError, std::move(reason), site),
        path_(std::move(path)),
        access_(access) {}
  const std::string& Path() const { return path_; }
  FileAccess Access() const { return access_; }

 private:
  std::string path_;
  FileAccess access_ = FileAccess::kUnknown;
};

// zlib refused the compressed stream; the reason is zlib's text for its code.
class DecompressionError : public RunError {
 public:
  explicit DecompressionError(std::string reason, ThrowSite site = ThrowSite::Here())
      : RunError(kDecompressionError, std::move(reason), site) {}
};

// The project file's header was rejected.
class ProjectError : public RunError {
 public:
  explicit ProjectError(std::string reason, ThrowSite site = ThrowSite::Here())
      : RunError(kProjectError, std::move(reason), site) {}
};

// Why and where the bitmap could not be coded, for tools that explain the
// failure; what() stays the one fixed sentence users of qdpext know.
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
  Cause cause = Cause::kUnknown;
  int line = -1;    // character line, 0 to 29
  int column = -1;  // character column of the block's left half; blocks only
  int needed = 0;   // new characters the line needs in a fresh font
  int limit = 0;    // the per-font limit in force

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

// The reason text for an operating-system error number: the fixed texts
// users know ("File not found", "Disk full", ...) or "I/O error N".
std::string ReasonForErrno(int error_number);

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_ERROR_H_
