// PNG through libpng: every colour type and depth comes out as 8-bit RGB,
// alpha laid over black, one row (or, interlaced, one pass's row) at a time.
#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "importer/fit.h"
#include "importer/picture_decoder.h"
#include "platform/error.h"

namespace qdp::importer {
namespace {

// Ancillary chunks (text, colour profiles) may hold no more than this
// decoded: a small file cannot ask for gigabytes through one.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

// Everything the C callbacks share with the decoding. It lives in the
// caller's frame, so that nothing a longjmp passes over needs destroying.
struct PngRun {
  File* Input = nullptr;
  PixelSink* Sink = nullptr;
  std::vector<png_byte>* Row = nullptr;
  std::vector<view::Rgb>* Pixels = nullptr;
  std::exception_ptr Failure;  // what the file threw inside a callback
  char Message[160] = "";
  png_structp Png = nullptr;
  png_infop Info = nullptr;
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  auto* run = static_cast<PngRun*>(png_get_error_ptr(png));
  std::snprintf(run->Message, sizeof run->Message, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadInput(png_structp png, png_bytep data, size_t size) {
  auto* run = static_cast<PngRun*>(png_get_io_ptr(png));
  size_t got = 0;
  bool failed = false;
  try {
    got = run->Input->Read(data, size);
  } catch (...) {
    run->Failure = std::current_exception();
    failed = true;
  }
  if (failed) png_error(png, "read failed");
  if (got < size) png_error(png, "the file ends early");
}

// One row of RGBA from libpng as RGB over black, handed to the sink.
void PutRow(PngRun& run, int y, int x0, int step, int count) {
  const png_byte* in = run.Row->data();
  view::Rgb* out = run.Pixels->data();
  for (int i = 0; i < count; ++i, in += 4) {
    out[i] = {OverBlack(in[0], in[3]), OverBlack(in[1], in[3]), OverBlack(in[2], in[3])};
  }
  run.Sink->Put(y, x0, step, out, count);
}

// The decoding itself; false when libpng gave up (run.Message says why).
// Only trivially destructible locals: libpng leaves through longjmp.
bool Decode(PngRun& run) {
  if (setjmp(png_jmpbuf(run.Png)) != 0) return false;
  png_set_read_fn(run.Png, &run, ReadInput);
  // The size is checked here, with a reason that names it, rather than by
  // libpng's own limit.
  png_set_user_limits(run.Png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_set_chunk_malloc_max(run.Png, kMaxChunkBytes);
  png_read_info(run.Png, run.Info);
  CheckPictureSize(png_get_image_width(run.Png, run.Info), png_get_image_height(run.Png, run.Info));
  const int width = static_cast<int>(png_get_image_width(run.Png, run.Info));
  const int height = static_cast<int>(png_get_image_height(run.Png, run.Info));
  const bool interlaced = png_get_interlace_type(run.Png, run.Info) != PNG_INTERLACE_NONE;
  run.Sink->Begin(width, height);

  // Whatever is stored becomes 8-bit RGBA.
  png_set_expand(run.Png);
  png_set_scale_16(run.Png);
  png_set_gray_to_rgb(run.Png);
  png_set_add_alpha(run.Png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(run.Png, run.Info);
  run.Row->resize(static_cast<size_t>(width) * 4);
  run.Pixels->resize(static_cast<size_t>(width));

  if (!interlaced) {
    for (int y = 0; y < height; ++y) {
      png_read_row(run.Png, run.Row->data(), nullptr);
      PutRow(run, y, 0, 1, width);
    }
    return true;
  }
  // Each pass is read as the picture of its own pixels, which land in
  // their places; libpng skips the passes that hold none.
  for (int pass = 0; pass < PNG_INTERLACE_ADAM7_PASSES; ++pass) {
    const int columns = static_cast<int>(PNG_PASS_COLS(width, pass));
    const int rows = static_cast<int>(PNG_PASS_ROWS(height, pass));
    if (columns == 0 || rows == 0) continue;
    for (int r = 0; r < rows; ++r) {
      png_read_row(run.Png, run.Row->data(), nullptr);
      const int y = static_cast<int>(PNG_ROW_FROM_PASS_ROW(r, pass));
      PutRow(run, y, static_cast<int>(PNG_PASS_START_COL(pass)), 1 << PNG_PASS_COL_SHIFT(pass),
             columns);
    }
  }
  return true;
}

// The size in the header chunk, which comes first in every PNG, checked
// before libpng reads on: it would read every chunk up to the pixels
// before it told the size.
void CheckHeaderSize(File& file) {
  std::array<uint8_t, 24> start{};
  file.Seek(0);
  const size_t got = file.Read(start.data(), start.size());
  file.Seek(0);
  if (got < start.size() || !std::equal(start.begin() + 12, start.begin() + 16, "IHDR")) return;
  auto word = [&](size_t at) {
    return static_cast<uint64_t>(start[at]) << 24 | start[at + 1] << 16 | start[at + 2] << 8 |
           start[at + 3];
  };
  CheckPictureSize(word(16), word(20));
}

}  // namespace

void DecodePng(File& file, PixelSink& sink) {
  CheckHeaderSize(file);
  std::vector<png_byte> row;
  std::vector<view::Rgb> pixels;
  PngRun run;
  run.Input = &file;
  run.Sink = &sink;
  run.Row = &row;
  run.Pixels = &pixels;
  run.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &run, OnError, OnWarning);
  if (run.Png == nullptr) throw std::bad_alloc();
  run.Info = png_create_info_struct(run.Png);
  struct Release {
    PngRun& Run;
    ~Release() { png_destroy_read_struct(&Run.Png, &Run.Info, nullptr); }
  } release{run};
  if (run.Info == nullptr) throw std::bad_alloc();
  if (Decode(run)) return;
  if (run.Failure) std::rethrow_exception(run.Failure);
  throw PictureFileError(std::string("corrupt PNG: ") + run.Message);
}

}  // namespace qdp::importer
