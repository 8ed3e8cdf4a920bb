#include "view/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qdp::view {
namespace {

// Every option's number is read by one rule, and "--name=VALUE" is the
// same as "--name VALUE".
TEST(ViewCommandLineTest, NumbersAreReadAlikeInEitherForm) {
  struct Case {
    std::vector<std::string> args;
    int scale;  // 0: refused
    GtiaMode gtia;
  };
  const Case cases[] = {
      {{"--scale", "02", "--gtia", "09", "p.qdp"}, 2, GtiaMode::kLuminances},
      {{"--scale=16", "--gtia=010", "p.qdp"}, 16, GtiaMode::kNineColours},
      {{"--scale", "3", "--gtia", "11", "p.qdp"}, 3, GtiaMode::kHues},
      {{"--scale", "+2", "p.qdp"}, 0, GtiaMode::kLuminances},
      {{"--scale", " 2", "p.qdp"}, 0, GtiaMode::kLuminances},
      {{"--scale", "-0", "p.qdp"}, 0, GtiaMode::kLuminances},
      {{"--gtia", "+9", "p.qdp"}, 0, GtiaMode::kLuminances},
      {{"--gtia", "9 ", "p.qdp"}, 0, GtiaMode::kLuminances},
      {{"--gtia=", "p.qdp"}, 0, GtiaMode::kLuminances},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    ParsedCommandLine parsed = ParseViewCommandLine(c.args);
    ASSERT_EQ(parsed.Options.has_value(), c.scale != 0) << parsed.Error;
    if (!parsed.Options) continue;
    EXPECT_EQ(parsed.Options->Scale, c.scale);
    EXPECT_EQ(parsed.Options->Gtia, c.gtia);
  }
  EXPECT_NE(ViewUsage().find("--scale=2"), std::string::npos);
}

}  // namespace
}  // namespace qdp::view
