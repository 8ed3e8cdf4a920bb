// Unpacks a compressed project (the magic "QDPZLIB" followed by one zlib
// stream) into a plain project in a temporary file, which the reader then
// reads in place of the input.
#ifndef QDPEXT_PROJECT_CONTAINER_H_
#define QDPEXT_PROJECT_CONTAINER_H_

#include <memory>

#include "platform/file_system.h"

namespace qdp {

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
