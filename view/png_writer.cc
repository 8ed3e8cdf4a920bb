#include "view/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace qdp::view {
namespace {

// How the rows of one picture are laid out in the file: 1-bit grey for a
// black and white picture, else indexed with as few bits a pixel as its
// palette allows, since fewer bytes a row are less to filter and deflate.
struct RowForm {
  bool Grey;
  int Depth;  // bits a pixel: 1, 2, 4 or 8
  int Width;  // pixels at scale 1
  int Scale;
  size_t Bytes() const { return (static_cast<size_t>(Width) * Scale * Depth + 7) / 8; }
};

RowForm FormOf(const IndexedImage& image, int scale) {
  const size_t colours = image.Palette.size();
  if (image.Palette == BlackAndWhite()) return {true, 1, image.Width, scale};
  const int depth = colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
  return {false, depth, image.Width, scale};
}

// Packs `count` indices (a whole number of bytes' worth, low `Depth` bits
// each) into bytes, leftmost pixel in the high bits.
template <int Depth>
void Pack(const uint8_t* indices, size_t bytes, uint8_t* out) {
  constexpr int kPerByte = 8 / Depth;
  constexpr int kMask = (1 << Depth) - 1;
  for (size_t i = 0; i < bytes; ++i) {
    int byte = 0;
    for (int k = 0; k < kPerByte; ++k) byte = (byte << Depth) | (indices[k] & kMask);
    out[i] = static_cast<uint8_t>(byte);
    indices += kPerByte;
  }
}

// Turns the palette indices of one row into the row as stored: each pixel
// `Scale` times, packed `8 / Depth` pixels a byte. The pixels are spread
// first (into `spread`, room for a whole last byte, its tail zero) and
// then packed with no branch per pixel: a branch per pixel on a busy
// picture cost more than all the rest of the encoding.
void EncodeRow(const RowForm& form, const uint8_t* indices, std::vector<uint8_t>& spread,
               uint8_t* out) {
  const int width = form.Width;
  const int scale = form.Scale;
  if (width == 0) return;
  const uint8_t* pixels = indices;
  if (scale > 1 || form.Depth < 8) {
    if (scale == 1) {
      std::memcpy(spread.data(), indices, static_cast<size_t>(width));
    } else {
      uint8_t* to = spread.data();
      for (int x = 0; x < width; ++x) {
        for (int k = 0; k < scale; ++k) *to++ = indices[x];
      }
    }
    pixels = spread.data();
  }
  switch (form.Depth) {
    case 1:
      return Pack<1>(pixels, form.Bytes(), out);
    case 2:
      return Pack<2>(pixels, form.Bytes(), out);
    case 4:
      return Pack<4>(pixels, form.Bytes(), out);
    default:
      std::memcpy(out, pixels, form.Bytes());
  }
}

// libpng and zlib ask for the same few hundred kilobytes for every
// picture. Served by malloc, that memory would go back to the system after
// each picture and be faulted in page by page again for the next; kept
// here, in the writer, only its first picture pays for it. Requests are
// served in order from one block, which is taken back whole when the
// picture is done; what does not fit comes from malloc. One picture at a
// time only.
class EncoderArena {
 public:
  void* Allocate(size_t size) {
    size = (size + kAlign - 1) / kAlign * kAlign;
    if (size <= kBytes - used_) {
      void* block = storage_ + used_;
      used_ += size;
      return block;
    }
    return std::malloc(size);
  }
  void Free(void* block) {
    auto* bytes = static_cast<unsigned char*>(block);
    if (bytes < storage_ || bytes >= storage_ + kBytes) std::free(block);
  }
  void Reset() { used_ = 0; }

 private:
  static constexpr size_t kAlign = alignof(std::max_align_t);
  static constexpr size_t kBytes = 256 * 1024;
  // Left unset, so that a new writer costs no page until it is used.
  alignas(kAlign) unsigned char storage_[kBytes];
  size_t used_ = 0;
};

png_voidp ArenaAllocate(png_structp png, png_alloc_size_t size) {
  return static_cast<EncoderArena*>(png_get_mem_ptr(png))->Allocate(size);
}
void ArenaFree(png_structp png, png_voidp block) {
  static_cast<EncoderArena*>(png_get_mem_ptr(png))->Free(block);
}

// True when deflate would gain too little on `image` at scale 1 to be
// worth its time. The run search and the "up" filter turn a byte that
// repeats the byte to its left or the byte above into next to nothing;
// every other byte costs about its share of the entropy of such bytes.
// When that estimate keeps more than two thirds of the size, the picture
// is mostly noise (random glyphs, say), which deflate codes at several
// times the cost of all the rest of the encoding for a file at most a
// third smaller: it is stored instead. Larger scales repeat every pixel
// and row, so they always pay.
bool HardlyCompressible(const IndexedImage& image, const RowForm& form,
                        std::vector<uint8_t>& indices, std::vector<uint8_t>& spread,
                        std::vector<uint8_t>& row, std::vector<uint8_t>& above) {
  std::array<long, 256> counts{};
  long others = 0;
  const long bytes = static_cast<long>(row.size()) * image.Height;
  for (int y = 0; y < image.Height; ++y) {
    image.FillRow(y, indices.data());
    EncodeRow(form, indices.data(), spread, row.data());
    for (size_t x = 0; x < row.size(); ++x) {
      if ((y > 0 && row[x] == above[x]) || (x > 0 && row[x] == row[x - 1])) continue;
      ++counts[row[x]];
      ++others;
    }
    row.swap(above);
  }
  if (bytes == 0) return false;
  double bits = 0;  // the other bytes' order-0 entropy, in bits in all
  for (long count : counts) {
    if (count != 0)
      bits += static_cast<double>(count) * std::log2(static_cast<double>(others) / count);
  }
  return bits > 2.0 / 3.0 * 8.0 * static_cast<double>(bytes);
}

// libpng's own handlers print to standard error; qdpview reports every
// failure in its one line per file, so these only return control (the
// error) or stay silent (a warning).
[[noreturn]] void QuietError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void QuietWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// Where libpng's bytes go: gathered into large writes (libpng hands over a
// chunk's length, body and checksum one by one) and passed to the file.
// A failing write is a C++ exception, which must never cross libpng's C
// frames: it is caught and kept here, libpng is left by its own error
// path, and the caller throws it again once libpng is out of the way.
inline constexpr size_t kSinkBytes = 16 * 1024;

struct PngSink {
  File* Target = nullptr;
  unsigned char* Buffer = nullptr;  // kSinkBytes, the writer's
  std::exception_ptr Failure;
  size_t Used = 0;

  void Put(const unsigned char* data, size_t size) {
    if (size > kSinkBytes - Used) Flush();
    if (size >= kSinkBytes) {
      Target->Write(data, size);
      return;
    }
    std::memcpy(Buffer + Used, data, size);
    Used += size;
  }
  void Flush() {
    if (Used == 0) return;
    const size_t size = std::exchange(Used, 0);
    Target->Write(Buffer, size);
  }
};

void WriteToSink(png_structp png, png_bytep data, size_t size) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  try {
    sink->Put(data, size);
    return;
  } catch (...) {
    sink->Failure = std::current_exception();
  }
  // Outside the handler: a longjmp must not leave a catch block.
  png_error(png, "write failed");
}
void FlushNothing(png_structp /*png*/) {}

// The encoding proper. libpng reports errors by longjmp back into this
// function, so nothing here may need destruction: the buffers and the sink
// belong to the caller, and the return value says whether libpng gave up.
bool Encode(EncoderArena& arena, PngSink& sink, const IndexedImage& image, const RowForm& form,
            bool store, std::vector<uint8_t>& indices, std::vector<uint8_t>& spread,
            std::vector<uint8_t>& row) {
  arena.Reset();
  png_structp png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, nullptr, QuietError,
                                              QuietWarning, &arena, ArenaAllocate, ArenaFree);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &sink, WriteToSink, FlushNothing);
  const int scale = form.Scale;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width * scale),
               static_cast<png_uint_32>(image.Height * scale), form.Depth,
               form.Grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!form.Grey) {
    std::array<png_color, 256> palette{};
    const size_t colours = std::min(image.Palette.size(), palette.size());
    for (size_t i = 0; i < colours; ++i) {
      palette[i] = {image.Palette[i].R, image.Palette[i].G, image.Palette[i].B};
    }
    png_set_PLTE(png, info, palette.data(), static_cast<int>(colours));
  }
  // Pictures of a few colours are runs of equal bytes, and at a scale above 1 runs
  // of equal rows, which the "up" filter turns into runs of zeros. Deflate
  // that looks for runs alone is two to three times as fast as its default
  // search here, for files a little larger; the smaller memory level only
  // shrinks tables that the run search does not use.
  // Stored, the rows gain nothing from a filter, so none is tried.
  // Indexed pictures are filtered "up" alone: choosing between two filters
  // for every row cost more than the deflate itself on a large font sheet.
  // Black and white rows are an eighth as long, so they can afford the
  // choice of none or up, row by row.
  int filters = PNG_FILTER_UP;
  if (store) {
    filters = PNG_FILTER_NONE;
  } else if (form.Grey) {
    filters = PNG_FILTER_NONE | PNG_FILTER_UP;
  }
  png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
  // Written before the pixels, so that the check reads only the first
  // chunks of a file.
  png_text mark{};
  mark.compression = PNG_TEXT_COMPRESSION_NONE;
  mark.key = const_cast<png_charp>(kMarkKeyword);
  mark.text = const_cast<png_charp>(kMarkText);
  png_set_text(png, info, &mark, 1);
  png_set_compression_strategy(png, Z_RLE);
  png_set_compression_mem_level(png, 6);
  if (store) png_set_compression_level(png, Z_NO_COMPRESSION);
  png_write_info(png, info);
  for (int y = 0; y < image.Height; ++y) {
    image.FillRow(y, indices.data());
    EncodeRow(form, indices.data(), spread, row.data());
    for (int k = 0; k < scale; ++k) png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

// What a writer keeps from one picture to the next.
struct PngWriter::Scratch {
  EncoderArena Arena;
  unsigned char SinkBuffer[kSinkBytes];
};

// `new Scratch` rather than make_unique, which would zero it all and so
// touch every page at once.
PngWriter::PngWriter() : scratch_(new Scratch) {}
PngWriter::~PngWriter() = default;

namespace {

uint32_t BigEndian32(const unsigned char* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         bytes[3];
}

}  // namespace

bool CarriesMark(File& file) {
  static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  unsigned char head[8];
  if (file.Read(head, 8) != 8 || std::memcmp(head, kSignature, 8) != 0) return false;
  // The chunks before the pixels, read by their headers alone; a PNG
  // holds only a few there, so the walk is short for one of ours and
  // bounded for any other.
  const std::string wanted = std::string(kMarkKeyword) + '\0' + kMarkText;
  uint64_t at = 8;
  for (int chunk = 0; chunk < 64; ++chunk) {
    if (file.Read(head, 8) != 8) return false;
    const uint32_t length = BigEndian32(head);
    const std::string type(reinterpret_cast<const char*>(head) + 4, 4);
    if (type == "IDAT" || type == "IEND") return false;
    if (type == "tEXt" && length == wanted.size()) {
      std::string body(length, '\0');
      if (file.Read(body.data(), length) != length) return false;
      if (body == wanted) return true;
    }
    at += 12 + uint64_t{length};
    file.Seek(at);
  }
  return false;
}

void WritePng(FileSystem& fs, const std::string& path, const IndexedImage& image, int scale) {
  PngWriter().Write(fs, path, image, scale);
}

void PngWriter::Write(FileSystem& fs, const std::string& path, const IndexedImage& image,
                      int scale) {
  const RowForm form = FormOf(image, scale);
  std::vector<uint8_t> indices(static_cast<size_t>(image.Width));
  std::vector<uint8_t> spread(form.Bytes() * 8 / form.Depth);  // whole bytes; the tail stays 0
  std::vector<uint8_t> row(form.Bytes());
  std::vector<uint8_t> above(form.Bytes());
  const bool store = scale == 1 && HardlyCompressible(image, form, indices, spread, row, above);

  // Written whole or not at all: a file given up without Close() leaves
  // `path` as it was.
  std::unique_ptr<File> file = fs.CreateReplacing(path);
  PngSink sink;
  sink.Target = file.get();
  sink.Buffer = scratch_->SinkBuffer;
  if (!Encode(scratch_->Arena, sink, image, form, store, indices, spread, row)) {
    if (sink.Failure) std::rethrow_exception(sink.Failure);
    throw InOutError("Cannot encode the picture", path, FileAccess::kWrite);
  }
  sink.Flush();
  file->Close();
}

}  // namespace qdp::view
