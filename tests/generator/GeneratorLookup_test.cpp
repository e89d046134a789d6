#include "support/GeneratorFixture.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {


class LookupTest : public ::testing::Test {
 protected:
  std::string Convert(std::string_view markup) {
    THTMLConverter converter;
    return converter.Convert(markup);
  }
  std::string Expand(std::string_view text, TSection* scope, bool convert = true) {
    return g.ExpandPlaceholders(text, scope, convert ? &g.Converter() : nullptr);
  }
  TFakeScripts scripts;
  TGenerator g{&scripts};
};

TEST_F(LookupTest, GroupsThatAreNotPlaceholdersStay) {
  g.Generate("$title T\n");
  EXPECT_EQ(Expand("{ $title} {title} {$title} {$ title} {$title }", nullptr), "{ $title} {title} T {$ title} {$title }");
  EXPECT_EQ(Expand("body { color: red } {$title}", nullptr), "body { color: red } T");
  // Unbalanced braces copy the rest.
  EXPECT_EQ(Expand("{$title} then {$title {$title}", nullptr), "T then {$title {$title}");
  EXPECT_EQ(Expand("} {$title}", nullptr), "} T");
  EXPECT_EQ(Expand("", nullptr), "");
  // Names that resolve to nothing are empty.
  EXPECT_EQ(Expand("[{$nothing}]", nullptr), "[]");
  EXPECT_EQ(Expand("[{$none.html.x}]", nullptr), "[]");
}

TEST_F(LookupTest, SectionScopeAndQualifiedNames) {
  g.Generate("$title Site\n$footer Made by me\n[news]\n$title Latest\n* one\n[index.html]\n$title Home\nHello\n");
  const std::pair<const char*, const char*> cases[] = {
      {"title", "Home"},          {"footer", "Made by me"},  // project-wide fallback
      {"NAME", "index.html"},     {"Content", "Hello\n"},
      {"news.title", "Latest"},   {"news.name", "news"},     {"news.content", "* one\n"},
      {"index.html.name", "index.html"}, {".title", "Site"},
      {"News.title", ""},  // section names are exact
      {"missing.title", ""},
  };
  TSection* page = g.Section(1);
  for (const auto& [name, expected] : cases) EXPECT_EQ(page->LookupValue(name, nullptr), expected) << name;
  EXPECT_EQ(page->LookupValue("content", &g.Converter()), Convert("Hello\n"));
  EXPECT_EQ(g.LookupValue("title", nullptr), "Site");
  EXPECT_EQ(g.LookupValue("content", nullptr), "");
  EXPECT_EQ(g.LookupValue("name", nullptr), "");
}

TEST_F(LookupTest, VariableWinsOverSectionOfTheSameName) {
  g.Generate("$menu from variable\n[menu]\nfrom section\n[index.html]\n");
  EXPECT_EQ(Expand("{$menu}", g.Section(1)), "from variable");
  g.RemoveVar("menu");
  EXPECT_EQ(Expand("{$menu}", g.Section(1)), Convert("from section\n"));
  EXPECT_EQ(Expand("{$menu}", g.Section(1), false), "from section\n");
}

TEST_F(LookupTest, FragmentsAreConvertedAndExpandedInTheirOwnScope) {
  g.Generate(
      "[menu]\n"
      "$label Menu\n"
      "{$label} of {$name}\n"
      "[index.html]\n"
      "$label Page\n");
  EXPECT_EQ(Expand("{$menu}", g.Section(1)), Convert("Menu of menu\n"));
  EXPECT_EQ(g.Section(0)->HTML(), Convert("Menu of menu\n"));
}

TEST_F(LookupTest, SettingsAreVisibleAsNames) {
  g.Generate("$charset windows-1251\n$img_path pics\n$pre_style x\n");
  EXPECT_EQ(g.LookupValue("CHARSET", nullptr), "windows-1251");
  EXPECT_EQ(g.LookupValue("img_path", nullptr), "pics/");
  EXPECT_EQ(g.LookupValue("pre_style", nullptr), "x");
  g.Clear();
  EXPECT_EQ(g.LookupValue("charset", nullptr), "utf-8");
}

TEST_F(LookupTest, SelfIncludingSectionsStopAtTheDepthLimit) {
  g.Generate("[loop]\nx{$loop}\n[a]\n<{$b}\n[b]\n>{$a}\n");
  ASSERT_EQ(Convert("x{$loop}\n"), "x{$loop}");
  // Without a converter a fragment is inserted raw, unexpanded.
  EXPECT_EQ(Expand("{$loop}", nullptr, false), "x{$loop}\n");
  // The outer text is level 1; each inclusion adds one; level 18 yields nothing.
  std::string once = Expand("{$loop}", nullptr);
  EXPECT_EQ(once, std::string(16, 'x'));
  std::string mutual = Expand("{$a}", nullptr);
  EXPECT_FALSE(mutual.empty());
  EXPECT_LT(mutual.size(), 1000u);
  // The depth is restored afterwards: a second expansion gives the same text.
  EXPECT_EQ(Expand("{$loop}", nullptr), once);
}

TEST_F(LookupTest, FunctionCallsWithQuotedAndVariableArguments) {
  g.Generate("$site Acme\n[index.html]\n$title Home\n");
  scripts.Functions["upper"] = [](const std::vector<std::string>& args, TSection*, std::string& out) {
    out.clear();
    for (const std::string& arg : args) out += "<" + arg + ">";
    return true;
  };
  TSection* page = g.Section(0);
  EXPECT_EQ(Expand("{$upper(plain, \"a, b\", 'c', $title, $site, \"$title\", $none)}", page),
            "<plain><a, b><c><Home><Acme><$title><>");
  ASSERT_EQ(scripts.Calls.size(), 1u);
  EXPECT_EQ(scripts.Calls[0].Name, "upper");
  EXPECT_EQ(scripts.Calls[0].Self, page);
  EXPECT_EQ(Expand("{$upper()}", nullptr), "");
  EXPECT_EQ(scripts.Calls.back().Self, nullptr);
}

TEST_F(LookupTest, FailedOrUnknownCallsStayAsWritten) {
  scripts.Functions["fails"] = [](const std::vector<std::string>&, TSection*, std::string&) { return false; };
  EXPECT_EQ(Expand("a{$fails(1)}b{$unknown(x, 'y')}c", nullptr), "a{$fails(1)}b{$unknown(x, 'y')}c");
  EXPECT_EQ(Expand("{$f(a) b}", nullptr), "{$f(a) b}");
  // Without a runtime, calls stay as written too.
  TGenerator bare;
  EXPECT_EQ(bare.ExpandPlaceholders("{$now()}", nullptr, nullptr), "{$now()}");
}

}  // namespace
}  // namespace pw::tests
