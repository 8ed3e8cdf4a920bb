#include "project/container.h"

#include <zlib.h>

#include <memory>

#include "platform/error.h"
#include "project/project_format.h"

namespace qdp {
namespace {

// Ends the decoder on every path out of UnpackContainer.
struct Inflater {
  z_stream Stream{};
  Inflater() {
    int rc = inflateInit(&Stream);
    if (rc != Z_OK) throw DecompressionError(zError(rc));
  }
  ~Inflater() { inflateEnd(&Stream); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
};

constexpr size_t kCopyChunk = 1 << 16;
constexpr size_t kDiscardChunk = 1 << 16;

}  // namespace

std::unique_ptr<File> UnpackContainer(FileSystem& fs, File& input) {
  // The stream is copied to a temporary file as read, never read back: a
  // temporary folder that cannot hold the compressed project fails the run
  // with the temporary folder's error, on every system alike.
  std::unique_ptr<File> stream = fs.MakeTempFile();
  Inflater inflater;
  z_stream& zs = inflater.Stream;

  // Only the bytes a project can occupy are kept; the rest of the output
  // lands in a small discard buffer, so a stream that decodes to gigabytes
  // needs no more memory than one that decodes to a project.
  // Not zero-filled: only the decoded prefix is ever read or written.
  auto kept = std::make_unique_for_overwrite<uint8_t[]>(kLongestProjectBytes);
  size_t kept_size = 0;
  std::unique_ptr<uint8_t[]> discard;  // made only for a stream longer than a project
  auto chunk = std::make_unique_for_overwrite<uint8_t[]>(kCopyChunk);

  // Each chunk is decoded as it is copied, so a stream that zlib rejects
  // ends the run at that chunk, and the copy stops at the end marker:
  // whatever follows the stream, however long, is never read or copied.
  bool ended = false;
  while (!ended) {
    size_t got = input.Read(chunk.get(), kCopyChunk);
    if (got == 0) break;  // the stream stops early: keep what it gave
    zs.next_in = chunk.get();
    zs.avail_in = static_cast<uInt>(got);
    while (zs.avail_in > 0) {
      bool keeping = kept_size < kLongestProjectBytes;
      if (!keeping && !discard) {
        discard = std::make_unique_for_overwrite<uint8_t[]>(kDiscardChunk);
      }
      zs.next_out = keeping ? kept.get() + kept_size : discard.get();
      zs.avail_out = static_cast<uInt>(keeping ? kLongestProjectBytes - kept_size : kDiscardChunk);
      uInt room = zs.avail_out;
      int rc = inflate(&zs, Z_NO_FLUSH);
      if (keeping) kept_size += room - zs.avail_out;
      if (rc == Z_STREAM_END) {
        ended = true;
        break;
      }
      if (rc == Z_OK) continue;
      // No progress is possible only when the input ran out, which the
      // outer loop handles; anything else is a failure of the stream.
      if (rc == Z_BUF_ERROR && zs.avail_in == 0) break;
      throw DecompressionError(zError(rc));
    }
    stream->Write(chunk.get(), got - zs.avail_in);
  }

  std::unique_ptr<File> project = fs.MakeTempFile();
  project->Write(kept.get(), kept_size);
  project->Seek(0);
  return project;
}

}  // namespace qdp
