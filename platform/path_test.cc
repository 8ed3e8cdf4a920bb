#include "platform/path.h"

#include <gtest/gtest.h>

#include "tests/support/memory_file_system.h"

namespace qdp {
namespace {

TEST(PathTest, BaseNameCutsAtAnySeparator) {
  EXPECT_EQ(BaseName("dir/pic.qdp"), "pic.qdp");
  EXPECT_EQ(BaseName("c:\\art\\pic.qdp"), "pic.qdp");
  EXPECT_EQ(BaseName("d:pic.qdp"), "pic.qdp");
  EXPECT_EQ(BaseName("pic.qdp"), "pic.qdp");
}

TEST(PathTest, SpellingsOfOneNameNormaliseAlike) {
  struct Case {
    const char* path;
    const char* normal;
  };
  const Case cases[] = {
      {"x.png", "x.png"},
      {"./x.png", "x.png"},
      {"out//x.png", "out/x.png"},
      {"out/../x.png", "x.png"},
      {"../x.png", "../x.png"},
      // Going up past the start keeps every "..": they do not cancel.
      {"../../x.png", "../../x.png"},
      {"a/../../x.png", "../x.png"},
      {"a/b/../../x.png", "x.png"},
      {"../a/../x.png", "../x.png"},
      {"/../x.png", "/x.png"},
      {"/a/./b/", "/a/b"},
      {"", "."},
      {"a/..", "."},
  };
  for (const Case& c : cases) EXPECT_EQ(Normalised(c.path), c.normal) << c.path;
}

// The check both programs make before writing beside an input: a name of
// its own only when neither spelling nor identity leads back to the input.
TEST(PathTest, WouldOverwriteFindsTheInputByNameOrIdentity) {
  testing::MemoryFileSystem fs;
  fs.files["/p/pic.mic"] = {1};
  EXPECT_TRUE(WouldOverwrite(fs, "/p/pic.mic", "/p/./pic.mic"));
  EXPECT_TRUE(WouldOverwrite(fs, "/p/x/../pic.mic", "/p/pic.mic"));
  EXPECT_TRUE(WouldOverwrite(fs, "new/a.png", "new//a.png"));  // neither exists yet
  EXPECT_FALSE(WouldOverwrite(fs, "/p/pic.fnt", "/p/pic.mic"));
}

}  // namespace
}  // namespace qdp
