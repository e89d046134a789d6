// The inline layer: emphasis, anchors, links, images and spans.
#include <gtest/gtest.h>

#include "support/ConverterCases.h"

namespace pw::tests {
namespace {


TEST(InlineEmphasis, KindsNestingAndUnclosedGroups) {
  ExpectInline({
      {"The _[bold] and __[italic] and ___[both] words",
       "The <strong>bold</strong> and <em>italic</em> and <strong><em>both</em></strong> words"},
      {"array_[0]", "array<strong>0</strong>"},
      {"____[x]", "_<strong><em>x</em></strong>"},
      {"_ [x]", "_ [x]"},
      {"_[]", "<strong></strong>"},
      {"_[a _[b] c]", "<strong>a <strong>b</strong> c</strong>"},
      {"_[a [b] c]", "<strong>a [b] c</strong>"},
      {"__[_[x]]", "<em><strong>x</strong></em>"},
      {"] _[x]]", "] <strong>x</strong>]"},
      // An unclosed group ends the pass; the groups after it stay as written,
      // even a closed one inside it.
      {"_[open", "_[open"},
      {"_[a] _[b _[c]", "<strong>a</strong> _[b _[c]"},
      {"_[x _[y]", "_[x _[y]"},
      {"_[x] _[y __[z]", "<strong>x</strong> _[y <em>z</em>"},
      {"_[[x] _[y]", "_[[x] _[y]"},
      // An unclosed longer marker still holds a shorter one.
      {"__[x", "__[x"},
      {"__[x] _[y", "<em>x</em> _[y"},
  });
}

TEST(InlineAnchors, NamesNestingAndFailures) {
  ExpectInline({
      {"#[top Back to top]", "<a name=\"top\"></a>"},
      {"#[\"my anchor\" ignored text]", "<a name=\"my anchor\"></a>"},
      {"#[a #[b] c] end", "<a name=\"a\"></a> end"},
      {"#[a #[b #[c] d] e] f", "<a name=\"a\"></a> e] f"},  // only one nested level is skipped
      {"x#[a]y#[b]", "x<a name=\"a\"></a>y<a name=\"b\"></a>"},
      // An empty name leaves the group and goes on.
      {"#[] #[a]", "#[] <a name=\"a\"></a>"},
      {"#[  ] #[a]", "#[  ] <a name=\"a\"></a>"},
      {"#[\"x] #[a]", "#[\"x] <a name=\"a\"></a>"},
      {"#[\"\"] #[a]", "#[\"\"] <a name=\"a\"></a>"},
      // An unclosed group ends the pass.
      {"#[a", "#[a"},
      {"#[a #[b] #[c]", "<a name=\"a\"></a>"},
      {"#[a] #[b #[c]", "<a name=\"a\"></a> #[b #[c]"},
      {"#[a #[b]", "#[a #[b]"},
  });
}

TEST(InlineLinks, AddressAttributesAndText) {
  ExpectInline({
      {"See *[docs/a.html?b=1 the site]", "See <a href=\"docs/a.html?b=1\">the site</a>"},
      {"*[page.html target=_blank Page]", "<a href=\"page.html\" target=\"_blank\">Page</a>"},
      {"*[b.html]", "<a href=\"b.html\">b.html</a>"},
      {"*[b.html   ]", "<a href=\"b.html\">b.html</a>"},
      {"*[x.html HREF=y.html Y]", "<a href=\"y.html\">Y</a>"},
      {"*[x.html href=y.html]", "<a href=\"y.html\">y.html</a>"},
      {"*[\"a b.html\" Title=\"x y\" t]", "<a href=\"a b.html\" title=\"x y\">t</a>"},
      // Pairs stop at the first failure; a name whose value fails is not consumed.
      {"*[a.html x= ]", "<a href=\"a.html\">x= </a>"},
      {"*[a.html x=\"open t]", "<a href=\"a.html\">x=\"open t</a>"},
      {"*[a.html data-x=1 t]", "<a href=\"a.html\">data-x=1 t</a>"},  // "-" is not in a name
      {"*[a.html a=1 b c=2]", "<a href=\"a.html\" a=\"1\">b c=2</a>"},
      {"*[a.html =1]", "<a href=\"a.html\">=1</a>"},
      // An empty or unclosed address leaves the group, with the groups inside it.
      {"*[] then *[b.html B]", "*[] then <a href=\"b.html\">B</a>"},
      {"*[\"\" x] *[b]", "*[\"\" x] <a href=\"b\">b</a>"},
      {"*[\"open x] *[b]", "*[\"open x] <a href=\"b\">b</a>"},
      {"*[\"\" *[x]] *[b]", "*[\"\" *[x]] <a href=\"b\">b</a>"},
      // A first token "*[]" is not empty; the copy in the head is scanned again.
      {"*[ *[] ] *[b]", "<a href=\"*[]\">*[]</a> <a href=\"b\">b</a>"},
      {"*[*[x]]", "<a href=\"<a href=\"x\">x</a>\"><a href=\"x\">x</a></a>"},
      {"*[\"*[x]\" t]", "<a href=\"<a href=\"x\">x</a>\">t</a>"},
      // Later passes see the output of earlier ones.
      {"*[a.html __[x]]", "<a href=\"a.html\"><em>x</em></a>"},
      {"*[a.html #[n]]", "<a href=\"a.html\"><a name=\"n\"></a></a>"},
  });
}

TEST(InlineImages, SourcesAttributesAndTitles) {
  ExpectInline({
      {"*[a.html ![pic.png]]", "<a href=\"a.html\"><img src=\"images/pic.png\" border=\"0\"/></a>"},
      {"![/abs/p.png alt=\"A cat\" Cat photo]", "<img src=\"/abs/p.png\" alt=\"A cat\" title=\"Cat photo\" border=\"0\"/>"},
      {"![x.png href=big.png target=_blank border=1 ALT=y]",
       "<a href=\"big.png\" target=\"_blank\"><img src=\"images/x.png\" alt=\"y\" border=\"1\"/></a>"},
      {"![c:/pics/a.png]", "<img src=\"c:/pics/a.png\" border=\"0\"/>"},
      {"![\"my pic.png\"]", "<img src=\"images/my pic.png\" border=\"0\"/>"},
      {"![x.png href=b.html]", "<a href=\"b.html\"><img src=\"images/x.png\" border=\"0\"/></a>"},
      {"![] ![a]", "![] <img src=\"images/a\" border=\"0\"/>"},
      {"![a.png ![b.png]]",
       "<img src=\"images/a.png\" title=\"<img src=\"images/b.png\" border=\"0\"/>\" border=\"0\"/>"},
  });
  EXPECT_EQ(Inline("![x.png]", ""), "<img src=\"x.png\" border=\"0\"/>");
}

TEST(InlineSpans, ClassIdStyleAndEnclosing) {
  ExpectInline({
      {".[note Some text]", "<span class=\"note\">Some text</span>"},
      {".[#id1 x]", "<span id=\"id1\">x</span>"},
      {".[color:red;font-weight:bold Warn]", "<span style=\"color:red;font-weight:bold\">Warn</span>"},
      {".[a,b]", "<span style=\"\">a,b</span>"},
      {".[font-family:'Times New Roman' T]", "<span style=\"font-family:Times New Roman\">T</span>"},
      {".[note   x]", "<span class=\"note\">x</span>"},
      // A name whose value fails is consumed all the same.
      {".[color: ]", "<span style=\"\"> </span>"},
      {".[color:'x]", "<span style=\"\">'x</span>"},
      {".[n *[a.html _[b]]]", "<span class=\"n\"><a href=\"a.html\"><strong>b</strong></a></span>"},
      {"end. [x]", "end. [x]"},
      {"end.[x]", "end<span class=\"x\"></span>"},
  });
}

TEST(InlineScanning, PositionsMoveOnlyOnSuccess) {
  struct TTokenCase {
    std::string_view text;
    char delimiter;
    int stop;
    bool ok;
    std::string_view token;
    size_t pos;
  };
  for (const TTokenCase& c : {
           TTokenCase{"  \"open", ' ', kNoStop, false, {}, 0},  // unclosed quote
           {"   ", ' ', kNoStop, false, {}, 0},                  // empty token
           {"  'a b' c", ' ', kNoStop, true, "a b", 8},
           {"x;  y", ';', ' ', true, "x", 4},
           {"\"\"", ' ', kNoStop, true, "", 2},
       }) {
    SCOPED_TRACE(c.text);
    std::string_view token;
    size_t pos = 0;
    EXPECT_EQ(ReadToken(c.text, pos, c.delimiter, c.stop, token), c.ok);
    EXPECT_EQ(pos, c.pos);
    if (c.ok) {
      EXPECT_EQ(token, c.token);
    }
  }

  struct TWordCase {
    std::string_view text;
    bool end_is_ender;
    bool ok;
    size_t pos;
  };
  for (const TWordCase& c : {
           TWordCase{"abc", false, false, 0},  // a name without ":"
           {"abc", true, true, 3},
           {":x", false, false, 0},
           {"a-b:x", false, true, 4},
       }) {
    SCOPED_TRACE(c.text);
    std::string_view word;
    size_t pos = 0;
    EXPECT_EQ(ReadWord(c.text, pos, kNameChars, ":", c.end_is_ender, word), c.ok);
    EXPECT_EQ(pos, c.pos);
  }

  std::string attributes;
  size_t pos = 0;
  ParseAttributeGroup("color:;x", pos, attributes);
  EXPECT_EQ(attributes, " style=\"\"");
  EXPECT_EQ(pos, 6u);
}

TEST(InlineScanning, FindGroupCountsNestedOpens) {
  TGroup group;
  ASSERT_TRUE(FindGroup("x_[a _[b] c]y", 0, "_", '[', ']', group));
  EXPECT_EQ(group.Marker, 1u);
  EXPECT_EQ(group.Content, "a _[b] c");
  EXPECT_EQ(group.After, 12u);
  EXPECT_FALSE(FindGroup("_[a _[b] c", 0, "_", '[', ']', group));
  EXPECT_FALSE(FindGroup("_[a]", 1, "_", '[', ']', group));
  EXPECT_FALSE(FindGroup("[a]", 0, "_", '[', ']', group));
}

}  // namespace
}  // namespace pw::tests
