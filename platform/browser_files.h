// The files of the browser build. A page has no disk: the programs' files
// live in memory, where the page puts an input by name before a run and
// takes out by name what the run wrote. RealFileSystem() works on them,
// with the same errors and reasons as the other systems' file systems.
#ifndef QDPEXT_PLATFORM_BROWSER_FILES_H_
#define QDPEXT_PLATFORM_BROWSER_FILES_H_

#include <cstdint>
#include <string>
#include <vector>

namespace qdp::browser {

// Makes `path` a file holding `bytes`, replacing any file of that name.
void PutFile(const std::string& path, std::vector<uint8_t> bytes);

// The files there are, in the order they were first made.
std::vector<std::string> FileNames();

// The bytes of file `path`, or null when there is none. Valid until the
// next change to the files.
const std::vector<uint8_t>* FileBytes(const std::string& path);

// Removes every file and directory, so that the next run starts on an
// empty disk.
void ClearFiles();

}  // namespace qdp::browser

#endif  // QDPEXT_PLATFORM_BROWSER_FILES_H_
