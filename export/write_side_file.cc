#include "export/side_files.h"

namespace qdp {

void WriteSideFile(FileSystem& fs, const std::string& file_name, std::span<const uint8_t> bytes) {
  // Replaced whole: a run stopped or failing at any point leaves the file
  // as it was, or complete, never empty or cut short.
  std::unique_ptr<File> file = fs.CreateReplacing(file_name);
  file->Write(bytes.data(), bytes.size());
  file->Close();
}

}  // namespace qdp
