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

// Only a name of exactly the temporary form is ever taken for one a killed
// run left: anything a user might have named alike is not.
TEST(PathTest, OnlyTemporaryNamesOfTheExactFormGiveTheirProcess) {
  EXPECT_EQ(TemporaryFileProcess(TemporaryFileName(4321, 987654321)), 4321u);
  EXPECT_EQ(TemporaryFileProcess(TemporaryFileName(UINT32_MAX, 0)), UINT32_MAX);
  EXPECT_EQ(TemporaryFileProcess("~qdp-17-aZ09xY"), 17u);
  for (const char* other : {"~qdp-17-aZ09x", "~qdp-17-aZ09xYz", "~qdp-017-aZ09xY", "~qdp--aZ09xY",
                            "~qdp-4294967296-aZ09xY", "~qdp-17-aZ0.xY", "~qdp-17_aZ09xY",
                            "~qdpaZ09xY", "x~qdp-17-aZ09xY", "~QDP-17-aZ09xY", "~qdp-17-aZ09xY.png",
                            "dir/~qdp-17-aZ09xY", "~qdp-12345678901-abcdef"}) {
    EXPECT_EQ(TemporaryFileProcess(other), std::nullopt) << other;
  }
}

}  // namespace
}  // namespace qdp
