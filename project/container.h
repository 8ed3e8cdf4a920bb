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

// Owns the temporary files of one load. Each name is removed as soon as it
// is no longer needed (Release), and whatever is left when this goes away,
// whether the load succeeded or threw; no name is ever removed twice, since
// once given up it may belong to another process.
class TempFiles {
 public:
  explicit TempFiles(FileSystem& fs) : fs_(fs) { made_.reserve(2); }
  ~TempFiles();
  TempFiles(const TempFiles&) = delete;
  TempFiles& operator=(const TempFiles&) = delete;

  FileSystem& Fs() const { return fs_; }
  // Makes a new, empty file with a unique name beginning with "~" in the
  // system's temporary directory and takes charge of it.
  TempFile Make();
  // Removes the name of `temp` now; a file still open stays readable.
  void Release(const TempFile& temp);
  // Every file made, in order, whether released or not.
  std::vector<TempFile> Made() const;

 private:
  struct Entry {
    TempFile file;
    bool named;
  };
  FileSystem& fs_;
  std::vector<Entry> made_;
};

// Copies the stream of the container `input` to a first temporary file,
// decodes it into a second one and returns the second one, whose name the
// caller releases once it has opened it; the first one's name is already
// gone by then. Both are made through `temps`. The copy passes through
// ws.IoBuffer in chunks and leaves it all zero, as an unread workspace
// has it, so that a short decoded project loads exactly as the same bytes
// read plain. Throws DecompressionError for a stream that zlib rejects and
// InOutError for a file that fails.
TempFile UnpackContainer(Workspace& ws, FileSystem& fs, const std::string& input, TempFiles& temps);

// Decodes the zlib stream in `source` and writes the first
// kLongestProjectBytes decoded bytes to `destination`, both temporary files
// of `temps`; the name of `source` is released as soon as it is open. The
// whole stream is decoded and checked before `destination` is written. A
// stream that stops before its end marker is no error: what it decoded to
// is written.
void InflateFile(TempFiles& temps, const TempFile& source, const TempFile& destination);

}  // namespace qdp

#endif  // QDPEXT_PROJECT_CONTAINER_H_
