#include "markup/PagewickHighlighter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pw::tests {
namespace {

using markup::TPagewickHighlighter;
using markup::TTokenKind;

struct TToken {
  TTokenKind Kind;
  std::string Text;
  bool operator==(const TToken&) const = default;
};

void PrintTo(const TToken& token, std::ostream* out) {
  *out << '{' << static_cast<int>(token.Kind) << ", \"" << token.Text << "\"}";
}

constexpr auto Text = TTokenKind::tkText;
constexpr auto Section = TTokenKind::tkSection;
constexpr auto Comment = TTokenKind::tkComment;
constexpr auto Directive = TTokenKind::tkDirective;
constexpr auto Macro = TTokenKind::tkMacro;
constexpr auto Block = TTokenKind::tkBlock;

// Every token of a line as the editor steps through it, the closing empty Text token included.
std::vector<TToken> Tokens(TPagewickHighlighter& h, std::string_view line) {
  std::vector<TToken> tokens;
  h.SetLine(line);
  while (!h.GetEol()) {
    h.Next();
    tokens.push_back({static_cast<TTokenKind>(h.GetTokenKind()), std::string(h.GetToken())});
  }
  return tokens;
}

// Adjacent tokens of one kind look the same; merging them shows what the reader sees.
std::vector<TToken> Runs(TPagewickHighlighter& h, std::string_view line) {
  std::vector<TToken> runs;
  for (const TToken& t : Tokens(h, line)) {
    if (t.Text.empty()) continue;
    if (!runs.empty() && runs.back().Kind == t.Kind) runs.back().Text += t.Text;
    else runs.push_back(t);
  }
  return runs;
}

TEST(PagewickHighlighterTest, LineKindsAreRecognisedOnlyInTheFirstColumn) {
  TPagewickHighlighter h;
  struct {
    const char* Line;
    std::vector<TToken> Expected;
  } cases[] = {
      {"[about.html]", {{Section, "[about.html]"}, {Text, ""}}},
      {"$title My page", {{Directive, "$title My page"}, {Text, ""}}},
      {"; draft", {{Comment, "; draft"}, {Text, ""}}},
      {"> code {x}", {{Block, "> code {x}"}, {Text, ""}}},
      {"[", {{Section, "["}, {Text, ""}}},
      {"$", {{Directive, "$"}, {Text, ""}}},
      {">", {{Block, ">"}, {Text, ""}}},
      {"", {{Text, ""}}},
  };
  for (const auto& c : cases) EXPECT_EQ(Tokens(h, c.Line), c.Expected) << c.Line;

  for (const char* line : {"x [y]", "  ; note", " $x", "a>b", "\\[x]"})
    EXPECT_EQ(Runs(h, line), std::vector<TToken>({{Text, line}})) << line;
}

TEST(PagewickHighlighterTest, PlaceholdersAreMacrosWithNestedBraces) {
  TPagewickHighlighter h;
  EXPECT_EQ(Tokens(h, "Hello {$name}!"),
            std::vector<TToken>({{Text, "Hello "}, {Macro, "{$name}"}, {Text, "!"}, {Text, ""}}));
  EXPECT_EQ(Tokens(h, "a {b"),
            std::vector<TToken>({{Text, "a "}, {Text, "{"}, {Text, "b"}, {Text, ""}}));
  EXPECT_EQ(Runs(h, "{$menu {$x}} y"), std::vector<TToken>({{Macro, "{$menu {$x}}"}, {Text, " y"}}));
  EXPECT_EQ(Runs(h, "{}{x}"), std::vector<TToken>({{Macro, "{}{x}"}}));
  // The outer brace never closes, the inner one does.
  EXPECT_EQ(Runs(h, "{a {b} c"),
            std::vector<TToken>({{Text, "{a "}, {Macro, "{b}"}, {Text, " c"}}));
  EXPECT_EQ(Runs(h, "} {x}}"), std::vector<TToken>({{Text, "} "}, {Macro, "{x}"}, {Text, "}"}}));
  EXPECT_EQ(Runs(h, "ü {é}"), std::vector<TToken>({{Text, "ü "}, {Macro, "{é}"}}));
}

TEST(PagewickHighlighterTest, EndOfLineAndStepsPastIt) {
  TPagewickHighlighter h;
  h.SetLine("ab");
  EXPECT_FALSE(h.GetEol());
  h.Next();
  h.Next();
  EXPECT_FALSE(h.GetEol());
  h.Next();
  EXPECT_TRUE(h.GetEol());
  EXPECT_EQ(h.GetTokenLength(), 0);
  h.Next();  // a stray extra step stays at the end
  EXPECT_TRUE(h.GetEol());
  EXPECT_EQ(h.GetToken(), "");
  // A new line starts over, with nothing kept from the last one.
  EXPECT_EQ(Runs(h, "x {y}"), std::vector<TToken>({{Text, "x "}, {Macro, "{y}"}}));
  EXPECT_EQ(Runs(h, "{y"), std::vector<TToken>({{Text, "{y"}}));
}

TEST(PagewickHighlighterTest, AttributesAndTheirChanges) {
  TPagewickHighlighter h;
  ASSERT_EQ(h.Attributes().size(), 6u);
  EXPECT_STREQ(h.Attribute(1).Name, "Section");
  EXPECT_EQ(h.Attribute(1).Foreground, 0x0000FFu);
  EXPECT_TRUE(h.Attribute(1).Bold);
  EXPECT_TRUE(h.Attribute(2).Italic);
  EXPECT_EQ(h.Attribute(3).Foreground, 0x4F96E3u);
  EXPECT_EQ(h.Attribute(7), h.Attribute(0));
  EXPECT_EQ(h.Attribute(-1), h.Attribute(0));
  EXPECT_EQ(h.GetDefaultAttribute(4), h.Attribute(0));

  int changes = 0;
  h.OnAttributeChange = [&] { ++changes; };
  auto macro = h.Attribute(4);
  h.SetAttribute(4, macro);  // unchanged: no repaint
  macro.Bold = true;
  h.SetAttribute(4, macro);
  h.SetAttribute(9, macro);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(h.Attribute(4).Bold);
}

TEST(PagewickHighlighterTest, LongLinesScanInLinearTime) {
  // Quadratic scanning would take minutes here; linear takes milliseconds.
  TPagewickHighlighter h;
  const std::string plain(1'000'000, 'a');
  const std::string open(100'000, '{');
  for (const std::string* line : {&plain, &open}) {
    h.SetLine(*line);
    size_t covered = 0;
    while (!h.GetEol()) {
      h.Next();
      covered += h.GetTokenLength();
    }
    EXPECT_EQ(covered, line->size());
  }
}

}  // namespace
}  // namespace pw::tests
