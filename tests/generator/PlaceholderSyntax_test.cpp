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
  EXPECT_EQ(p.Name, "title");
  EXPECT_FALSE(p.IsCall);
  ASSERT_TRUE(ParsePlaceholder("news.html.title", p));
  EXPECT_EQ(p.Name, "news.html.title");
  ASSERT_TRUE(ParsePlaceholder("a-b_c$&", p));
  ASSERT_TRUE(ParsePlaceholder("заголовок", p));  // multi-byte letters are name bytes
  EXPECT_EQ(p.Name, "заголовок");
  EXPECT_FALSE(ParsePlaceholder("", p));
  EXPECT_FALSE(ParsePlaceholder(" title", p));
  EXPECT_FALSE(ParsePlaceholder("title ", p));
  EXPECT_FALSE(ParsePlaceholder("a b", p));
}

TEST(PlaceholderParseTest, CallArguments) {
  TPlaceholder p;
  ASSERT_TRUE(ParsePlaceholder("f()", p));
  EXPECT_TRUE(p.IsCall);
  EXPECT_TRUE(p.Args.empty());

  ASSERT_TRUE(ParsePlaceholder("f(a,  b , \"c, d\", 'e)f', $title)", p));
  ASSERT_EQ(p.Args.size(), 5u);
  EXPECT_EQ(p.Args[0].Text, "a");
  EXPECT_EQ(p.Args[1].Text, "b ");  // leading spaces skipped, the rest kept
  EXPECT_EQ(p.Args[2].Text, "c, d");
  EXPECT_TRUE(p.Args[2].Quoted);
  EXPECT_EQ(p.Args[3].Text, "e)f");
  EXPECT_EQ(p.Args[4].Text, "$title");
  EXPECT_TRUE(IsVariableArgument(p.Args[4]));

  ASSERT_TRUE(ParsePlaceholder("f(a, b", p));  // the list may end at the end of the text
  EXPECT_EQ(p.Args.size(), 2u);
  ASSERT_TRUE(ParsePlaceholder("f(a,)", p));
  ASSERT_EQ(p.Args.size(), 2u);
  EXPECT_EQ(p.Args[1].Text, "");
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
