// Unpacks a compressed project (the magic "QDPZLIB" followed by one zlib
// stream) into a plain project file in the temporary directory, which the
// reader then reads in place of the input. The stream is copied to a first
// temporary file and decoded from there into a second one.
#ifndef QDPEXT_PROJECT_CONTAINER_H_
#define QDPEXT_PROJECT_CONTAINER_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "project/project_format.h"
#include "workspace/workspace.h"

namespace qdp {

inline constexpr std::array<uint8_t, 7> ContainerMagic = {'Q', 'D', 'P', 'Z', 'L', 'I', 'B'};

// Decoded bytes past kLongestProjectBytes are checked but never kept.

// Owns the temporary files of one load and removes every one of them when
// it goes away, whether the load succeeded or threw.
class TempFiles {
 public:
  explicit TempFiles(FileSystem& fs) : fs_(fs) { names_.reserve(2); }
  ~TempFiles();
  TempFiles(const TempFiles&) = delete;
  TempFiles& operator=(const TempFiles&) = delete;

  // Makes a new, empty file with a unique name beginning with "~" in the
  // system's temporary directory and takes charge of it.
  std::string Make();
  const std::vector<std::string>& Names() const { return names_; }

 private:
  FileSystem& fs_;
  std::vector<std::string> names_;
};

// Copies the stream of the container `input` to a first temporary file,
// decodes it into a second one and returns the second one's name. Both are
// made through `temps`. The copy passes through ws.IoBuffer and leaves the
// last chunk there. Throws DecompressionError for a stream that zlib
// rejects and InOutError for a file that fails.
std::string UnpackContainer(Workspace& ws, FileSystem& fs, const std::string& input,
                            TempFiles& temps);

// Decodes the zlib stream in `source` and writes the first
// kLongestProjectBytes decoded bytes to `destination`. The whole stream is
// decoded and checked before `destination` is written. A stream that stops
// before its end marker is no error: what it decoded to is written.
void InflateFile(FileSystem& fs, const std::string& source, const std::string& destination);

}  // namespace qdp

#endif  // QDPEXT_PROJECT_CONTAINER_H_
