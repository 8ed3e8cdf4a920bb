// Whether qdpview may write a picture over the file already at its name:
// only over a picture qdpview made, never over a file of the user's (such
// as the picture a project was imported from, which has the same name).
#ifndef QDPEXT_VIEW_OWN_PICTURE_H_
#define QDPEXT_VIEW_OWN_PICTURE_H_

#include <optional>
#include <string>

#include "platform/file_system.h"

namespace qdp::view {

// Why `target` must not be written, or nothing when it may: nothing is
// there, a picture with qdpview's mark is, or a device or fifo is (written
// as it is, as it always was). Any other file, or one that cannot be read
// to tell, is refused with a sentence that names it.
std::optional<std::string> WhyNotReplaced(FileSystem& fs, const std::string& target);

}  // namespace qdp::view

#endif  // QDPEXT_VIEW_OWN_PICTURE_H_
