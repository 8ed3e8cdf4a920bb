// Test support for the end-to-end export tests: the side files a project
// must give when nothing is rebuilt (conversion bit 0x08), worked out
// straight from the project's description, and small file helpers.
#ifndef QDPEXT_TESTS_EXPECTED_SIDE_FILES_H_
#define QDPEXT_TESTS_EXPECTED_SIDE_FILES_H_

#include <map>
#include <string>

#include "tests/support/project_builder.h"

namespace qdp::testing {

// Extension (".mic", ...) to file contents.
using SideFiles = std::map<std::string, Bytes>;

// What `options` (a string of letters from "smfc") write for `content`,
// whose header must ask for no rebuild. Only the files that are written
// are in the result.
SideFiles ExpectedSideFiles(const ProjectContent& content, const std::string& options);

// The rendered bitmap of `content`: 240 rows of its width.
Bytes ExpectedBitmap(const ProjectContent& content);

// The side files of `base` (a path without extension) that exist.
SideFiles ReadSideFiles(const std::string& base);

// Glyph byte of a font as the project stores it (0 beyond the stored fonts).
uint8_t GlyphByte(const ProjectContent& content, int font, int character, int row);

}  // namespace qdp::testing

#endif  // QDPEXT_TESTS_EXPECTED_SIDE_FILES_H_
