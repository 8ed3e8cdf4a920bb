// Unpacks a compressed project (the magic "QDPZLIB" followed by one zlib
// stream) into a plain project in a temporary file, which the reader then
// reads in place of the input.
#ifndef QDPEXT_PROJECT_CONTAINER_H_
#define QDPEXT_PROJECT_CONTAINER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/file_system.h"

namespace qdp {

// The decoder of one stream, fed in pieces of any size: it keeps the first
// kLongestProjectBytes decoded bytes and checks the rest. The browser page
// feeds it as it reads the file; UnpackContainer, as it copies the input.
class StreamDecoder {
 public:
  StreamDecoder();
  ~StreamDecoder();
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // Decodes the next `size` bytes of the stream and returns how many of
  // them belong to it: all, unless its end marker comes first. Throws
  // DecompressionError when zlib rejects the stream. Call no more once
  // Ended().
  size_t Feed(const uint8_t* data, size_t size);
  bool Ended() const { return ended_; }
  // The decoded bytes kept: the project, however far the stream went.
  std::span<const uint8_t> Kept() const { return {kept_.get(), kept_size_}; }

 private:
  struct Inflater;
  std::unique_ptr<Inflater> inflater_;
  std::unique_ptr<uint8_t[]> kept_;
  size_t kept_size_ = 0;
  std::unique_ptr<uint8_t[]> discard_;  // made only for a stream longer than a project
  bool ended_ = false;
};

// Copies the stream that follows the magic in `input` (positioned just
// after it) to a first temporary file, decoding it as it goes, and returns
// a second temporary file that holds the decoded project, positioned at its
// start. The copy ends at the stream's end marker, so nothing after the
// stream is read; a stream that stops early is no error, and what it
// decoded to is the project. Only the first kLongestProjectBytes decoded
// bytes are kept, but the whole stream is checked. Throws
// DecompressionError for a stream that zlib rejects, at the chunk where it
// does, and InOutError for a file that fails.
std::unique_ptr<File> UnpackContainer(FileSystem& fs, File& input);

}  // namespace qdp

#endif  // QDPEXT_PROJECT_CONTAINER_H_
