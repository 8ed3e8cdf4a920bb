#include <gtest/gtest.h>

#include "export/side_files.h"

namespace qdp {
namespace {

TEST(SideFileNameTest, ReplacesOnlyAnExtensionOfTheFileItself) {
  struct Case {
    const char* input;
    const char* expected;
  };
  const Case cases[] = {
      {"pic.qdp", "pic.mic"},
      {"pic", "pic.mic"},
      {"a.b.qdp", "a.b.mic"},
      {"pic.", "pic.mic"},
      {"PIC.QDP", "PIC.mic"},
      // A dot in a directory name is not the file's extension.
      {"old.dir/pic", "old.dir/pic.mic"},
      {"old.dir\\pic", "old.dir\\pic.mic"},
      {"d:pic", "d:pic.mic"},
      {"./pic", "./pic.mic"},
      {"../x.y/pic.qdp", "../x.y/pic.mic"},
      {"/home/me/work.v2/pic.qdp", "/home/me/work.v2/pic.mic"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SideFileName(c.input, ".mic"), c.expected) << c.input;
  }
}

}  // namespace
}  // namespace qdp
