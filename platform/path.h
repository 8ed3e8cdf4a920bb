// File names as both programs read them, the same on every system: what
// separates the parts of a path, the last part, one spelling of a name,
// and whether writing one name would write over another file.
#ifndef QDPEXT_PLATFORM_PATH_H_
#define QDPEXT_PLATFORM_PATH_H_

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

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_PATH_H_
