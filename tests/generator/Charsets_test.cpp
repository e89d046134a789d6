#include "platform/Charsets.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>
#include <string>

namespace pw::tests {
namespace {

TEST(CharsetTableTest, HasAllRowsInOrderWithLowerCaseNames) {
  int count = 0;
  const TCharsetRow* rows = CharsetTable(&count);
  ASSERT_EQ(count, 140);
  EXPECT_STREQ(rows[0].Name, "ibm037");
  EXPECT_EQ(rows[0].CodePage, 37u);
  EXPECT_STREQ(rows[139].Name, "utf-8");
  EXPECT_EQ(rows[139].CodePage, 65001u);
  std::set<unsigned> pages;
  for (int i = 0; i < count; ++i) {
    for (const char* c = rows[i].Name; *c; ++c) EXPECT_FALSE(*c >= 'A' && *c <= 'Z') << rows[i].Name;
    EXPECT_TRUE(pages.insert(rows[i].CodePage).second) << rows[i].CodePage;
  }
}

// Code pages glibc has no converter for.
constexpr unsigned kWithoutConverter[] = {
    720,   10001, 10002, 10003, 10004, 10005, 10006, 10008, 10010, 10021, 10081, 10082, 20000,
    20001, 20002, 20003, 20004, 20005, 20105, 20833, 20838, 20924, 29001, 52936, 57002, 57003,
    57004, 57005, 57006, 57007, 57008, 57009, 57010, 57011};

TEST(CharsetTableTest, EveryCodePageWithAConverterWorks) {
  int count = 0;
  const TCharsetRow* rows = CharsetTable(&count);
  const std::vector<unsigned> supported = platform::SupportedCodePages();
  for (int i = 0; i < count; ++i) {
    const unsigned codePage = rows[i].CodePage;
    const bool expected = std::find(std::begin(kWithoutConverter), std::end(kWithoutConverter), codePage) ==
                          std::end(kWithoutConverter);
    EXPECT_EQ(platform::IsCodePageSupported(codePage), expected) << codePage;
    if (!expected) continue;
    EXPECT_TRUE(std::binary_search(supported.begin(), supported.end(), codePage)) << codePage;
    // Capitals and digits survive every code page, single-byte, double-byte, EBCDIC or UTF
    // (the Katakana EBCDIC code page 20290 has no small letters).
    const QString text = QStringLiteral("PAGE 1");
    EXPECT_EQ(platform::BytesToText(platform::TextToBytes(text, codePage), codePage), text) << codePage;
  }
}

TEST(CharsetTableTest, NamesMapToTheirCodePages) {
  const std::pair<const char*, unsigned> cases[] = {
      {"utf-8", 65001},          {"UTF-8", 65001},       {"windows-1251", 1251},   {"koi8-r", 20866},
      {"KOI8-U", 21866},         {"iso-8859-1", 28591},  {"us-ascii", 20127},      {"utf-16", 1200},
      {"utf-7", 65000},          {"shift_jis", 932},     {"x-mac-croatian", 10082}, {"iso-8859-8-i", 38598},
      {"iso-2022-jp", 50220},    {"euc-jp", 20932},  // names given twice take the first row
  };
  for (const auto& [name, codePage] : cases) EXPECT_EQ(CharsetToCodePage(name), codePage) << name;
  // Unknown names, compared exactly, select the ANSI code page.
  for (const char* name : {"no-such-charset", "", " utf-8"}) EXPECT_EQ(CharsetToCodePage(name), platform::AnsiCodePage());
}

TEST(CharsetEncodeTest, PagesAreEncodedInTheirCharset) {
  const struct {
    const char* Charset;
    std::string Text, Bytes;
  } cases[] = {
      {"utf-8", "Привет, \xF0\x9F\x98\x80", "Привет, \xF0\x9F\x98\x80"},
      {"UTF-8", "Привет", "Привет"},
      {"windows-1251", "Привет", "\xCF\xF0\xE8\xE2\xE5\xF2"},
      {"koi8-r", "Привет", "\xF0\xD2\xC9\xD7\xC5\xD4"},
      {"iso-8859-1", "caf\xC3\xA9", "caf\xE9"},
      // Characters the code page lacks become its default character.
      {"iso-8859-1", "a\xE2\x82\xACz", "a?z"},
      {"us-ascii", "Жz", "?z"},
      {"utf-7", "A+B", "A+-B"},
      {"utf-7", "\xC3\xA9", "+AOk-"},
      {"shift_jis", "\xE3\x81\x82", "\x82\xA0"},  // HIRAGANA A
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeUtf8ForCharset(c.Text, c.Charset), c.Bytes) << c.Charset;
  // Little-endian UTF-16, with or without a byte-order mark.
  std::string utf16 = EncodeUtf8ForCharset("Aж", "utf-16");
  EXPECT_EQ(utf16.size() == 6 ? utf16.substr(2) : utf16, std::string("A\0\x36\x04", 4));
  std::string expected = platform::TextToBytes(QString::fromUtf8("caf\xC3\xA9"), platform::AnsiCodePage());
  EXPECT_EQ(EncodeUtf8ForCharset("caf\xC3\xA9", "klingon"), expected);
}

}  // namespace
}  // namespace pw::tests
