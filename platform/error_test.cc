#include "platform/error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qdp {
namespace {

TEST(ReasonForErrnoTest, MapsSystemErrorsToTheirReasons) {
  struct Case {
    int error;
    const char* reason;
  };
  const Case cases[] = {
      {ENOENT, "File not found"},
      {ENAMETOOLONG, "Invalid filename"},
      {ENOTDIR, "Invalid filename"},
      {EMFILE, "Too many open files"},
      {ENFILE, "Too many open files"},
      {EACCES, "File access denied"},
      {EPERM, "File access denied"},
      {EROFS, "File access denied"},
      {EISDIR, "File access denied"},
      {ENOSPC, "Disk full"},
      {EIO, "I/O error 5"},
      {EBADF, "I/O error 9"},
#ifdef EDQUOT  // not in the Windows C runtime
      {EDQUOT, "Disk full"},
#endif
  };
  for (const Case& c : cases) EXPECT_EQ(ReasonForErrno(c.error), c.reason) << c.error;
}

TEST(RunErrorTest, CarriesKindReasonAndThrowSite) {
  InOutError io("Disk full");
  EXPECT_EQ(io.Kind(), "EInOutError");
  EXPECT_EQ(io.Reason(), "Disk full");
  EXPECT_EQ(io.Site().Line, __LINE__ - 3);
  EXPECT_STREQ(io.what(), "Disk full");
  EXPECT_EQ(DecompressionError("data error").Kind(), "EZDecompressionError");
  EXPECT_EQ(ProjectError("width 36").Kind(), "EProjectError");
}

}  // namespace
}  // namespace qdp
