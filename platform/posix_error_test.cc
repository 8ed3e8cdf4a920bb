#include "platform/posix_error.h"

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
      {ENOENT, "File not found"},      {ENAMETOOLONG, "Invalid filename"},
      {ENOTDIR, "Invalid filename"},   {EMFILE, "Too many open files"},
      {ENFILE, "Too many open files"}, {EACCES, "File access denied"},
      {EPERM, "File access denied"},   {EROFS, "File access denied"},
      {EISDIR, "File access denied"},  {ENOSPC, "Disk full"},
      {EDQUOT, "Disk full"},           {EIO, "I/O error 5"},
      {EBADF, "I/O error 9"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReasonForErrno(c.error), c.reason) << c.error;
}

}  // namespace
}  // namespace qdp
