#include "view/own_picture.h"

#include <memory>

#include "platform/error.h"
#include "view/png_writer.h"
#include "view/unreadable_file.h"

namespace qdp::view {

std::optional<std::string> WhyNotReplaced(FileSystem& fs, const std::string& target) {
  if (!fs.IsExistingFile(target)) return std::nullopt;
  try {
    std::unique_ptr<File> file = fs.OpenForReading(target);
    if (CarriesMark(*file)) return std::nullopt;
  } catch (const InOutError& error) {
    if (error.Reason() == kNotARegularFile) return std::nullopt;
    return "cannot tell whether qdpview made " + target + " (" + error.Reason() +
           "), so it is not replaced";
  }
  return target + " was not made by qdpview, so it is not replaced";
}

}  // namespace qdp::view
