#include "view/unreadable_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/memory_file_system.h"
#include "tests/support/project_builder.h"

namespace qdp::view {
namespace {

using testing::ScratchDir;

// Each kind of name a user may give is answered with what is wrong with it,
// on the real file system, and a fifo without waiting for a writer.
TEST(WhyUnreadableTest, NamesWhatIsWrongWithTheFile) {
  ScratchDir dir;
  testing::WriteFileBytes(dir.File("pic.qdp"), testing::Bytes(10, 1));
  std::filesystem::create_directory(dir.File("adir.qdp"));
  ASSERT_EQ(mkfifo(dir.File("fifo.qdp").c_str(), 0600), 0);
  std::filesystem::create_symlink("adir.qdp", dir.File("link.qdp"));
  struct Case {
    std::string path;
    std::optional<std::string> why;
  };
  const Case cases[] = {
      {dir.File("pic.qdp"), std::nullopt},
      {dir.File("missing.qdp"), "File not found"},
      {dir.File("adir.qdp"), "is a directory"},
      {dir.File("link.qdp"), "is a directory"},
      {dir.File("fifo.qdp"), "is not a regular file (a pipe, fifo or device)"},
      {"/dev/null", "is not a regular file (a pipe, fifo or device)"},
      {dir.File("pic.qdp/x"), "Invalid filename"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(WhyUnreadable(RealFileSystem(), c.path), c.why);
  }
}

TEST(WhyUnreadableTest, AFailedOpenGivesTheFileSystemsReason) {
  testing::MemoryFileSystem fs;
  fs.files["/mem/p.qdp"] = testing::Bytes(3, 0);
  fs.fail_open["/mem/p.qdp"] = "File access denied";
  EXPECT_EQ(WhyUnreadable(fs, "/mem/p.qdp"), "File access denied");
}

}  // namespace
}  // namespace qdp::view
