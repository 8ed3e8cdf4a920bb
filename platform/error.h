// The errors that end a run, and the exit statuses of the programs. Each
// error carries its kind, the reason the report prints under it, and the
// place in the source where it was raised. They are thrown where the
// failure happens and caught where a program decides what the failure
// ends: qdpext catches them once, at the top of its run (RunMain), and the
// run stops; qdpview catches them for each file it looks at, for each
// picture it writes and for its output folder, reports them and goes on
// with the rest.
#ifndef QDPEXT_PLATFORM_ERROR_H_
#define QDPEXT_PLATFORM_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qdp {

// How a program ends. qdpview uses the first three.
enum ExitStatus : int {
  kExitDone = 0,
  kExitError = 1,  // an error ended the run (qdpview: some file failed)
  kExitUsage = 2,  // the arguments do not describe a job
  // The picture could not be coded into fonts and screen codes within the
  // limits; no side file was written.
  kExitConversionFailed = 3,
};

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

// The kinds of error that end a run. Each has the name the error report
// gives it (ErrorKindName).
enum class ErrorKind : uint8_t {
  kInOut,          // a file could not be opened, created, read, written or closed
  kDecompression,  // zlib rejected a compressed stream
  kProject,        // the file is not a project
  kPalette,        // a palette file is missing, unreadable or of the wrong size
  kPicture,        // a picture to import is not a PNG or JPEG that decodes
  kPictureSize,    // a picture to import is of a size that is not taken as it stands
  kOutOfMemory,
  kInternal,  // a failure no stage expected
};

// "EInOutError", "EZDecompressionError", ...
const char* ErrorKindName(ErrorKind kind);

// An error that ends the run with the error report and exit status 1.
class RunError : public std::runtime_error {
 public:
  RunError(ErrorKind kind, std::string reason, ThrowSite site);
  ErrorKind Kind() const { return kind_; }
  const std::string& Reason() const { return reason_; }
  const ThrowSite& Site() const { return site_; }

 private:
  ErrorKind kind_;
  std::string reason_;
  ThrowSite site_;
};

// What a failing file operation was doing, so that a caller can say
// whether an input, an output or the temporary directory failed.
enum class FileAccess : uint8_t {
  kUnknown,
  kRead,            // opening or reading an input
  kWrite,           // creating, writing or closing an output
  kTemporary,       // making a temporary file
  kTemporaryWrite,  // writing or reading a temporary file once it was made
};

// A file operation failed; the reason is one of the fixed texts
// ("File not found", "Disk full", ...). The path names the file the
// operation was about (for a temporary file, the temporary directory);
// it is not part of the report.
class InOutError : public RunError {
 public:
  explicit InOutError(std::string reason, ThrowSite site = ThrowSite::Here())
      : RunError(ErrorKind::kInOut, std::move(reason), site) {}
  InOutError(std::string reason, std::string path, FileAccess access,
             ThrowSite site = ThrowSite::Here())
      : RunError(ErrorKind::kInOut, std::move(reason), site),
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
      : RunError(ErrorKind::kDecompression, std::move(reason), site) {}
};

// The project file's header was rejected.
class ProjectError : public RunError {
 public:
  explicit ProjectError(std::string reason, ThrowSite site = ThrowSite::Here())
      : RunError(ErrorKind::kProject, std::move(reason), site) {}
};

// A picture to import cannot be used: it is not a PNG or JPEG, it is
// corrupt, or it is too large to decode. The reason says which.
class PictureFileError : public RunError {
 public:
  explicit PictureFileError(std::string reason, ThrowSite site = ThrowSite::Here())
      : RunError(ErrorKind::kPicture, std::move(reason), site) {}
};

// A picture to import is of a size the import does not take as it stands
// (and it was not asked to fit it): a usage error, not a broken file.
class PictureSizeError : public RunError {
 public:
  explicit PictureSizeError(std::string reason, ThrowSite site = ThrowSite::Here())
      : RunError(ErrorKind::kPictureSize, std::move(reason), site) {}
};

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_ERROR_H_
