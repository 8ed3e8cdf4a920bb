#include "view/unreadable_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/project_builder.h"

namespace qdp::view {
namespace {

// What the end-to-end tests do not reach: a link is judged by what it
// leads to, a fifo is answered without waiting, and a name through a file
// keeps the file system's reason. (Directories, devices, missing inputs
// and palettes are in tests/view_e2e_test.cc.)
TEST(WhyUnreadableTest, NamesWhatIsWrongWithTheFile) {
  testing::ScratchDir dir;
  testing::WriteFileBytes(dir.File("pic.qdp"), testing::Bytes(10, 1));
  std::filesystem::create_directory(dir.File("adir"));
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink("adir", dir.File("to-dir"));
  std::filesystem::create_symlink("pic.qdp", dir.File("to-pic"));
  struct Case {
    std::string name;
    std::optional<std::string> why;
  };
  const Case cases[] = {
      {"to-pic", std::nullopt},
      {"to-dir", "is a directory"},
      {"fifo", "is not a regular file (a pipe, fifo or device)"},
      {"pic.qdp/x", "Invalid filename"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WhyUnreadable(RealFileSystem(), dir.File(c.name)), c.why) << c.name;
  }
}

}  // namespace
}  // namespace qdp::view
