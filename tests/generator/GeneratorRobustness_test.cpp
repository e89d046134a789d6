// Random and hostile content texts: parsing, expansion and writing never crash or hang.
#include "support/GeneratorFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace pw::tests {
namespace {

std::string RandomText(std::mt19937& random, size_t length) {
  static const char kAlphabet[] = "{}$[]\\;\n\r()'\",. ab_-.html*#=|^>!";
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  std::string text;
  for (size_t i = 0; i < length; ++i) text.push_back(kAlphabet[pick(random)]);
  return text;
}

TEST(GeneratorRobustnessTest, RandomContentTexts) {
  std::mt19937 random(20261208);
  TFakeScripts scripts;
  scripts.Functions["f"] = [](const std::vector<std::string>& args, TSection*, std::string& out) {
    out = args.empty() ? "{$f()}" : "{$" + args[0] + "}";  // results are not expanded again
    return true;
  };
  for (int round = 0; round < 300; ++round) {
    TGenerator g(&scripts);
    std::string text = RandomText(random, 50 + round * 7);
    g.Generate(text);
    for (int i = 0; i < g.SectionCount(); ++i) {
      g.Section(i)->HTML();
      g.ExpandPlaceholders(text, g.Section(i), &g.Converter());
    }
    g.CollectResources(text, "");
  }
}

TEST(GeneratorRobustnessTest, DeepBracesAndLongLines) {
  TGenerator g;
  std::string deep = std::string(100000, '{') + "$x" + std::string(100000, '}');
  EXPECT_EQ(g.ExpandPlaceholders(deep, nullptr, nullptr), deep);
  std::string open = std::string(100000, '{');
  EXPECT_EQ(g.ExpandPlaceholders(open, nullptr, nullptr), open);
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "{$a}{";
  g.SetVar("a", std::string("A"));
  std::string expanded = g.ExpandPlaceholders(many, nullptr, nullptr);
  EXPECT_EQ(expanded, "A" + many.substr(4));  // after the first group no brace closes again
  g.Generate("$" + std::string(100000, 'n') + " v\n[" + std::string(100000, 's'));
  EXPECT_EQ(g.SectionCount(), 1);
}

TEST(GeneratorRobustnessTest, FragmentsIncludingEachOtherStayBounded) {
  TGenerator g;
  // Every fragment includes the next three: the depth limit alone would allow 3^16 inclusions.
  std::string text;
  for (int i = 0; i < 6; ++i) {
    text += "[f" + std::to_string(i) + "]\nx";
    for (int k = 1; k <= 3; ++k) text += "{$f" + std::to_string((i + k) % 6) + "}";
    text += "\n";
  }
  g.Generate(text);
  EXPECT_EQ(g.ExpandPlaceholders("{$f0}", nullptr, nullptr), "x{$f1}{$f2}{$f3}\n");  // raw without a converter
  std::string html = g.ExpandPlaceholders("{$f0}", nullptr, &g.Converter());
  EXPECT_GT(html.size(), 1000u);
  EXPECT_LE(std::count(html.begin(), html.end(), 'x'), TGenerator::kMaxExpansions);
  // The budget is per top-level expansion: the next one starts afresh.
  EXPECT_EQ(g.ExpandPlaceholders("{$f0}", nullptr, &g.Converter()), html);
}

TEST(GeneratorRobustnessTest, OnePagesExpansionStopsPastItsByteBound) {
  const size_t half = TGenerator::kMaxPageBytes / 2;
  for (size_t size : {half, half + 1}) {
    TGenerator g;
    g.Generate("[big]\n");
    g.Section(0)->SetContent(std::string(size, 'y'));
    const std::string page = g.ExpandPlaceholders("{$big}{$big}", nullptr, nullptr);
    const bool fits = 2 * size <= TGenerator::kMaxPageBytes;
    EXPECT_EQ(g.ExpansionOverflowed(), !fits) << size;
    EXPECT_EQ(page.size(), fits ? 2 * size : 0) << size;
    // The bound is per top-level expansion: the next one starts afresh.
    EXPECT_EQ(g.ExpandPlaceholders("{$big}", nullptr, nullptr).size(), size);
    EXPECT_FALSE(g.ExpansionOverflowed());
  }
}

}  // namespace
}  // namespace pw::tests
