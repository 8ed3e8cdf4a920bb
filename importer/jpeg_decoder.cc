// JPEG through libjpeg-turbo: grey, YCbCr, RGB and CMYK pictures come out
// as 8-bit RGB, one row at a time, with the decoder's memory bounded.
#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "importer/picture_decoder.h"
#include "platform/error.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace qdp::importer {
namespace {

constexpr size_t kInputChunk = 64 * 1024;
// A progressive picture is decoded again for each of its scans; a file of
// thousands of tiny scans would take hours.
constexpr int kMaxScans = 1000;

// Everything the C callbacks share with the decoding; it lives in the
// caller's frame, so that nothing a longjmp passes over needs destroying.
struct JpegRun {
  jpeg_decompress_struct Info{};
  jpeg_error_mgr Errors{};
  jpeg_source_mgr Source{};
  std::jmp_buf Jump{};
  File* Input = nullptr;
  PixelSink* Sink = nullptr;
  std::vector<JOCTET>* Buffer = nullptr;
  std::vector<JSAMPLE>* Row = nullptr;
  std::vector<view::Rgb>* Pixels = nullptr;
  std::exception_ptr Failure;  // what the file threw inside a callback
  jpeg_progress_mgr Progress{};
  char Message[JMSG_LENGTH_MAX] = "";
  bool Refused = false;  // Message is the whole reason, not the decoder's complaint
};

JpegRun& RunOf(j_common_ptr info) { return *static_cast<JpegRun*>(info->client_data); }

[[noreturn]] void OnError(j_common_ptr info) {
  JpegRun& run = RunOf(info);
  if (info->err->msg_code == JERR_NO_BACKING_STORE) {
    std::snprintf(run.Message, sizeof run.Message, "the JPEG needs more than %ld MiB to decode",
                  kMaxDecoderMemory >> 20);
    run.Refused = true;
  } else {
    (*info->err->format_message)(info, run.Message);
  }
  std::longjmp(run.Jump, 1);
}

void OnProgress(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMaxScans) {
    JpegRun& run = RunOf(info);
    std::snprintf(run.Message, sizeof run.Message, "the JPEG has more than %d scans", kMaxScans);
    run.Refused = true;
    std::longjmp(run.Jump, 1);
  }
}

// Warnings (stray bytes between markers and the like) do not stop a
// picture that decodes.
void OnMessage(j_common_ptr, int) {}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
  JpegRun& run = RunOf(reinterpret_cast<j_common_ptr>(info));
  size_t got = 0;
  bool failed = false;
  try {
    got = run.Input->Read(run.Buffer->data(), run.Buffer->size());
  } catch (...) {
    run.Failure = std::current_exception();
    failed = true;
  }
  // A picture cut short is corrupt: the decoder would paint the rest grey.
  if (failed || got == 0) {
    std::snprintf(run.Message, sizeof run.Message, "%s", "the file ends early");
    std::longjmp(run.Jump, 1);
  }
  info->src->next_input_byte = run.Buffer->data();
  info->src->bytes_in_buffer = got;
  return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
  jpeg_source_mgr& source = *info->src;
  while (count > 0) {
    if (source.bytes_in_buffer == 0) FillInput(info);
    const size_t step = std::min(source.bytes_in_buffer, static_cast<size_t>(count));
    source.next_input_byte += step;
    source.bytes_in_buffer -= step;
    count -= static_cast<long>(step);
  }
}

// CMYK as such pictures are stored (inverted: 255 is no ink) to RGB.
view::Rgb FromCmyk(const JSAMPLE* p) {
  auto channel = [k = p[3]](unsigned c) { return static_cast<uint8_t>((c * k + 127) / 255); };
  return {channel(p[0]), channel(p[1]), channel(p[2])};
}

// The decoding itself; false when the decoder gave up (run.Message says
// why). Only trivially destructible locals: the decoder leaves through
// longjmp.
bool Decode(JpegRun& run) {
  if (setjmp(run.Jump) != 0) return false;
  jpeg_create_decompress(&run.Info);
  run.Info.progress = &run.Progress;
  run.Info.mem->max_memory_to_use = kMaxDecoderMemory;
  run.Info.src = &run.Source;
  jpeg_read_header(&run.Info, TRUE);
  CheckPictureSize(run.Info.image_width, run.Info.image_height);
  const bool cmyk = run.Info.jpeg_color_space == JCS_CMYK || run.Info.jpeg_color_space == JCS_YCCK;
  run.Info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  run.Info.scale_num = 1;
  run.Info.scale_denom = static_cast<unsigned>(run.Sink->Shrink(
      static_cast<int>(run.Info.image_width), static_cast<int>(run.Info.image_height)));
  jpeg_calc_output_dimensions(&run.Info);
  const int width = static_cast<int>(run.Info.output_width);
  const int height = static_cast<int>(run.Info.output_height);
  run.Sink->Begin(width, height);
  jpeg_start_decompress(&run.Info);
  const int components = run.Info.output_components;
  run.Row->resize(static_cast<size_t>(width) * static_cast<size_t>(components));
  run.Pixels->resize(static_cast<size_t>(width));
  while (run.Info.output_scanline < run.Info.output_height) {
    const int y = static_cast<int>(run.Info.output_scanline);
    JSAMPROW row = run.Row->data();
    jpeg_read_scanlines(&run.Info, &row, 1);
    const JSAMPLE* in = run.Row->data();
    view::Rgb* out = run.Pixels->data();
    for (int x = 0; x < width; ++x, in += components) {
      out[x] = cmyk ? FromCmyk(in) : view::Rgb{in[0], in[1], in[2]};
    }
    run.Sink->Put(y, 0, 1, out, width);
  }
  // The rest of the file (trailing markers) is not needed.
  jpeg_abort_decompress(&run.Info);
  return true;
}

}  // namespace

void DecodeJpeg(File& file, PixelSink& sink) {
  std::vector<JOCTET> buffer(kInputChunk);
  std::vector<JSAMPLE> row;
  std::vector<view::Rgb> pixels;
  JpegRun run;
  run.Input = &file;
  run.Sink = &sink;
  run.Buffer = &buffer;
  run.Row = &row;
  run.Pixels = &pixels;
  run.Info.client_data = &run;
  run.Info.err = jpeg_std_error(&run.Errors);
  run.Progress.progress_monitor = OnProgress;
  run.Errors.error_exit = OnError;
  run.Errors.emit_message = OnMessage;
  run.Source.init_source = InitSource;
  run.Source.fill_input_buffer = FillInput;
  run.Source.skip_input_data = SkipInput;
  run.Source.resync_to_restart = jpeg_resync_to_restart;
  run.Source.term_source = TermSource;
  struct Release {
    JpegRun& Run;
    ~Release() { jpeg_destroy_decompress(&Run.Info); }
  } release{run};
  if (Decode(run)) return;
  if (run.Failure) std::rethrow_exception(run.Failure);
  if (run.Refused) throw PictureFileError(run.Message);
  throw PictureFileError(std::string("corrupt JPEG: ") + run.Message);
}

}  // namespace qdp::importer
