#include "generator/PlaceholderSyntax.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

TEST(BraceGroupTest, FindsBalancedGroupsAndRejectsUnbalancedOnes) {
  size_t open = 0, close = 0;
  ASSERT_TRUE(FindBraceGroup("a {b {c} d} e", 0, open, close));
  EXPECT_EQ(open, 2u);
  EXPECT_EQ(close, 10u);
  EXPECT_FALSE(FindBraceGroup("no braces", 0, open, close));
  EXPECT_FALSE(FindBraceGroup("a {b {c} d", 0, open, close));
  EXPECT_FALSE(FindBraceGroup("}{", 0, open, close));
  ASSERT_TRUE(FindBraceGroup("} {x}", 0, open, close));  // a stray closing brace is text
  EXPECT_EQ(open, 2u);
}

TEST(PlaceholderParseTest, PlainNames) {
  TPlaceholder p;
  ASSERT_TRUE(ParsePlaceholder("title", p));
  EXPECT_EQ(p.name, "title");
  EXPECT_FALSE(p.isCall);
  ASSERT_TRUE(ParsePlaceholder("news.html.title", p));
  EXPECT_EQ(p.name, "news.html.title");
  ASSERT_TRUE(ParsePlaceholder("a-b_c$&", p));
  ASSERT_TRUE(ParsePlaceholder("заголовок", p));  // multi-byte letters are name bytes
  EXPECT_EQ(p.name, "заголовок");
  EXPECT_FALSE(ParsePlaceholder("", p));
  EXPECT_FALSE(ParsePlaceholder(" title", p));
  EXPECT_FALSE(ParsePlaceholder("title ", p));
  EXPECT_FALSE(ParsePlaceholder("a b", p));
}

TEST(PlaceholderParseTest, CallArguments) {
  TPlaceholder p;
  ASSERT_TRUE(ParsePlaceholder("f()", p));
  EXPECT_TRUE(p.isCall);
  EXPECT_TRUE(p.args.empty());

  ASSERT_TRUE(ParsePlaceholder("f(a,  b , \"c, d\", 'e)f', $title)", p));
  ASSERT_EQ(p.args.size(), 5u);
  EXPECT_EQ(p.args[0].text, "a");
  EXPECT_EQ(p.args[1].text, "b ");  // leading spaces skipped, the rest kept
  EXPECT_EQ(p.args[2].text, "c, d");
  EXPECT_TRUE(p.args[2].quoted);
  EXPECT_EQ(p.args[3].text, "e)f");
  EXPECT_EQ(p.args[4].text, "$title");
  EXPECT_TRUE(IsVariableArgument(p.args[4]));

  ASSERT_TRUE(ParsePlaceholder("f(a, b", p));  // the list may end at the end of the text
  EXPECT_EQ(p.args.size(), 2u);
  ASSERT_TRUE(ParsePlaceholder("f(a,)", p));
  ASSERT_EQ(p.args.size(), 2u);
  EXPECT_EQ(p.args[1].text, "");
}

TEST(PlaceholderParseTest, MalformedCallsDoNotParse) {
  TPlaceholder p;
  EXPECT_FALSE(ParsePlaceholder("f(a) x", p));
  EXPECT_FALSE(ParsePlaceholder("f(\"open", p));
  EXPECT_FALSE(ParsePlaceholder("f(\"a\" b)", p));
}

TEST(PlaceholderParseTest, VariableArguments) {
  EXPECT_TRUE(IsVariableArgument({"$a.b", false}));
  EXPECT_FALSE(IsVariableArgument({"$", false}));
  EXPECT_FALSE(IsVariableArgument({"$a b", false}));
  EXPECT_FALSE(IsVariableArgument({"$title", true}));  // quoting keeps the text literal
  EXPECT_FALSE(IsVariableArgument({"title", false}));
}

}  // namespace
}  // namespace pw::tests
