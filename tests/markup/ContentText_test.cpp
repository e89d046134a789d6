#include "markup/ContentText.h"
#include "platform/Trim.h"

#include <gtest/gtest.h>

#include <random>

namespace pw::content {

void PrintTo(const TPageEntry& entry, std::ostream* out) {
  *out << '{' << entry.Caption << ", line " << entry.Line << ", icon " << entry.Icon << '}';
}

}  // namespace pw::content

namespace pw::tests {
namespace {

using namespace content;

using Lines = std::vector<std::string_view>;

TEST(ContentTextTest, LineKindIsDecidedByTheFirstCharacterOnly) {
  EXPECT_EQ(ClassifyLine(";comment"), TLineKind::Comment);
  EXPECT_EQ(ClassifyLine("[index.html]"), TLineKind::Header);
  EXPECT_EQ(ClassifyLine("[no close"), TLineKind::Header);
  EXPECT_EQ(ClassifyLine("\\[escaped]"), TLineKind::Escaped);
  EXPECT_EQ(ClassifyLine("$title x"), TLineKind::Directive);
  EXPECT_EQ(ClassifyLine(""), TLineKind::Body);
  EXPECT_EQ(ClassifyLine(" [indented]"), TLineKind::Body);
  EXPECT_EQ(ClassifyLine("= Heading"), TLineKind::Body);
}

TEST(ContentTextTest, LinesSplitAtEveryKindOfBreak) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), Lines({"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n"), Lines({"a", ""}));
  EXPECT_EQ(SplitLines(""), Lines({""}));
  EXPECT_EQ(SplitLines("\r\n\r\n"), Lines({"", "", ""}));
  EXPECT_EQ(SplitLines("a\n\rb"), Lines({"a", "", "b"}));
  // Lines longer than the scan's first windows, each kind of break past a window's end.
  for (size_t length : {127u, 128u, 129u, 383u, 384u, 1000u}) {
    const std::string line(length, 'x');
    for (const char* lineBreak : {"\n", "\r", "\r\n"}) {
      EXPECT_EQ(SplitLines(line + lineBreak + "y"), Lines({line, "y"})) << length;
    }
  }
}

TEST(ContentTextTest, HeaderNameStopsAtTheFirstBracketOrTakesTheTrimmedRest) {
  EXPECT_EQ(HeaderName("[index.html]"), "index.html");
  EXPECT_EQ(HeaderName("[a]b]"), "a");
  EXPECT_EQ(HeaderName("[]"), "");
  EXPECT_EQ(HeaderName("[  open page.html  "), "open page.html");
  EXPECT_EQ(HeaderName("[ spaced ]"), " spaced ");
  EXPECT_EQ(HeaderName("no bracket"), "");
}

TEST(ContentTextTest, DirectiveNameIsRestrictedAndNeedsASpace) {
  // Names in other scripts read whole, as the placeholders that name them do: every byte of a
  // multi-byte character is a name byte (continuation bytes 0x80-0xBF included).
  const struct {
    std::string_view Line, Name, Value;
  } cases[] = {{"$title Hello world ", "title", "Hello world "},
               {"$index.html.title  Two", "index.html.title", " Two"},
               {"$title", "title", ""},
               {"$a=b c", "a=b c", ""},
               {"$ value", " value", ""},
               {"$", "", ""},
               {"$t\xC3\xADtle Home", "t\xC3\xADtle", "Home"},
               {"$\xD0\xB7\xD0\xB0\xD0\xB3 \xD0\xB4", "\xD0\xB7\xD0\xB0\xD0\xB3", "\xD0\xB4"},
               {"$\xE2\x82\xAC", "\xE2\x82\xAC", ""},
               {"$menu.\xC3\xA9t\xC3\xA9 x", "menu.\xC3\xA9t\xC3\xA9", "x"},
               {"$\x80\xBF stray", "\x80\xBF", "stray"},
               {"$t\xC2\xA0x y", "t\xC2\xA0x", "y"},  // a no-break space is not a separator
               {"$t\tx", "t\tx", ""}};
  for (const auto& c : cases) {
    const auto d = ParseDirective(c.Line);
    EXPECT_EQ(d.Name, c.Name) << c.Line;
    EXPECT_EQ(d.Value, c.Value) << c.Line;
  }
}

TEST(ContentTextTest, UsesEntriesMayBeQuoted) {
  using Units = std::vector<std::string>;
  EXPECT_EQ(ParseUses("menu, gallery ,feeds"), Units({"menu", "gallery", "feeds"}));
  EXPECT_EQ(ParseUses("\"my unit\", other"), Units({"my unit", "other"}));
  EXPECT_EQ(ParseUses("'a,b' , \"c\""), Units({"a,b", "c"}));
  EXPECT_EQ(ParseUses(" , ,x,,"), Units({"x"}));
  EXPECT_EQ(ParseUses("\"unclosed, still"), Units({"unclosed, still"}));
  EXPECT_EQ(ParseUses(""), Units());
  EXPECT_EQ(UsesIncludes("\"my unit\", b"), "#include my unit\n#include b\n");
  // In a whole text: only lines that are $uses lines once trimmed, whatever breaks them.
  EXPECT_EQ(UsesIncludesOfText("$uses a\n \t$USES b\r\nx $uses c\n$usesd\r$uses \r$uses e"),
            "#include a\n#include b\n#include e\n");
  EXPECT_EQ(UsesIncludesOfText("$$uses a\n$title $uses\n\r\x01$uses f $uses g"), "#include f $uses g\n");
}

TEST(ContentTextTest, PageListShowsOnlyClosedNonEmptyHeaders) {
  const TPageScan scan = ScanPages(
      "$title My Site\r\n"
      "[index.html]\r\n"
      "$TITLE Home\r\n"
      "[]\r\n"
      "[open.html\r\n"
      "\\[escaped.html]\r\n"
      "  [menu]  \r\n"
      "$title\r\n"
      "[a]b]\r\n"
      "[css/style.css]\r\n",
      "Project");
  // "$title" without a value is not a title line.
  const std::vector<TPageEntry> expected = {{"Project (My Site)", 0, piProject}, {"index.html (Home)", 2, piFile}, {"menu", 7, piFragment},
                                            {"a]b", 9, piFragment},               {"css/style.css", 10, piFile}};
  EXPECT_EQ(scan.Entries, expected);
  EXPECT_EQ(scan.ProjectTitle, "My Site");
}

TEST(ContentTextTest, TitleAfterTheFirstSectionIsNotTheProjectTitle) {
  const TPageScan scan = ScanPages("[index.html]\n$title Home\n", "Project");
  EXPECT_EQ(scan.ProjectTitle, "");
  EXPECT_FALSE(scan.HasProjectTitle);
  EXPECT_EQ(scan.Entries[0].Caption, "Project");
  EXPECT_EQ(ScanPages("  $Title   Spaced Out  \n", "P").ProjectTitle, "Spaced Out");
}

TEST(ContentTextTest, LastUsesLineWins) {
  EXPECT_EQ(ScanPages("$uses a\n[x.html]\n  $USES  b, 'c d'  \n", "P").UsedUnits, "b, 'c d'");
  EXPECT_EQ(ScanPages("$usesx\n", "P").UsedUnits, "");
}

TEST(ContentTextTest, CurrentPageIsTheNearestHeaderAboveTheCaret) {
  const std::string text = "$title T\n[index.html]\nbody\n[menu]\nitems\n[about.html]\n";
  EXPECT_EQ(CurrentPageName(text, 0), "");
  EXPECT_EQ(CurrentPageName(text, 1), "index.html");
  EXPECT_EQ(CurrentPageName(text, 2), "index.html");
  EXPECT_EQ(CurrentPageName(text, 4), "");  // a fragment is no page
  EXPECT_EQ(CurrentPageName(text, 5), "about.html");
  EXPECT_EQ(CurrentPageName(text, 999), "about.html");
  EXPECT_EQ(CurrentPageName(text, -1), "");
}

TEST(ContentTextTest, SectionEndsAtTheNextListedHeader) {
  const std::string text = "[a.html]\nx\n[]\n[open\n[b.html]\ny";
  const Lines lines = SplitLines(text);
  EXPECT_EQ(SectionEndLine(lines, 0), 4);
  EXPECT_EQ(SectionEndLine(lines, 4), 6);
}

TEST(ContentTextTest, EveryListedEntryPointsAtAListedHeaderInRandomText) {
  std::mt19937 random(11);
  const char alphabet[] = "[]$;\\.\r\n \tab";
  for (int round = 0; round < 500; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) text.push_back(alphabet[random() % (sizeof(alphabet) - 1)]);
    const Lines lines = SplitLines(text);
    const TPageScan scan = ScanPages(text, "P");
    for (size_t e = 1; e < scan.Entries.size(); ++e) {
      const int line = scan.Entries[e].Line;
      ASSERT_GE(line, 1);
      ASSERT_LE(line, static_cast<int>(lines.size()));
      ASSERT_TRUE(IsListedHeader(platform::TrimBlanks(lines[line - 1])));
      const int end = SectionEndLine(lines, line - 1);
      ASSERT_GT(end, line - 1);
      ASSERT_LE(end, static_cast<int>(lines.size()));
    }
    CurrentPageName(text, static_cast<int>(random() % 50));
  }
}

}  // namespace
}  // namespace pw::tests
