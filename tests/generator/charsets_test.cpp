#include "generator/Charsets.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace pw {
namespace {

TEST(CharsetTableTest, HasAllRowsInOrderWithLowerCaseNames) {
  int count = 0;
  const TCharsetRow* rows = CharsetTable(&count);
  ASSERT_EQ(count, 140);
  EXPECT_STREQ(rows[0].name, "ibm037");
  EXPECT_EQ(rows[0].codePage, 37u);
  EXPECT_STREQ(rows[139].name, "utf-8");
  EXPECT_EQ(rows[139].codePage, 65001u);
  std::set<unsigned> pages;
  for (int i = 0; i < count; ++i) {
    for (const char* c = rows[i].name; *c; ++c) EXPECT_FALSE(*c >= 'A' && *c <= 'Z') << rows[i].name;
    EXPECT_TRUE(pages.insert(rows[i].codePage).second) << rows[i].codePage;
  }
}

TEST(CharsetTableTest, NamesMapToTheirCodePages) {
  EXPECT_EQ(CharsetToCodePage("utf-8"), 65001u);
  EXPECT_EQ(CharsetToCodePage("UTF-8"), 65001u);
  EXPECT_EQ(CharsetToCodePage("windows-1251"), 1251u);
  EXPECT_EQ(CharsetToCodePage("koi8-r"), 20866u);
  EXPECT_EQ(CharsetToCodePage("KOI8-U"), 21866u);
  EXPECT_EQ(CharsetToCodePage("iso-8859-1"), 28591u);
  EXPECT_EQ(CharsetToCodePage("us-ascii"), 20127u);
  EXPECT_EQ(CharsetToCodePage("utf-16"), 1200u);
  EXPECT_EQ(CharsetToCodePage("utf-7"), 65000u);
  EXPECT_EQ(CharsetToCodePage("shift_jis"), 932u);
  EXPECT_EQ(CharsetToCodePage("x-mac-croatian"), 10082u);
  EXPECT_EQ(CharsetToCodePage("iso-8859-8-i"), 38598u);
}

TEST(CharsetTableTest, NamesGivenTwiceTakeTheFirstRow) {
  EXPECT_EQ(CharsetToCodePage("iso-2022-jp"), 50220u);
  EXPECT_EQ(CharsetToCodePage("euc-jp"), 20932u);
}

TEST(CharsetTableTest, UnknownNamesSelectTheAnsiCodePage) {
  EXPECT_EQ(CharsetToCodePage("no-such-charset"), platform::AnsiCodePage());
  EXPECT_EQ(CharsetToCodePage(""), platform::AnsiCodePage());
  EXPECT_EQ(CharsetToCodePage(" utf-8"), platform::AnsiCodePage());  // compared exactly
}

TEST(CharsetEncodeTest, Utf8IsPassedThrough) {
  std::string text = "Привет, \xF0\x9F\x98\x80";
  EXPECT_EQ(EncodeUtf8ForCharset(text, "utf-8"), text);
  EXPECT_EQ(EncodeUtf8ForCharset(text, "UTF-8"), text);
}

TEST(CharsetEncodeTest, SingleByteCodePages) {
  EXPECT_EQ(EncodeUtf8ForCharset("Привет", "windows-1251"), "\xCF\xF0\xE8\xE2\xE5\xF2");
  EXPECT_EQ(EncodeUtf8ForCharset("Привет", "koi8-r"), "\xF0\xD2\xC9\xD7\xC5\xD4");
  EXPECT_EQ(EncodeUtf8ForCharset("caf\xC3\xA9", "iso-8859-1"), "caf\xE9");
  // Characters the code page lacks become its default character.
  EXPECT_EQ(EncodeUtf8ForCharset("a\xE2\x82\xACz", "iso-8859-1"), "a?z");
  EXPECT_EQ(EncodeUtf8ForCharset("Жz", "us-ascii"), "?z");
}

TEST(CharsetEncodeTest, UnicodeForms) {
  std::string utf16 = EncodeUtf8ForCharset("Aж", "utf-16");
  // Little-endian UTF-16, with or without a byte-order mark.
  std::string body = utf16.size() == 6 ? utf16.substr(2) : utf16;
  EXPECT_EQ(body, std::string("A\0\x36\x04", 4));
  EXPECT_EQ(EncodeUtf8ForCharset("A+B", "utf-7"), "A+-B");
  EXPECT_EQ(EncodeUtf8ForCharset("\xC3\xA9", "utf-7"), "+AOk-");
}

TEST(CharsetEncodeTest, ShiftJis) {
  if (!platform::IsCodePageSupported(932)) GTEST_SKIP() << "code page 932 is not available here";
  EXPECT_EQ(EncodeUtf8ForCharset("\xE3\x81\x82", "shift_jis"), "\x82\xA0");  // HIRAGANA A
}

TEST(CharsetEncodeTest, UnknownNamesEncodeInTheAnsiCodePage) {
  std::string expected = platform::TextToBytes(QString::fromUtf8("caf\xC3\xA9"), platform::AnsiCodePage());
  EXPECT_EQ(EncodeUtf8ForCharset("caf\xC3\xA9", "klingon"), expected);
}

}  // namespace
}  // namespace pw
