// File names as both programs read them, the same on every system: what
// separates the parts of a path, the last part, one spelling of a name,
// whether writing one name would write over another file, and the names
// of the temporary files that output is written under.
#ifndef QDPEXT_PLATFORM_PATH_H_
#define QDPEXT_PLATFORM_PATH_H_

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_system.h"

namespace qdp {

// What separates the parts of a path: "/", "\\" and ":", on every system,
// so that a name means the same to the programs wherever they run.
inline constexpr char kPathSeparators[] = "/\\:";

// The last part of `path`: the name without its directory.
std::string BaseName(const std::string& path);

// `path` with "." steps, doubled slashes and each ".." after a name taken
// out, so that two spellings of one name ("x.png", "./x.png",
// "out//../x.png") compare equal.
std::string Normalised(const std::string& path);

// True when writing `target` would write over `input`: both names are the
// same once normalised, or both lead to the same existing file.
bool WouldOverwrite(FileSystem& fs, const std::string& target, const std::string& input);

// The name a file being written into an output folder has until it is put
// in its place: "~qdp-PID-XXXXXX", with the writing process's id in
// decimal and six letters or digits drawn from `random`. The id lets a
// later run tell a name that a killed run left behind (its process is
// gone) from one that a live run is still writing.
inline constexpr char kTemporaryPrefix[] = "~qdp-";
inline constexpr int kTemporaryLetters = 6;
std::string TemporaryFileName(uint32_t pid, uint64_t random);

// The process id in `name` when it is exactly such a temporary name (no
// folder, the id without leading zeros), else nothing: a file named
// otherwise is never taken for one of ours.
std::optional<uint32_t> TemporaryFileProcess(const std::string& name);

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_PATH_H_
