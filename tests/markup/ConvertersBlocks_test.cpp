// The block layer: lines, levels, block kinds and their openings and closings.
#include <gtest/gtest.h>

#include "support/ConverterCases.h"

namespace pw::tests {
namespace {

using namespace std::literals;

TEST(ConverterLines, BreaksBlanksAndZeroBytes) {
  ExpectBodies({
      {"", ""},
      {"\n\n\n", ""},
      // The lines before the first empty one are raw.
      {"Hello\nWorld", "Hello\nWorld"},
      {"  Hello", "  Hello"},
      {"\nHello\nWorld", "<p>Hello<br/>World</p>"},
      {"\nA\n\nB", "<p>A</p>\n<p>B</p>"},
      {"\r\nA\r\nB\r\n", "<p>A<br/>B</p>"},
      {"\rA\rB", "<p>A<br/>B</p>"},
      {"\nA\n\rB", "<p>A</p>\n<p>B</p>"},    // LF CR: a line end, then an empty line
      {"\nA\r\r\nB", "<p>A</p>\n<p>B</p>"},  // CR CR LF: an empty line between
      {"Hello\r\n", "Hello"},                 // a trailing break adds no line
      // A zero byte ends the text.
      {"\nA\nB\0C\nD"sv, "<p>A<br/>B</p>"},
      {"\0Hello"sv, ""},
      // Bytes 0..32 are blank, bytes above 127 are text.
      {"\nA\n \t\x01\x1f \nB", "<p>A</p>\n<p>B</p>"},
      {"\n\xc3\xa9", "<p>\xc3\xa9</p>"},
  });
}

TEST(ConverterHeadings, MarkersAndContinuation) {
  ExpectBodies({
      {"= A\n= B\n== C\n=== D", "<h1>A</h1>\n<h1>B</h1>\n<h2>C</h2>\n<h3>D</h3>"},
      {"\n=Title", "<p>=Title</p>"},
      {"\n==== x", "<p>==== x</p>"},
      {"\n=", "<p>=</p>"},
      {"=  A", "<h1> A</h1>"},  // extra spaces stay in the text
      {"= A\nmore", "<h1>A<br/>more</h1>"},
      {"= _[A]", "<h1><strong>A</strong></h1>"},
  });
}

TEST(ConverterLists, KindsLevelsAndClosing) {
  ExpectBodies({
      {"* a\n  * b\n* c", "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n</li>\n<li>c</li>\n</ul>"},
      {"# one\n# two", "<ol>\n<li>one</li>\n<li>two</li>\n</ol>"},
      {"# one\nmore\n# two", "<ol>\n<li>one<br/>more</li>\n<li>two</li>\n</ol>"},
      {"\n#x\n*x", "<p>#x<br/>*x</p>"},
      {"* a\n# b", "<ul>\n<li>a</li>\n</ul>\n<ol>\n<li>b</li>\n</ol>"},
      // Odd spaces round down, tabs do not count.
      {"* a\n * b", "<ul>\n<li>a</li>\n<li>b</li>\n</ul>"},
      {"* a\n\t* b", "<ul>\n<li>a</li>\n<li>b</li>\n</ul>"},
      {"* a\n   * b", "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n</li>\n</ul>"},
      // A deep jump opens one level; going back closes every level passed.
      {"* a\n      * b", "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n</li>\n</ul>"},
      {"* a\n    * b\n  * c", "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n<ul>\n<li>c</li>\n</ul>\n</li>\n</ul>"},
      {"* a\n  * b\n\nText", "<ul>\n<li>a<ul>\n<li>b</li>\n</ul>\n</li>\n</ul>\n<p>Text</p>"},
      // An indented line opens a deeper level of raw lines, kept as written.
      {"\nA\n  B", "<p>A  B\n</p>"},
  });
}

TEST(ConverterPreformatted, EscapingNestingAndAttributes) {
  ExpectBodies({
      {"> int x;\n>   y < 2 && z",
       "<pre>\n&#32;int&#32;x;\n&nbsp;&nbsp;&#32;y&#32;&lt;&#32;2&#32;&#38;&#38;&#32;z\n</pre>"},
      {">[{$x}]\t>", "<pre>\n&#91;&#123;$x}]&nbsp;&nbsp;&gt;\n</pre>"},
      {">    ", "<pre>\n&nbsp;&nbsp;&nbsp;&nbsp;\n</pre>"},
      {">_[no] *[inline]", "<pre>\n_&#91;no]&#32;*&#91;inline]\n</pre>"},
      {"* a\n  > code", "<ul>\n<li>a<pre>\n&#32;code\n</pre>\n</li>\n</ul>"},
      {".[x]\n>a\n>b", "<div class=\"x\">\na<br/>b<br/></div>"},
      // Attributes pending in the middle of a pre block switch to a division.
      {">a\n.[x]\n>b", "<pre>\na\n</pre>\n<div class=\"x\">\nb<br/></div>"},
  });
  // The pre style makes a division: a class, an id or a style.
  for (const auto& [style, expected] : {
           TCase{"code", "<div class=\"code\">\na<br/></div>"},
           {"#box", "<div id=\"box\">\na<br/></div>"},
           {"code more", "<div class=\"code\">\na<br/></div>"},
           {"color: red", "<div style=\"color: red\">\na<br/></div>"},
           {"a.b", "<div style=\"a.b\">\na<br/></div>"},
       }) {
    EXPECT_EQ(Convert(">a", "", std::string(style)), expected) << style;
  }
  EXPECT_EQ(Convert("> a\n> b", "", "code"), "<div class=\"code\">\n&#32;a<br/>&#32;b<br/></div>");
}

constexpr std::string_view kHeaderOnly = "<table>\n<thead>\n<tr><td>h</td></tr>\n</thead>\n</table>";

TEST(ConverterTables, RowsPartsAndAttributes) {
  ExpectBodies({
      {"^ H1 ^ H2 ^\n| a | b |\n|a ||  c|",
       "<table>\n<thead>\n<tr><td align=\"center\">H1</td><td align=\"center\">H2</td></tr>\n"
       "</thead>\n<tbody>\n<tr><td align=\"center\">a</td><td align=\"center\">b</td></tr>\n"
       "<tr><td>a</td><td align=\"right\" colspan=\"2\">c</td></tr>\n</tbody>\n</table>"},
      {"\n| a | b\n.[wide]\n| c | d |",
       "<table>\n<tbody>\n<tr><td align=\"center\">a</td><td align=\"center\">b</td></tr>\n"
       "<tr class=\"wide\"><td align=\"center\">c</td><td align=\"center\">d</td></tr>\n</tbody>\n</table>"},
      {".[grid]\n|a|", "<table class=\"grid\">\n<tbody>\n<tr><td>a</td></tr>\n</tbody>\n</table>"},
      {".[grid]\n^h^", "<table class=\"grid\">\n<thead>\n<tr><td>h</td></tr>\n</thead>\n</table>"},
      // Between header and body the attributes go on the body.
      {"^h^\n.[b]\n|a|",
       "<table>\n<thead>\n<tr><td>h</td></tr>\n</thead>\n<tbody class=\"b\">\n<tr><td>a</td></tr>\n"
       "</tbody>\n</table>"},
      {"|a|\n^h^\n|b|",
       "<table>\n<tbody>\n<tr><td>a</td></tr>\n</tbody>\n</table>\n<table>\n<thead>\n"
       "<tr><td>h</td></tr>\n</thead>\n<tbody>\n<tr><td>b</td></tr>\n</tbody>\n</table>"},
      {"|a|\nmore", "<table>\n<tbody>\n<tr><td>a</td></tr>\nmore</tbody>\n</table>"},
      // Cells are split before inline markup; a group across a separator spans the cells.
      {"|_[a]|*[x.html y]|",
       "<table>\n<tbody>\n<tr><td><strong>a</strong></td><td><a href=\"x.html\">y</a></td></tr>\n"
       "</tbody>\n</table>"},
      {"|_[a|b]|", "<table>\n<tbody>\n<tr><td><strong>a</td><td>b</strong></td></tr>\n</tbody>\n</table>"},
  });
}

TEST(ConverterTables, HeaderWithoutBodyEndsItsTable) {
  std::string header(kHeaderOnly);
  ExpectBodies({
      {"^h^", kHeaderOnly},
      {"^h^\n\nText", header + "\n<p>Text</p>"},
      {"^h^\n\n|a|", header + "\n<table>\n<tbody>\n<tr><td>a</td></tr>\n</tbody>\n</table>"},
      // Nested under a list item it is closed with its level.
      {"* a\n  ^h^\n* b", "<ul>\n<li>a" + header + "\n</li>\n<li>b</li>\n</ul>"},
  });
}

TEST(ConverterCells, SpansAlignmentAndTrailingSeparator) {
  auto cells = [](std::string_view text, char sep) {
    std::string out;
    THTMLConverter::SplitCells(text, sep, out);
    return out;
  };
  ExpectEach(
      {
          {"a|b", "<td>a</td><td>b</td>"},
          {"a|b|", "<td>a</td><td>b</td>"},
          {"a|b|  ", "<td>a</td><td>b</td>"},
          {"a| b", "<td>a</td><td align=\"center\">b</td>"},
          {"|||a|", "<td colspan=\"4\">a</td>"},
          {"a||", "<td>a</td>"},
          {" |", "<td align=\"center\"></td>"},
          {"   x   |", "<td align=\"right\">x</td>"},
          {"\tx|", "<td>x</td>"},
          {"", ""},
          {"||||||||||||z", "<td colspan=\"13\">z</td>"},
      },
      [&](std::string_view text) { return cells(text, '|'); });
  EXPECT_EQ(cells("a^b", '^'), "<td>a</td><td>b</td>");
}

TEST(ConverterAttributes, PendingAndTaken) {
  ExpectBodies({
      {".[#main]\n\nText", "<p id=\"main\">Text</p>"},
      {"\n.[color:red]\n= T", "<h1 style=\"color:red\">T</h1>"},
      {".[a]\n.[b]\n\nT", "<p class=\"b\">T</p>"},
      {".[a ]\n\nT", "<p class=\"a\">T</p>"},
      {".[x]\t\n\nT", "<p class=\"x\">T</p>"},  // trailing tabs are white space
      {".[]\n\nT", "<p style=\"\">T</p>"},
      {".[color:]\n\nT", "<p style=\"\">T</p>"},
      {".[color:red; margin: 0]\n\nT", "<p style=\"color:red;margin:0\">T</p>"},
      {".[font-family:\"A B\";x:1]\n\nT", "<p style=\"font-family:A B;x:1\">T</p>"},
      {".[x]\nraw\n\nT", "raw\n<p class=\"x\">T</p>"},  // raw lines leave them pending
      // The first element of each opening takes them.
      {".[l]\n* a\n* b", "<ul class=\"l\">\n<li>a</li>\n<li>b</li>\n</ul>"},
      {".[l]\n# a", "<ol class=\"l\">\n<li>a</li>\n</ol>"},
      {".[h]\n== A\n== B", "<h2 class=\"h\">A</h2>\n<h2>B</h2>"},
      {"= A\n.[h]\n= B", "<h1>A</h1>\n<h1 class=\"h\">B</h1>"},
      {"* a\n.[in]\n  * b", "<ul>\n<li>a<ul class=\"in\">\n<li>b</li>\n</ul>\n</li>\n</ul>"},
  });
  // Nothing is left pending into the next body.
  THTMLConverter converter;
  EXPECT_EQ(converter.Convert(".[x]"), "");
  EXPECT_EQ(converter.Convert("\nT"), "<p>T</p>");
}

TEST(ConverterAttributes, LinesThatFailOneTestAreText) {
  ExpectBodies({
      {"\n.[x] y", "<p><span class=\"x\"></span> y</p>"},  // something after the group
      {"\n.[x", "<p>.[x</p>"},                              // unclosed
      // Content not used up.
      {"\n.[a,b]", "<p><span style=\"\">a,b</span></p>"},
      {"\n.[a b]", "<p><span class=\"a\">b</span></p>"},
      {"\n.[color:'red]", "<p><span style=\"\">'red</span></p>"},
      // A leading space is not a class word: the group is a span on a raw line.
      {".[ a ]\n\nT", "<span style=\"\"> a </span>\n<p>T</p>"},
      // A failed line keeps what was pending.
      {".[k]\n.[a b]\n\nT", "<span class=\"a\">b</span>\n<p class=\"k\">T</p>"},
  });
}

TEST(ConverterTextLines, ByCurrentBlock) {
  // Inside preformatted text, divisions and table parts a text line is
  // converted and written without a break.
  ExpectBodies({
      {">a\nb _[c]", "<pre>\na\nb <strong>c</strong></pre>"},
      {"^h^\nb", "<table>\n<thead>\n<tr><td>h</td></tr>\nb</thead>\n</table>"},
      {"== H\nb", "<h2>H<br/>b</h2>"},
      {"* a\n; c\nb", "<ul>\n<li>a<br/>b</li>\n</ul>"},
  });
  EXPECT_EQ(Convert(">a\nb", "", "code"), "<div class=\"code\">\na<br/>b</div>");
}

TEST(ConverterSpecialLines, CommentsPlaceholdersAndBrackets) {
  ExpectBodies({
      {"\nPara\n; note\nmore", "<p>Para<br/>more</p>"},
      {"\n{$menu}\nnext _[x]\n\nT", "{$menu}\nnext <strong>x</strong>\n<p>T</p>"},
      {"\n{$a_[b]}  ", "{$a_[b]}  "},
      // Indented, it opens a deeper level of raw lines, which are converted.
      {"\n  {$a_[b]}", "  {$a<strong>b</strong>}"},
      {"\n{$menu} x", "<p>{$menu} x</p>"},
      // A placeholder line counts only after an empty line.
      {"\nA\n{$x}", "<p>A<br/>{$x}</p>"},
      {"\nA\n[x]\nB", "<p>A</p>\n<p>B</p>"},
      {"\nA\n<div> _[b]\nC", "<p>A</p>\n<div> <strong>b</strong>\nC"},
  });
}

TEST(ConverterProperties, ImgPathGetsSlash) {
  THTMLConverter converter;
  for (const auto& [path, expected] : {TCase{"img", "img/"}, {"", ""}, {"img/", "img/"}}) {
    converter.SetImgPath(std::string(path));
    EXPECT_EQ(converter.ImgPath(), expected);
  }
  converter.SetPreStyle("x y");
  EXPECT_EQ(converter.PreStyle(), "x y");
}

}  // namespace
}  // namespace pw::tests
