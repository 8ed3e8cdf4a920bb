#include <gtest/gtest.h>

#include "export/side_files.h"
#include "platform/error.h"
#include "tests/support/memory_file_system.h"

namespace qdp {
namespace {

using testing::Bytes;
using testing::MemoryFileSystem;

// A side file that fails once it was created or emptied is removed, so a
// half-written file never passes for a finished one; a create that fails
// changes nothing, so a file that cannot be opened keeps what it held.
TEST(WriteSideFileTest, APartlyWrittenFileIsRemovedAndAnUnopenedOneKept) {
  enum Step { kCreate, kWrite, kClose };
  struct Case {
    Step step;
    bool exists_after;
  };
  for (Case c : {Case{kCreate, true}, Case{kWrite, false}, Case{kClose, false}}) {
    SCOPED_TRACE(c.step);
    MemoryFileSystem fs;
    fs.files["pic.mic"] = Bytes{1, 2, 3};
    auto& failures = c.step == kCreate  ? fs.fail_create
                     : c.step == kWrite ? fs.fail_write
                                        : fs.fail_close;
    failures["pic.mic"] = "Disk full";
    fs.write_limit = 4;
    const Bytes content(100, 9);
    EXPECT_THROW(WriteSideFile(fs, "pic.mic", content), InOutError);
    EXPECT_EQ(fs.files.count("pic.mic") != 0, c.exists_after);
    if (c.exists_after) {
      EXPECT_EQ(fs.files["pic.mic"], (Bytes{1, 2, 3}));
      EXPECT_TRUE(fs.removed.empty());
    } else {
      EXPECT_EQ(fs.removed, std::vector<std::string>{"pic.mic"});
    }
  }
}

}  // namespace
}  // namespace qdp
