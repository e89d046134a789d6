// The inline layer: emphasis, anchors, links, images and spans.
#include <gtest/gtest.h>

#include "converter_test_util.h"

namespace pw {
namespace {

using test::Inline;
using test::Paragraph;

TEST(InlineEmphasis, ThreeKinds) {
  EXPECT_EQ(Paragraph("The _[bold] and __[italic] and ___[both] words"),
            "<p>The <strong>bold</strong> and <em>italic</em> and <strong><em>both</em></strong> words</p>");
  EXPECT_EQ(Inline("array_[0]"), "array<strong>0</strong>");
  EXPECT_EQ(Inline("____[x]"), "_<strong><em>x</em></strong>");
  EXPECT_EQ(Inline("_ [x]"), "_ [x]");
  EXPECT_EQ(Inline("_[]"), "<strong></strong>");
}

TEST(InlineEmphasis, NestingAndBrackets) {
  EXPECT_EQ(Inline("_[a _[b] c]"), "<strong>a <strong>b</strong> c</strong>");
  EXPECT_EQ(Inline("_[a [b] c]"), "<strong>a [b] c</strong>");
  EXPECT_EQ(Inline("__[_[x]]"), "<em><strong>x</strong></em>");
  EXPECT_EQ(Inline("] _[x]]"), "] <strong>x</strong>]");
}

TEST(InlineEmphasis, UnclosedEndsThePass) {
  EXPECT_EQ(Paragraph("_[open"), "<p>_[open</p>");
  // The unclosed group stops the pass; the groups after it stay as written,
  // even a closed one inside it.
  EXPECT_EQ(Inline("_[a] _[b _[c]"), "<strong>a</strong> _[b _[c]");
  EXPECT_EQ(Inline("_[x _[y]"), "_[x _[y]");
  EXPECT_EQ(Inline("_[x] _[y __[z]"), "<strong>x</strong> _[y <em>z</em>");
  EXPECT_EQ(Inline("_[[x] _[y]"), "_[[x] _[y]");
  // An unclosed longer marker still holds a shorter one.
  EXPECT_EQ(Inline("__[x"), "__[x");
  EXPECT_EQ(Inline("__[x] _[y"), "<em>x</em> _[y");
}

TEST(InlineAnchors, NameAndDroppedText) {
  EXPECT_EQ(Inline("#[top Back to top]"), "<a name=\"top\"></a>");
  EXPECT_EQ(Inline("#[\"my anchor\" ignored text]"), "<a name=\"my anchor\"></a>");
  EXPECT_EQ(Inline("#[a #[b] c] end"), "<a name=\"a\"></a> end");
  // Only one nested level is skipped.
  EXPECT_EQ(Inline("#[a #[b #[c] d] e] f"), "<a name=\"a\"></a> e] f");
  EXPECT_EQ(Inline("x#[a]y#[b]"), "x<a name=\"a\"></a>y<a name=\"b\"></a>");
}

TEST(InlineAnchors, EmptyNameLeavesGroupAndGoesOn) {
  EXPECT_EQ(Inline("#[] #[a]"), "#[] <a name=\"a\"></a>");
  EXPECT_EQ(Inline("#[  ] #[a]"), "#[  ] <a name=\"a\"></a>");
  EXPECT_EQ(Inline("#[\"x] #[a]"), "#[\"x] <a name=\"a\"></a>");
  EXPECT_EQ(Inline("#[\"\"] #[a]"), "#[\"\"] <a name=\"a\"></a>");
}

TEST(InlineAnchors, UnclosedEndsThePass) {
  EXPECT_EQ(Inline("#[a"), "#[a");
  EXPECT_EQ(Inline("#[a #[b] #[c]"), "<a name=\"a\"></a>");
  EXPECT_EQ(Inline("#[a] #[b #[c]"), "<a name=\"a\"></a> #[b #[c]");
  EXPECT_EQ(Inline("#[a #[b]"), "#[a #[b]");
}

TEST(InlineLinks, AddressAttributesText) {
  EXPECT_EQ(Paragraph("See *[docs/a.html?b=1 the site]"), "<p>See <a href=\"docs/a.html?b=1\">the site</a></p>");
  EXPECT_EQ(Inline("*[page.html target=_blank Page]"), "<a href=\"page.html\" target=\"_blank\">Page</a>");
  EXPECT_EQ(Inline("*[b.html]"), "<a href=\"b.html\">b.html</a>");
  EXPECT_EQ(Inline("*[b.html   ]"), "<a href=\"b.html\">b.html</a>");
  EXPECT_EQ(Inline("*[x.html HREF=y.html Y]"), "<a href=\"y.html\">Y</a>");
  EXPECT_EQ(Inline("*[x.html href=y.html]"), "<a href=\"y.html\">y.html</a>");
  EXPECT_EQ(Inline("*[\"a b.html\" Title=\"x y\" t]"), "<a href=\"a b.html\" title=\"x y\">t</a>");
  EXPECT_EQ(Inline("*[a.html _[b]]"), "<a href=\"a.html\"><strong>b</strong></a>");
}

TEST(InlineLinks, AttributePairStopsAtFirstFailure) {
  // A name whose value fails is not consumed.
  EXPECT_EQ(Inline("*[a.html x= ]"), "<a href=\"a.html\">x= </a>");
  EXPECT_EQ(Inline("*[a.html x=\"open t]"), "<a href=\"a.html\">x=\"open t</a>");
  // Names with "-" are not attribute names.
  EXPECT_EQ(Inline("*[a.html data-x=1 t]"), "<a href=\"a.html\">data-x=1 t</a>");
  EXPECT_EQ(Inline("*[a.html a=1 b c=2]"), "<a href=\"a.html\" a=\"1\">b c=2</a>");
  EXPECT_EQ(Inline("*[a.html =1]"), "<a href=\"a.html\">=1</a>");
}

TEST(InlineLinks, EmptyAddressLeavesGroup) {
  EXPECT_EQ(Inline("*[] then *[b.html B]"), "*[] then <a href=\"b.html\">B</a>");
  EXPECT_EQ(Inline("*[\"\" x] *[b]"), "*[\"\" x] <a href=\"b\">b</a>");
  EXPECT_EQ(Inline("*[\"open x] *[b]"), "*[\"open x] <a href=\"b\">b</a>");
  // Groups inside a left group are not converted by the same pass.
  EXPECT_EQ(Inline("*[\"\" *[x]] *[b]"), "*[\"\" *[x]] <a href=\"b\">b</a>");
  // A first token "*[]" is not empty; the copy in the head is scanned again.
  EXPECT_EQ(Inline("*[ *[] ] *[b]"), "<a href=\"*[]\">*[]</a> <a href=\"b\">b</a>");
}

TEST(InlineLinks, AddressIsRescanned) {
  // The rebuilt text is scanned again from its start, generated head included.
  EXPECT_EQ(Inline("*[*[x]]"), "<a href=\"<a href=\"x\">x</a>\"><a href=\"x\">x</a></a>");
  EXPECT_EQ(Inline("*[\"*[x]\" t]"), "<a href=\"<a href=\"x\">x</a>\">t</a>");
}

TEST(InlineImages, SourcesAndAttributes) {
  EXPECT_EQ(Inline("*[a.html ![pic.png]]"), "<a href=\"a.html\"><img src=\"images/pic.png\" border=\"0\"/></a>");
  EXPECT_EQ(Inline("![/abs/p.png alt=\"A cat\" Cat photo]"),
            "<img src=\"/abs/p.png\" alt=\"A cat\" title=\"Cat photo\" border=\"0\"/>");
  EXPECT_EQ(Inline("![x.png href=big.png target=_blank border=1 ALT=y]"),
            "<a href=\"big.png\" target=\"_blank\"><img src=\"images/x.png\" alt=\"y\" border=\"1\"/></a>");
  EXPECT_EQ(Inline("![c:/pics/a.png]"), "<img src=\"c:/pics/a.png\" border=\"0\"/>");
  EXPECT_EQ(Inline("![\"my pic.png\"]"), "<img src=\"images/my pic.png\" border=\"0\"/>");
  EXPECT_EQ(Inline("![x.png href=b.html]"), "<a href=\"b.html\"><img src=\"images/x.png\" border=\"0\"/></a>");
  EXPECT_EQ(Inline("![x.png]", ""), "<img src=\"x.png\" border=\"0\"/>");
  EXPECT_EQ(Inline("![] ![a]"), "![] <img src=\"images/a\" border=\"0\"/>");
}

TEST(InlineImages, TitleHoldingAnImage) {
  EXPECT_EQ(Inline("![a.png ![b.png]]"),
            "<img src=\"images/a.png\" title=\"<img src=\"images/b.png\" border=\"0\"/>\" border=\"0\"/>");
}

TEST(InlineSpans, ClassIdStyle) {
  EXPECT_EQ(Inline(".[note Some text]"), "<span class=\"note\">Some text</span>");
  EXPECT_EQ(Inline(".[#id1 x]"), "<span id=\"id1\">x</span>");
  EXPECT_EQ(Inline(".[color:red;font-weight:bold Warn]"),
            "<span style=\"color:red;font-weight:bold\">Warn</span>");
  EXPECT_EQ(Inline(".[a,b]"), "<span style=\"\">a,b</span>");
  EXPECT_EQ(Inline(".[font-family:'Times New Roman' T]"), "<span style=\"font-family:Times New Roman\">T</span>");
  EXPECT_EQ(Inline(".[note   x]"), "<span class=\"note\">x</span>");
  // A name whose value fails is consumed all the same.
  EXPECT_EQ(Inline(".[color: ]"), "<span style=\"\"> </span>");
  EXPECT_EQ(Inline(".[color:'x]"), "<span style=\"\">'x</span>");
}

TEST(InlineSpans, SpansEncloseEverything) {
  EXPECT_EQ(Inline(".[n *[a.html _[b]]]"), "<span class=\"n\"><a href=\"a.html\"><strong>b</strong></a></span>");
  EXPECT_EQ(Inline("end. [x]"), "end. [x]");
  EXPECT_EQ(Inline("end.[x]"), "end<span class=\"x\"></span>");
}

TEST(InlinePassOrder, LaterPassesSeeEarlierOutput) {
  // Emphasis is HTML before the link is built.
  EXPECT_EQ(Inline("*[a.html __[x]]"), "<a href=\"a.html\"><em>x</em></a>");
  // A link text holding an anchor.
  EXPECT_EQ(Inline("*[a.html #[n]]"), "<a href=\"a.html\"><a name=\"n\"></a></a>");
}

TEST(InlineScanning, PositionsOnFailure) {
  std::string_view token;
  size_t pos = 0;
  EXPECT_FALSE(ReadToken("  \"open", pos, ' ', kNoStop, token));
  EXPECT_EQ(pos, 0u);
  EXPECT_FALSE(ReadToken("   ", pos, ' ', kNoStop, token));
  EXPECT_EQ(pos, 0u);
  EXPECT_TRUE(ReadToken("  'a b' c", pos, ' ', kNoStop, token));
  EXPECT_EQ(token, "a b");
  EXPECT_EQ(pos, 8u);
  pos = 0;
  EXPECT_TRUE(ReadToken("x;  y", pos, ';', ' ', token));
  EXPECT_EQ(token, "x");
  EXPECT_EQ(pos, 4u);
  pos = 0;
  EXPECT_TRUE(ReadToken("\"\"", pos, ' ', kNoStop, token));
  EXPECT_EQ(token, "");

  std::string_view word;
  pos = 0;
  EXPECT_FALSE(ReadWord("abc", pos, kNameChars, ":", false, word));
  EXPECT_EQ(pos, 0u);
  EXPECT_TRUE(ReadWord("abc", pos, kNameChars, ":", true, word));
  EXPECT_EQ(pos, 3u);
  pos = 0;
  EXPECT_FALSE(ReadWord(":x", pos, kNameChars, ":", false, word));
  EXPECT_EQ(pos, 0u);
  EXPECT_TRUE(ReadWord("a-b:x", pos, kNameChars, ":", false, word));
  EXPECT_EQ(word, "a-b");
  EXPECT_EQ(pos, 4u);

  std::string attributes;
  pos = 0;
  ParseAttributeGroup("color:;x", pos, attributes);
  EXPECT_EQ(attributes, " style=\"\"");
  EXPECT_EQ(pos, 6u);
}

TEST(InlineScanning, FindGroupNestsAndFails) {
  TGroup group;
  ASSERT_TRUE(FindGroup("x_[a _[b] c]y", 0, "_", '[', ']', group));
  EXPECT_EQ(group.marker, 1u);
  EXPECT_EQ(group.content, "a _[b] c");
  EXPECT_EQ(group.after, 12u);
  EXPECT_FALSE(FindGroup("_[a _[b] c", 0, "_", '[', ']', group));
  EXPECT_FALSE(FindGroup("_[a]", 1, "_", '[', ']', group));
  EXPECT_FALSE(FindGroup("[a]", 0, "_", '[', ']', group));
  EXPECT_TRUE(IsAbsoluteUrl("/a"));
  EXPECT_TRUE(IsAbsoluteUrl("http://x"));
  EXPECT_FALSE(IsAbsoluteUrl("a/b"));
  EXPECT_FALSE(IsAbsoluteUrl(""));
}

}  // namespace
}  // namespace pw
