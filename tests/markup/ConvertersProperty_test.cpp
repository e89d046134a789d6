// The single-sweep inline passes against the literal rebuild-and-rescan model,
// and bounded random runs over whole bodies (reuse, the zero byte, no crash).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "markup/InlineReference.h"
#include "support/ConverterCases.h"

namespace pw::tests {
namespace {

// Pieces that make markup-dense lines: every marker, brackets, quotes, the
// attribute names the passes know, and plain words.
const std::vector<std::string> kPieces = {
    "_", "__", "___", "#", "*", "!", ".", "[", "[", "[", "]", "]", "]", " ", " ", "  ", "\"", "'",
    "=", ":", ";", "a", "b", "x.png", "/p", "c:d", "#id", "cls", "color", "-", "\t", "HREF=", "href=",
    "target=", "border=", "alt=", "\xc3\xa9", "_[", "*[", "![", ".[", "#[", "]]", "a b", "x=1 ", "\"q r\"",
};

std::string RandomLine(std::mt19937& rng, size_t maxPieces) {
  std::uniform_int_distribution<size_t> count(0, maxPieces);
  std::uniform_int_distribution<size_t> pick(0, kPieces.size() - 1);
  std::string line;
  size_t n = count(rng), links = 0;
  for (size_t i = 0; i < n; ++i) {
    const std::string& piece = kPieces[pick(rng)];
    // Link addresses that are link groups double at each level; keep the
    // model's output small.
    if (piece.find('*') != std::string::npos && ++links > 6) continue;
    line += piece;
  }
  return line;
}

// Nested groups of random kinds with random contents; now and then a closing
// bracket is dropped.
void AppendRandomGroups(std::mt19937& rng, int depth, size_t& links, std::string& out) {
  static const std::vector<std::string> markers = {"_", "__", "___", "#", "*", "!", ".", ""};
  std::uniform_int_distribution<size_t> marker(0, markers.size() - 1), items(0, 3);
  std::uniform_int_distribution<int> percent(0, 99);
  size_t n = items(rng);
  for (size_t i = 0; i < n; ++i) {
    if (depth == 0 || percent(rng) < 40) {
      out += RandomLine(rng, 3);
      continue;
    }
    const std::string& m = markers[marker(rng)];
    if (m == "*" && ++links > 6) continue;
    out += m + "[";
    AppendRandomGroups(rng, depth - 1, links, out);
    if (percent(rng) < 95) out += "]";
  }
}

TEST(InlineProperty, SweepEqualsRescanFromStart) {
  std::mt19937 rng(20261208);
  const std::vector<std::string> imgPaths = {"", "images/", ".[k]/", "*[l]/", "_[m]/"};
  THTMLConverter converter;
  int changed = 0, rescannedHeads = 0;
  for (int i = 0; i < 40000; ++i) {
    const std::string& imgPath = imgPaths[i % imgPaths.size()];
    converter.SetImgPath(imgPath);
    std::string line;
    if (i % 2) {
      line = RandomLine(rng, i < 20000 ? 12 : 40);
    } else {
      size_t links = 0;
      AppendRandomGroups(rng, 4, links, line);
    }
    std::string expected = reference::ConvertInline(line, converter.ImgPath());
    ASSERT_EQ(converter.ConvertInline(line), expected) << "line: " << line << "\nimg path: " << imgPath;
    changed += expected != line;
    rescannedHeads += expected.find("=\"<a") != std::string::npos || expected.find("=\"<img") != std::string::npos;
  }
  // The corpus must exercise conversions, including heads scanned again.
  EXPECT_GT(changed, 14000);
  EXPECT_GT(rescannedHeads, 400);
}

TEST(InlineProperty, DeepAndLongLinesMatchTheModel) {
  std::string nested, sequence, mixed;
  for (int i = 0; i < 60; ++i) nested += "_[a *[x.html ![p.png] .[c ";
  for (int i = 0; i < 60; ++i) nested += "]]]]";
  for (int i = 0; i < 200; ++i) sequence += "__[i] #[n" + std::to_string(i) + "] *[u t] ";
  for (int i = 0; i < 80; ++i) mixed += "![a.png ![b.png]] .[color:'.[x]' y] ";
  for (const std::string& line : {nested, sequence, mixed})
    EXPECT_EQ(Inline(line), reference::ConvertInline(line, "images/"));
}

size_t Count(const std::string& text, std::string_view what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

TEST(InlineProperty, ThousandsOfNestedGroupsAllConvert) {
  // Image titles and link texts hold the groups nested in them; each is
  // converted in place, none is left as written.
  std::string line;
  const char* groups[] = {"_[", "*[a.html ", ".[c ", "__[", "![p.png "};
  for (int i = 0; i < 5000; ++i) line += std::string(groups[i % 5]) + "w ";
  line += std::string(5000, ']');
  std::string out = Inline(line);
  for (std::string_view head : {"<strong>", "<em>", "<a href=", "<span class=\"c\">", "<img src=\"images/p.png\" title=\""})
    EXPECT_EQ(Count(out, head), 1000u) << head;
  EXPECT_EQ(out.find('['), std::string::npos);
}

TEST(InlineProperty, SelfReproducingGroupsStop) {
  // An image path holding an image group makes every image produce another;
  // the literal rescan never ends, the converter stops rewriting the line.
  THTMLConverter converter;
  converter.SetImgPath("![a]/");
  std::string out = converter.ConvertInline("![x] _[b]");
  EXPECT_NE(out.find("<strong>b</strong>"), std::string::npos);
  EXPECT_LT(out.size(), size_t{64} << 20);

  // Link addresses that are link groups double at each level.
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "*[";
  deep += "x";
  for (int i = 0; i < 40; ++i) deep += "]";
  out = Inline(deep);
  EXPECT_LT(out.size(), size_t{128} << 20);
  EXPECT_EQ(out.rfind("<a href=\"", 0), 0u);
}

// Bodies made of every line kind, CR/LF mixes and the odd zero byte.
std::string RandomBody(std::mt19937& rng) {
  static const std::vector<std::string> starts = {
      "", "", "= ", "== ", "=== ", "# ", "* ", ">", "^", "|", "[", ";", "<", ".[", "{$", "  ", "    ", "\t", " "};
  static const std::vector<std::string> ends = {"\n", "\n", "\r\n", "\r", "\n\r", "", "\n\n"};
  std::uniform_int_distribution<size_t> lines(0, 30), start(0, starts.size() - 1), end(0, ends.size() - 1);
  std::uniform_int_distribution<int> percent(0, 99);
  std::string body;
  size_t n = lines(rng);
  for (size_t i = 0; i < n; ++i) {
    body += starts[start(rng)];
    if (percent(rng) < 30) body += starts[start(rng)];
    body += RandomLine(rng, 10);
    if (percent(rng) < 10) body += "|^ ";
    if (percent(rng) < 1) body += std::string(1, '\0');
    body += ends[end(rng)];
  }
  return body;
}

TEST(ConverterProperty, ReusedConvertersCarryNothingOver) {
  std::mt19937 rng(1208);
  const std::vector<std::pair<std::string, std::string>> options = {
      {"", ""}, {"images", "code"}, {"i/", "#pre"}, {".[k]", "color: red"}};
  // One converter per option set serves every body: it must answer as a fresh one does.
  std::vector<THTMLConverter> reused(options.size());
  for (int i = 0; i < 8000; ++i) {
    const size_t o = i % options.size();
    const auto& [imgPath, preStyle] = options[o];
    reused[o].SetImgPath(imgPath);
    reused[o].SetPreStyle(preStyle);
    std::string body = RandomBody(rng);
    std::string out = reused[o].Convert(body);
    ASSERT_EQ(out, Convert(body, imgPath, preStyle)) << "body: " << body;
    ASSERT_TRUE(out.empty() || out.back() != '\n');
    // Everything after a zero byte is ignored.
    size_t zero = body.find('\0');
    if (zero != std::string::npos) {
      ASSERT_EQ(out, reused[o].Convert(body.substr(0, zero)));
    }
  }
}

TEST(ConverterProperty, RandomBytesDoNotCrash) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255), length(0, 300);
  const std::string alphabet = "[]_*!.#=:;'\" \t\r\n|^<>{$}a-";
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  THTMLConverter converter;
  converter.SetImgPath("i");
  for (int i = 0; i < 100000; ++i) {
    std::string body;
    int n = length(rng);
    for (int j = 0; j < n; ++j) body += (i % 2) ? static_cast<char>(byte(rng)) : alphabet[pick(rng)];
    converter.Convert(body);
  }
}

}  // namespace
}  // namespace pw::tests
