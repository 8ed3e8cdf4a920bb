#include "export/side_files.h"

namespace qdp {

void WriteSideFile(FileSystem& fs, const std::string& file_name, std::span<const uint8_t> bytes) {
  std::unique_ptr<File> file = fs.CreateForWriting(file_name);
  try {
    file->Write(bytes.data(), bytes.size());
    file->Close();
  } catch (...) {
    file.reset();  // closed before it is removed, as some systems require
    fs.RemoveRegularFile(file_name);
    throw;
  }
}

}  // namespace qdp
