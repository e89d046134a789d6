#include "generator/Variables.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

TEST(VariablesTest, KeysIgnoreCaseAndFirstMatchWins) {
  TVariables vars;
  vars.Add("Title", std::string("first"));
  vars.Add("TITLE", std::string("second"));
  EXPECT_EQ(vars.Length(), 2);
  EXPECT_EQ(vars.IndexOf("title"), 0);
  EXPECT_EQ(ValueToText(*vars.Find("tItLe")), "first");

  vars.Set("title", std::string("changed"));  // changes the first, appends nothing
  EXPECT_EQ(vars.Length(), 2);
  EXPECT_EQ(ValueToText(vars.At(0).Value), "changed");
  EXPECT_EQ(ValueToText(vars.At(1).Value), "second");

  vars.Remove("TITLE");  // removes only the first
  ASSERT_EQ(vars.Length(), 1);
  EXPECT_EQ(ValueToText(*vars.Find("title")), "second");

  // Missing keys and out-of-range removals are harmless.
  EXPECT_EQ(vars.IndexOf("none"), -1);
  EXPECT_EQ(vars.Find("none"), nullptr);
  vars.Remove("none");
  vars.RemoveAt(5);
  vars.RemoveAt(-1);
  EXPECT_EQ(vars.Length(), 1);
}

TEST(VariablesTest, NonAsciiKeysFoldCase) {
  TVariables vars;
  vars.Set("Заголовок", std::string("x"));
  EXPECT_TRUE(vars.Exists("заголовок"));
  EXPECT_TRUE(vars.Exists("ЗАГОЛОВОК"));
  EXPECT_FALSE(vars.Exists("заголово"));
  EXPECT_FALSE(SameNameIgnoringCase("abc", "abd"));
  EXPECT_FALSE(SameNameIgnoringCase("abc", "ab"));
}

TEST(VariablesTest, SortIsByKeyIgnoringCaseAndStable) {
  TVariables vars;
  vars.Add("b", std::int64_t(1));
  vars.Add("A", std::int64_t(2));
  vars.Add("a", std::int64_t(3));
  vars.Sort();
  EXPECT_EQ(vars.At(0).Key, "A");
  EXPECT_EQ(vars.At(1).Key, "a");
  EXPECT_EQ(vars.At(2).Key, "b");
}

TEST(VariablesTest, ValuesAsText) {
  EXPECT_EQ(ValueToText(TValue{}), "");
  EXPECT_EQ(ValueToText(TValue{std::int64_t(-42)}), "-42");
  EXPECT_EQ(ValueToText(TValue{3.0}), "3");
  EXPECT_EQ(ValueToText(TValue{0.5}), "0.5");
  EXPECT_EQ(ValueToText(TValue{true}), "True");
  EXPECT_EQ(ValueToText(TValue{false}), "False");
  struct Object : IScriptObject {
    std::string ToText() const override { return "[object]"; }
  };
  EXPECT_EQ(ValueToText(TValue{std::make_shared<Object>()}), "[object]");
  EXPECT_EQ(ValueToText(TValue{std::shared_ptr<IScriptObject>()}), "");
}

}  // namespace
}  // namespace pw::tests
