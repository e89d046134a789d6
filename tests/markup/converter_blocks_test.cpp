// The block layer: lines, levels, block kinds and their openings and closings.
#include <gtest/gtest.h>

#include "converter_test_util.h"

namespace pw {
namespace {

using test::Convert;

TEST(ConverterLines, EmptyBodyGivesEmptyResult) {
  EXPECT_EQ(Convert(""), "");
  EXPECT_EQ(Convert("\n"), "");
  EXPECT_EQ(Convert("\n\n\n"), "");
}

TEST(ConverterLines, FirstLinesAreRaw) {
  EXPECT_EQ(Convert("Hello"), "Hello");
  EXPECT_EQ(Convert("Hello\nWorld"), "Hello\nWorld");
  EXPECT_EQ(Convert("  Hello"), "  Hello");
}

TEST(ConverterLines, EmptyLineStartsParagraph) {
  EXPECT_EQ(Convert("\nHello\nWorld"), "<p>Hello<br/>World</p>");
  EXPECT_EQ(Convert("\nA\n\nB"), "<p>A</p>\n<p>B</p>");
}

TEST(ConverterLines, LineEndingsCrLfAndMixes) {
  EXPECT_EQ(Convert("\r\nA\r\nB\r\n"), "<p>A<br/>B</p>");
  EXPECT_EQ(Convert("\rA\rB"), "<p>A<br/>B</p>");
  // LF CR ends a line and then an empty one.
  EXPECT_EQ(Convert("\nA\n\rB"), "<p>A</p>\n<p>B</p>");
  // CR CR LF: an empty line between.
  EXPECT_EQ(Convert("\nA\r\r\nB"), "<p>A</p>\n<p>B</p>");
  // A trailing break adds no line.
  EXPECT_EQ(Convert("Hello\n"), "Hello");
  EXPECT_EQ(Convert("Hello\r\n"), "Hello");
}

TEST(ConverterLines, ZeroByteEndsTheText) {
  std::string body("\nA\nB\0C\nD", 8);
  EXPECT_EQ(Convert(body), "<p>A<br/>B</p>");
  EXPECT_EQ(Convert(std::string("\0Hello", 6)), "");
}

TEST(ConverterLines, BlankLinesOfControlBytesAreEmpty) {
  EXPECT_EQ(Convert("\nA\n \t\x01\x1f \nB"), "<p>A</p>\n<p>B</p>");
  // Bytes above 127 are text, not blanks.
  EXPECT_EQ(Convert("\n\xc3\xa9"), "<p>\xc3\xa9</p>");
}

TEST(ConverterHeadings, EachHeadingLineIsItsOwnElement) {
  EXPECT_EQ(Convert("= A\n= B\n== C"), "<h1>A</h1>\n<h1>B</h1>\n<h2>C</h2>");
  EXPECT_EQ(Convert("=== Deep"), "<h3>Deep</h3>");
  EXPECT_EQ(Convert("== A\n== B"), "<h2>A</h2>\n<h2>B</h2>");
}

TEST(ConverterHeadings, MarkersCompareExactly) {
  EXPECT_EQ(Convert("\n=Title"), "<p>=Title</p>");
  EXPECT_EQ(Convert("\n==== x"), "<p>==== x</p>");
  EXPECT_EQ(Convert("\n="), "<p>=</p>");
  // Extra spaces after the marker stay in the heading text.
  EXPECT_EQ(Convert("=  A"), "<h1> A</h1>");
}

TEST(ConverterHeadings, TextLineContinuesHeading) {
  EXPECT_EQ(Convert("= A\nmore"), "<h1>A<br/>more</h1>");
  EXPECT_EQ(Convert("= _[A]"), "<h1><strong>A</strong></h1>");
}

TEST(ConverterLists, NestedList) {
  EXPECT_EQ(Convert("* a\n  * b\n* c"), "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n</li>\n<li>c</li>\n</ul>");
}

TEST(ConverterLists, OrderedAndContinuation) {
  EXPECT_EQ(Convert("# one\n# two"), "<ol>\n<li>one</li>\n<li>two</li>\n</ol>");
  EXPECT_EQ(Convert("# one\nmore\n# two"), "<ol>\n<li>one<br/>more</li>\n<li>two</li>\n</ol>");
  EXPECT_EQ(Convert("\n#x\n*x"), "<p>#x<br/>*x</p>");
}

TEST(ConverterLists, SwitchingKindsClosesTheList) {
  EXPECT_EQ(Convert("* a\n# b"), "<ul>\n<li>a</li>\n</ul>\n<ol>\n<li>b</li>\n</ol>");
}

TEST(ConverterLevels, OddSpacesRoundDownAndTabsDoNotCount) {
  EXPECT_EQ(Convert("* a\n * b"), "<ul>\n<li>a</li>\n<li>b</li>\n</ul>");
  EXPECT_EQ(Convert("* a\n\t* b"), "<ul>\n<li>a</li>\n<li>b</li>\n</ul>");
  EXPECT_EQ(Convert("* a\n   * b"), "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n</li>\n</ul>");
}

TEST(ConverterLevels, DeepJumpAndEndClosesEveryLevel) {
  EXPECT_EQ(Convert("* a\n      * b"), "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n</li>\n</ul>");
  EXPECT_EQ(Convert("* a\n    * b\n  * c"),
            "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n<ul>\n<li>c</li>\n</ul>\n</li>\n</ul>");
}

TEST(ConverterLevels, EmptyLineClosesNestedLevels) {
  EXPECT_EQ(Convert("* a\n  * b\n\nText"),
            "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n</li>\n</ul>\n<p>Text</p>");
}

TEST(ConverterLevels, IndentedTextInsideParagraph) {
  // An indented line opens a deeper level that starts with raw lines; the
  // raw line keeps its indentation.
  EXPECT_EQ(Convert("\nA\n  B"), "<p>A  B\n</p>");
}

TEST(ConverterPreformatted, EscapingAndSpacing) {
  EXPECT_EQ(Convert("> int x;\n>   y < 2 && z"),
            "<pre>\n&#32;int&#32;x;\n&nbsp;&nbsp;&#32;y&#32;&lt;&#32;2&#32;&#38;&#38;&#32;z\n</pre>");
  EXPECT_EQ(Convert(">[{$x}]\t>"), "<pre>\n&#91;&#123;$x}]&nbsp;&nbsp;&gt;\n</pre>");
  EXPECT_EQ(Convert(">    "), "<pre>\n&nbsp;&nbsp;&nbsp;&nbsp;\n</pre>");
  EXPECT_EQ(Convert(">_[no] *[inline]"), "<pre>\n_&#91;no]&#32;*&#91;inline]\n</pre>");
}

TEST(ConverterPreformatted, PreStyleMakesADivision) {
  EXPECT_EQ(Convert("> a\n> b", "", "code"), "<div class=\"code\">\n&#32;a<br/>&#32;b<br/></div>");
  EXPECT_EQ(Convert(">a", "", "#box"), "<div id=\"box\">\na<br/></div>");
  EXPECT_EQ(Convert(">a", "", "code more"), "<div class=\"code\">\na<br/></div>");
  EXPECT_EQ(Convert(">a", "", "color: red"), "<div style=\"color: red\">\na<br/></div>");
  EXPECT_EQ(Convert(">a", "", "a.b"), "<div style=\"a.b\">\na<br/></div>");
}

TEST(ConverterPreformatted, InsideListItem) {
  EXPECT_EQ(Convert("* a\n  > code"), "<ul>\n<li>a<pre>\n&#32;code\n</pre>\n</li>\n</ul>");
}

TEST(ConverterPreformatted, AttributeLineTurnsItIntoDivision) {
  EXPECT_EQ(Convert(".[x]\n>a\n>b"), "<div class=\"x\">\na<br/>b<br/></div>");
  // Attributes pending in the middle of a pre block switch to a division.
  EXPECT_EQ(Convert(">a\n.[x]\n>b"), "<pre>\na\n</pre>\n<div class=\"x\">\nb<br/></div>");
}

TEST(ConverterTables, HeaderAndBody) {
  EXPECT_EQ(Convert("^ H1 ^ H2 ^\n| a | b |\n|a ||  c|"),
            "<table>\n<thead>\n<tr><td align=\"center\">H1</td><td align=\"center\">H2</td></tr>\n"
            "</thead>\n<tbody>\n<tr><td align=\"center\">a</td><td align=\"center\">b</td></tr>\n"
            "<tr><td>a</td><td align=\"right\" colspan=\"2\">c</td></tr>\n</tbody>\n</table>");
}

TEST(ConverterTables, AttributeLineBetweenRows) {
  EXPECT_EQ(Convert("\n| a | b\n.[wide]\n| c | d |"),
            "<table>\n<tbody>\n<tr><td align=\"center\">a</td><td align=\"center\">b</td></tr>\n"
            "<tr class=\"wide\"><td align=\"center\">c</td><td align=\"center\">d</td></tr>\n"
            "</tbody>\n</table>");
}

TEST(ConverterTables, AttributesBeforeTableGoOnTable) {
  EXPECT_EQ(Convert(".[grid]\n|a|"), "<table class=\"grid\">\n<tbody>\n<tr><td>a</td></tr>\n</tbody>\n</table>");
  EXPECT_EQ(Convert(".[grid]\n^h^"),
            "<table class=\"grid\">\n<thead>\n<tr><td>h</td></tr>\n</thead>\n</table>");
  // Between header and body the attributes go on the body.
  EXPECT_EQ(Convert("^h^\n.[b]\n|a|"),
            "<table>\n<thead>\n<tr><td>h</td></tr>\n</thead>\n<tbody class=\"b\">\n<tr><td>a</td></tr>\n"
            "</tbody>\n</table>");
}

TEST(ConverterTables, HeaderWithoutBodyEndsItsTable) {
  EXPECT_EQ(Convert("^h^"), "<table>\n<thead>\n<tr><td>h</td></tr>\n</thead>\n</table>");
  EXPECT_EQ(Convert("^h^\n\nText"),
            "<table>\n<thead>\n<tr><td>h</td></tr>\n</thead>\n</table>\n<p>Text</p>");
  EXPECT_EQ(Convert("^h^\n\n|a|"),
            "<table>\n<thead>\n<tr><td>h</td></tr>\n</thead>\n</table>\n"
            "<table>\n<tbody>\n<tr><td>a</td></tr>\n</tbody>\n</table>");
  // A header nested under a list item is closed with its level.
  EXPECT_EQ(Convert("* a\n  ^h^\n* b"),
            "<ul>\n<li>a<table>\n<thead>\n<tr><td>h</td></tr>\n</thead>\n</table>\n</li>\n<li>b</li>\n</ul>");
}

TEST(ConverterTables, HeaderAfterBodyStartsNewTable) {
  EXPECT_EQ(Convert("|a|\n^h^\n|b|"),
            "<table>\n<tbody>\n<tr><td>a</td></tr>\n</tbody>\n</table>\n<table>\n<thead>\n"
            "<tr><td>h</td></tr>\n</thead>\n<tbody>\n<tr><td>b</td></tr>\n</tbody>\n</table>");
}

TEST(ConverterTables, TextLineInsideTable) {
  EXPECT_EQ(Convert("|a|\nmore"), "<table>\n<tbody>\n<tr><td>a</td></tr>\nmore</tbody>\n</table>");
}

TEST(ConverterCells, SpansAlignmentAndTrailingSeparator) {
  auto cells = [](std::string_view text, char sep = '|') {
    std::string out;
    THTMLConverter::SplitCells(text, sep, out);
    return out;
  };
  EXPECT_EQ(cells("a|b"), "<td>a</td><td>b</td>");
  EXPECT_EQ(cells("a|b|"), "<td>a</td><td>b</td>");
  EXPECT_EQ(cells("a|b|  "), "<td>a</td><td>b</td>");
  EXPECT_EQ(cells("a| b"), "<td>a</td><td align=\"center\">b</td>");
  EXPECT_EQ(cells("|||a|"), "<td colspan=\"4\">a</td>");
  EXPECT_EQ(cells("a||"), "<td>a</td>");
  EXPECT_EQ(cells(" |"), "<td align=\"center\"></td>");
  EXPECT_EQ(cells("   x   |"), "<td align=\"right\">x</td>");
  EXPECT_EQ(cells("\tx|"), "<td>x</td>");
  EXPECT_EQ(cells(""), "");
  EXPECT_EQ(cells("a^b", '^'), "<td>a</td><td>b</td>");
  std::string many(12, '|');
  EXPECT_EQ(cells(many + "z"), "<td colspan=\"13\">z</td>");
}

TEST(ConverterCells, InlineMarkupIsConvertedAfterSplitting) {
  EXPECT_EQ(Convert("|_[a]|*[x.html y]|"),
            "<table>\n<tbody>\n<tr><td><strong>a</strong></td><td><a href=\"x.html\">y</a></td></tr>\n"
            "</tbody>\n</table>");
  // Cells are split first; a group across a separator spans the cells.
  EXPECT_EQ(Convert("|_[a|b]|"),
            "<table>\n<tbody>\n<tr><td><strong>a</td><td>b</strong></td></tr>\n</tbody>\n</table>");
}

TEST(ConverterAttributes, PendingAcrossEmptyLine) {
  EXPECT_EQ(Convert(".[#main]\n\nText"), "<p id=\"main\">Text</p>");
  EXPECT_EQ(Convert("\n.[color:red]\n= T"), "<h1 style=\"color:red\">T</h1>");
  EXPECT_EQ(Convert(".[a]\n.[b]\n\nT"), "<p class=\"b\">T</p>");
  EXPECT_EQ(Convert(".[a ]\n\nT"), "<p class=\"a\">T</p>");
  // A leading space is not a class word: the group is a span on a raw line.
  EXPECT_EQ(Convert(".[ a ]\n\nT"), "<span style=\"\"> a </span>\n<p>T</p>");
  EXPECT_EQ(Convert(".[]\n\nT"), "<p style=\"\">T</p>");
  EXPECT_EQ(Convert(".[color:]\n\nT"), "<p style=\"\">T</p>");
}

TEST(ConverterAttributes, RawLinesLeaveThemPending) {
  EXPECT_EQ(Convert(".[x]\nraw\n\nT"), "raw\n<p class=\"x\">T</p>");
  // Nothing is left pending into the next body.
  THTMLConverter converter;
  EXPECT_EQ(converter.Convert(".[x]"), "");
  EXPECT_EQ(converter.Convert("\nT"), "<p>T</p>");
}

TEST(ConverterAttributes, LinesThatFailOneTestAreText) {
  // Something after the group.
  EXPECT_EQ(Convert("\n.[x] y"), "<p><span class=\"x\"></span> y</p>");
  // Unclosed group.
  EXPECT_EQ(Convert("\n.[x"), "<p>.[x</p>");
  // Content not used up.
  EXPECT_EQ(Convert("\n.[a,b]"), "<p><span style=\"\">a,b</span></p>");
  EXPECT_EQ(Convert("\n.[a b]"), "<p><span class=\"a\">b</span></p>");
  EXPECT_EQ(Convert("\n.[color:'red]"), "<p><span style=\"\">'red</span></p>");
  // A failed line keeps what was pending.
  EXPECT_EQ(Convert(".[k]\n.[a b]\n\nT"), "<span class=\"a\">b</span>\n<p class=\"k\">T</p>");
  // Trailing tabs after the group count as white space.
  EXPECT_EQ(Convert(".[x]\t\n\nT"), "<p class=\"x\">T</p>");
}

TEST(ConverterAttributes, StyleDeclarations) {
  EXPECT_EQ(Convert(".[color:red; margin: 0]\n\nT"), "<p style=\"color:red;margin:0\">T</p>");
  EXPECT_EQ(Convert(".[font-family:\"A B\";x:1]\n\nT"), "<p style=\"font-family:A B;x:1\">T</p>");
}

TEST(ConverterTextLines, ByCurrentBlock) {
  // Inside preformatted text, divisions and table parts a text line is
  // converted and written without a break.
  EXPECT_EQ(Convert(">a\nb _[c]"), "<pre>\na\nb <strong>c</strong></pre>");
  EXPECT_EQ(Convert(">a\nb", "", "code"), "<div class=\"code\">\na<br/>b</div>");
  EXPECT_EQ(Convert("^h^\nb"), "<table>\n<thead>\n<tr><td>h</td></tr>\nb</thead>\n</table>");
  EXPECT_EQ(Convert("== H\nb"), "<h2>H<br/>b</h2>");
  EXPECT_EQ(Convert("* a\n; c\nb"), "<ul>\n<li>a<br/>b</li>\n</ul>");
}

TEST(ConverterAttributes, FirstElementOfEachOpeningTakesThem) {
  EXPECT_EQ(Convert(".[l]\n* a\n* b"), "<ul class=\"l\">\n<li>a</li>\n<li>b</li>\n</ul>");
  EXPECT_EQ(Convert(".[l]\n# a"), "<ol class=\"l\">\n<li>a</li>\n</ol>");
  EXPECT_EQ(Convert(".[h]\n== A\n== B"), "<h2 class=\"h\">A</h2>\n<h2>B</h2>");
  EXPECT_EQ(Convert("= A\n.[h]\n= B"), "<h1>A</h1>\n<h1 class=\"h\">B</h1>");
  // A nested level's opening takes attributes given before it.
  EXPECT_EQ(Convert("* a\n.[in]\n  * b"),
            "<ul>\n<li>a<ul class=\"in\">\n<li>b</li>\n</ul>\n</li>\n</ul>");
}

TEST(ConverterSpecialLines, CommentsPlaceholdersAndBrackets) {
  EXPECT_EQ(Convert("\nPara\n; note\nmore"), "<p>Para<br/>more</p>");
  EXPECT_EQ(Convert("\n{$menu}\nnext _[x]\n\nT"), "{$menu}\nnext <strong>x</strong>\n<p>T</p>");
  EXPECT_EQ(Convert("\n{$a_[b]}  "), "{$a_[b]}  ");
  // Indented, it opens a deeper level of raw lines, which are converted.
  EXPECT_EQ(Convert("\n  {$a_[b]}"), "  {$a<strong>b</strong>}");
  EXPECT_EQ(Convert("\n{$menu} x"), "<p>{$menu} x</p>");
  EXPECT_EQ(Convert("\nA\n[x]\nB"), "<p>A</p>\n<p>B</p>");
  EXPECT_EQ(Convert("\nA\n<div> _[b]\nC"), "<p>A</p>\n<div> <strong>b</strong>\nC");
}

TEST(ConverterSpecialLines, PlaceholderOnlyAfterEmptyLine) {
  EXPECT_EQ(Convert("\nA\n{$x}"), "<p>A<br/>{$x}</p>");
  EXPECT_EQ(Convert("{$x}"), "{$x}");
}

TEST(ConverterProperties, ImgPathGetsSlash) {
  THTMLConverter converter;
  converter.SetImgPath("img");
  EXPECT_EQ(converter.ImgPath(), "img/");
  converter.SetImgPath("");
  EXPECT_EQ(converter.ImgPath(), "");
  converter.SetImgPath("img/");
  EXPECT_EQ(converter.ImgPath(), "img/");
  converter.SetPreStyle("x y");
  EXPECT_EQ(converter.PreStyle(), "x y");
}

TEST(ConverterReuse, OneObjectServesManyBodies) {
  THTMLConverter converter;
  EXPECT_EQ(converter.Convert("* a\n        * b"), "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n</li>\n</ul>");
  EXPECT_EQ(converter.Convert("\nx"), "<p>x</p>");
  EXPECT_EQ(converter.Convert("Hello"), "Hello");
}

}  // namespace
}  // namespace pw
