#include "platform/Trim.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

TEST(TrimTest, TrimRemovesEverythingBelow0x21) {
  EXPECT_EQ(platform::TrimBlanks("\x01\t \r x y \x1F\x20"), "x y");
  EXPECT_EQ(platform::TrimBlanks("\xC2\xA0x"), "\xC2\xA0x");  // a no-break space is text
  EXPECT_EQ(platform::TrimBlanks("   "), "");
}

}  // namespace
}  // namespace pw::tests
