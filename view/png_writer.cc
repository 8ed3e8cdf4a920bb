#include "view/png_writer.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include "platform/error.h"
#include "platform/posix_error.h"
#include "platform/signal_cleanup.h"

namespace qdp::view {
namespace {

// Spreads the `width` pixels of `row` over `width` x `scale` pixels.
void ScaleRow(const uint8_t* row, int width, int scale, uint8_t* out) {
  for (int x = 0; x < width; ++x) {
    if (!(row[x >> 3] & (0x80 >> (x & 7)))) continue;
    for (int k = x * scale; k < (x + 1) * scale; ++k) {
      out[k >> 3] |= static_cast<uint8_t>(0x80 >> (k & 7));
    }
  }
}

// libpng's own handlers print to standard error; qdpview reports every
// failure in its one line per file, so these only return control (the
// error) or stay silent (a warning).
[[noreturn]] void QuietError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void QuietWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// The encoding proper. libpng reports errors by longjmp back into this
// function, so nothing here may need destruction: the buffers belong to
// the caller, and the return value says whether libpng gave up.
bool Encode(std::FILE* file, const BitImage& image, int scale, std::vector<uint8_t>& source,
            std::vector<uint8_t>& scaled) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width * scale),
               static_cast<png_uint_32>(image.height * scale), 1, PNG_COLOR_TYPE_GRAY,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) {
    std::fill(source.begin(), source.end(), 0);
    image.fill_row(y, source.data());
    uint8_t* row = source.data();
    if (scale > 1) {
      std::fill(scaled.begin(), scaled.end(), 0);
      ScaleRow(source.data(), image.width, scale, scaled.data());
      row = scaled.data();
    }
    for (int k = 0; k < scale; ++k) png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// The permissions a newly created file would get: mkstemp makes 0600.
mode_t NewFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void WritePng(const std::string& path, const BitImage& image, int scale) {
  std::vector<uint8_t> source((image.width + 7) / 8);
  std::vector<uint8_t> scaled((static_cast<size_t>(image.width) * scale + 7) / 8);

  // The temporary file lives beside its target, so the rename is within
  // one file system and readers of `path` see the old file or the new one,
  // never a part.
  // It is registered for removal as it is made, so that a signal never
  // leaves it behind, and given up in the same step as it is renamed or
  // removed, so that a signal never removes a name that is no longer ours.
  // Its name is short whatever the target's, so that a target named as
  // long as a directory entry allows still gets one.
  const size_t slash = path.find_last_of('/');
  std::string temp =
      (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "~qdpviewXXXXXX";
  int fd = -1;
  {
    CleanupSignalsHeld held;
    fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd >= 0) RegisterCleanupPath(temp.c_str());
  }
  if (fd < 0) throw InOutError(ReasonForErrno(errno));
  auto give_up = [&temp] {
    CleanupSignalsHeld held;
    ::unlink(temp.c_str());
    UnregisterCleanupPath(temp.c_str());
  };
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    int error = errno;
    ::close(fd);
    give_up();
    throw InOutError(ReasonForErrno(error));
  }
  errno = 0;
  bool ok = ::fchmod(fd, NewFileMode()) == 0 && Encode(file, image, scale, source, scaled) &&
            std::fflush(file) == 0 && !std::ferror(file);
  int error = errno;
  ok = std::fclose(file) == 0 && ok;
  if (!ok && error == 0) error = errno;
  if (ok) {
    CleanupSignalsHeld held;
    if (::rename(temp.c_str(), path.c_str()) == 0) {
      UnregisterCleanupPath(temp.c_str());
      return;
    }
    error = errno;
  }
  give_up();
  throw InOutError(error != 0 ? ReasonForErrno(error) : "Cannot encode the picture");
}

}  // namespace qdp::view
