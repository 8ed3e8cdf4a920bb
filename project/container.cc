#include "project/container.h"

#include <zlib.h>

#include <memory>

#include "platform/error.h"
#include "project/project_format.h"

namespace qdp {
namespace {

constexpr size_t kCopyChunk = 1 << 16;
constexpr size_t kDiscardChunk = 1 << 16;

}  // namespace

// Ends the decoder however the object goes.
struct StreamDecoder::Inflater {
  z_stream zs{};
  Inflater() {
    int rc = inflateInit(&zs);
    if (rc != Z_OK) throw DecompressionError(zError(rc));
  }
  ~Inflater() { inflateEnd(&zs); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
};

// Only the bytes a project can occupy are kept; the rest of the output
// lands in a small discard buffer, so a stream that decodes to gigabytes
// needs no more memory than one that decodes to a project.
// Not zero-filled: only the decoded prefix is ever read or written.
StreamDecoder::StreamDecoder()
    : inflater_(std::make_unique<Inflater>()),
      kept_(std::make_unique_for_overwrite<uint8_t[]>(kLongestProjectBytes)) {}

StreamDecoder::~StreamDecoder() = default;

size_t StreamDecoder::Feed(const uint8_t* data, size_t size) {
  z_stream& zs = inflater_->zs;
  zs.next_in = const_cast<uint8_t*>(data);
  zs.avail_in = static_cast<uInt>(size);
  while (zs.avail_in > 0) {
    bool keeping = kept_size_ < kLongestProjectBytes;
    if (!keeping && !discard_) discard_ = std::make_unique_for_overwrite<uint8_t[]>(kDiscardChunk);
    zs.next_out = keeping ? kept_.get() + kept_size_ : discard_.get();
    zs.avail_out = static_cast<uInt>(keeping ? kLongestProjectBytes - kept_size_ : kDiscardChunk);
    uInt room = zs.avail_out;
    int rc = inflate(&zs, Z_NO_FLUSH);
    if (keeping) kept_size_ += room - zs.avail_out;
    if (rc == Z_STREAM_END) {
      ended_ = true;
      break;
    }
    if (rc == Z_OK) continue;
    // No progress is possible only when the input ran out, which the
    // caller handles; anything else is a failure of the stream.
    if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;
    throw DecompressionError(zError(rc));
  }
  return size - zs.avail_in;
}

std::unique_ptr<File> UnpackContainer(FileSystem& fs, File& input) {
  // The stream is copied to a temporary file as read, never read back: a
  // temporary folder that cannot hold the compressed project fails the run
  // with the temporary folder's error, on every system alike.
  std::unique_ptr<File> stream = fs.MakeTempFile();
  StreamDecoder decoder;
  auto chunk = std::make_unique_for_overwrite<uint8_t[]>(kCopyChunk);

  // Each chunk is decoded as it is copied, so a stream that zlib rejects
  // ends the run at that chunk, and the copy stops at the end marker:
  // whatever follows the stream, however long, is never read or copied.
  while (!decoder.Ended()) {
    size_t got = input.Read(chunk.get(), kCopyChunk);
    if (got == 0) break;  // the stream stops early: keep what it gave
    stream->Write(chunk.get(), decoder.Feed(chunk.get(), got));
  }

  std::unique_ptr<File> project = fs.MakeTempFile();
  project->Write(decoder.Kept().data(), decoder.Kept().size());
  project->Seek(0);
  return project;
}

}  // namespace qdp
