#include "platform/AsciiCase.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

TEST(AsciiCaseTest, AsciiCaseFoldsOnlyAsciiLetters) {
  EXPECT_EQ(platform::LowerAscii("Index.HTML @[`{"), "index.html @[`{");
  EXPECT_EQ(platform::LowerAscii("\xC3\x89T\xC3\x89"), "\xC3\x89t\xC3\x89");  // É stays
  EXPECT_TRUE(platform::EqualsIgnoringAsciiCase("UTF-8", "utf-8"));
  EXPECT_FALSE(platform::EqualsIgnoringAsciiCase("utf-8", "utf-80"));
  EXPECT_FALSE(platform::EqualsIgnoringAsciiCase("@", "`"));  // neighbours of the letters
  EXPECT_TRUE(platform::StartsWithIgnoringAsciiCase("$USES a", "$uses "));
  EXPECT_FALSE(platform::StartsWithIgnoringAsciiCase("$use", "$uses "));
}

}  // namespace
}  // namespace pw::tests
