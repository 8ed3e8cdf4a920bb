#include "platform/error.h"

#include <gtest/gtest.h>

namespace qdp {
namespace {

TEST(RunErrorTest, CarriesKindReasonAndThrowSite) {
  InOutError io("Disk full");
  EXPECT_STREQ(ErrorKindName(io.Kind()), "EInOutError");
  EXPECT_EQ(io.Reason(), "Disk full");
  EXPECT_EQ(io.Site().Line, __LINE__ - 3);
  EXPECT_STREQ(io.what(), "Disk full");
  EXPECT_STREQ(ErrorKindName(DecompressionError("data error").Kind()), "EZDecompressionError");
  EXPECT_STREQ(ErrorKindName(ProjectError("width 36").Kind()), "EProjectError");
  EXPECT_STREQ(ErrorKindName(ErrorKind::kPalette), "EPaletteError");
}

}  // namespace
}  // namespace qdp
