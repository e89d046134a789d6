#include "platform/CodePage.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/QStringPrinter.h"
#include "support/ScopedEnvironment.h"

namespace pw::tests {
using namespace pw::platform;
using namespace std::string_literals;
namespace {


const QString kRussian = u"Привет, мир"_qs;

TEST(CodePageTest, KnownBytesReadBackExactly) {
  const struct {
    QString Text;
    unsigned CodePage;
    std::string Bytes;
  } cases[] = {
      {kRussian, 1251, "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"},
      {u"Ёж"_qs, 20866, "\xB3\xD6"},
      {u"€ “x” é"_qs, 1252, "\x80 \x93x\x94 \xE9"},
      {u"中文"_qs, 936, "\xD6\xD0\xCE\xC4"},
      {u"日"_qs, 932, "\x93\xFA"},
      {u"A€"_qs, kCodePageUtf16, std::string("A\0\xAC\x20", 4)},
      {u"A€"_qs, 1201, std::string("\0A\x20\xAC", 4)},
      {u"😀"_qs, 12000, "\x00\xF6\x01\x00"s},
      // The Hebrew and Vietnamese converters hold a base letter back for combining marks.
      {u"א"_qs, 1255, "\xE0"},
      {u"Viet a"_qs, 1258, "Viet a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextToBytes(c.Text, c.CodePage), c.Bytes) << c.CodePage;
    EXPECT_EQ(BytesToText(c.Bytes, c.CodePage), c.Text) << c.CodePage;
  }
  const QString japanese = u"日本語テキスト"_qs;
  EXPECT_EQ(BytesToText(TextToBytes(japanese, 932), 932), japanese);
}

TEST(CodePageTest, UnassignedWindowsBytesPassThroughAsC1Controls) {
  // 0x81 and 0x9D are unassigned in 1252, 0x98 in 1251: they survive a round trip.
  EXPECT_EQ(BytesToText("\x81\x80\x9D", 1252), u"\u0081€\u009D"_qs);
  EXPECT_EQ(TextToBytes(u"\u0081€\u009D"_qs, 1252), "\x81\x80\x9D");
  EXPECT_EQ(BytesToText("\x98", 1251), u"\u0098"_qs);
  EXPECT_EQ(TextToBytes(u"\u0098"_qs, 1251), "\x98");
  // A C1 control whose byte is taken by another character has no place in the code page.
  EXPECT_EQ(TextToBytes(u"\u0080"_qs, 1252), "?");
  // Other code pages keep the plain rule.
  EXPECT_EQ(TextToBytes(u"\u0081"_qs, 20866), "?");
}

TEST(CodePageTest, UtfFormsLoseNothing) {
  const QString text = u"A€😀\u0000Я"_qs;  // includes a surrogate pair and a NUL
  // GB18030 covers all of Unicode too, with four-byte sequences beyond the BMP.
  for (unsigned codePage : {kCodePageUtf8, kCodePageUtf16, 1201u, 12000u, 12001u, kCodePageUtf7, 54936u}) {
    EXPECT_EQ(BytesToText(TextToBytes(text, codePage), codePage), text) << codePage;
  }
  EXPECT_EQ(TextToBytes(u"Hi Мир"_qs, kCodePageUtf7).substr(0, 3), "Hi ");
  const QString utf7 = u"1 + 1 = 2, Мир €"_qs;
  EXPECT_EQ(BytesToText(TextToBytes(utf7, kCodePageUtf7), kCodePageUtf7), utf7);
}

TEST(CodePageTest, UnmappableCharactersBecomeTheDefaultCharacter) {
  EXPECT_EQ(TextToBytes(u"a中b"_qs, 1251), "a?b");
  EXPECT_EQ(TextToBytes(u"Ж"_qs, 28591), "?");
  // A character outside the BMP is one character and gets one default character.
  EXPECT_EQ(TextToBytes(u"x😀y"_qs, 1252), "x?y");
  // EBCDIC has its own '?' (0x6F).
  EXPECT_EQ(TextToBytes(u"Ж"_qs, 37), "\x6F");
  // A lone surrogate is no character.
  EXPECT_EQ(TextToBytes(QString(QChar(0xD800)) + u"z"_qs, 1252), "?z");
  // Shift-state encodings stay well-formed around the replacement.
  const std::string jis = TextToBytes(u"日€本"_qs, 50220);
  EXPECT_EQ(BytesToText(jis, 50220), u"日?本"_qs);
}

TEST(CodePageTest, InvalidBytesDecodeAsReplacementCharacter) {
  EXPECT_EQ(BytesToText("a\xFF" "b", kCodePageUtf8), u"a\uFFFDb"_qs);
  EXPECT_EQ(BytesToText("\x82", 932), u"\uFFFD"_qs);  // truncated double-byte sequence
  EXPECT_EQ(BytesToText(std::string("A\0B", 3), kCodePageUtf16), u"A\uFFFD"_qs);
  EXPECT_EQ(BytesToText("", 1251), QString());
  EXPECT_EQ(TextToBytes(QString(), 1251), std::string());
}

TEST(CodePageTest, NumbersNoCodePageHasAreUnsupported) {
  // Every code page a charset name selects is checked with the charset table.
  for (unsigned codePage : {0u, 1u, 99999u}) EXPECT_FALSE(IsCodePageSupported(codePage)) << codePage;
}

TEST(CodePageTest, AnsiCodePageFromEnvironmentAndLocale) {
  TScopedEnvironment all("LC_ALL", std::nullopt);
  TScopedEnvironment ctype("LC_CTYPE", std::nullopt);
  {
    TScopedEnvironment ansi("PAGEWICK_ANSI_CODEPAGE", std::string("1251"));
    EXPECT_EQ(AnsiCodePage(), 1251u);
    // An unsupported code page converts in the ANSI code page.
    EXPECT_EQ(TextToBytes(u"Я"_qs, 57002), "\xDF");
    EXPECT_EQ(TextToBytes(u"Я"_qs, 0), "\xDF");
    EXPECT_EQ(BytesToText("\xDF", 0), u"Я"_qs);
  }
  TScopedEnvironment ansi("PAGEWICK_ANSI_CODEPAGE", std::string("not a number"));
  const struct {
    const char* locale;
    unsigned codePage;
  } cases[] = {{"ru_RU.UTF-8", 1251}, {"uk_UA", 1251},      {"pl_PL.UTF-8", 1250},
               {"el_GR", 1253},       {"tr_TR", 1254},      {"he_IL", 1255},
               {"fa_IR", 1256},       {"lv_LV", 1257},      {"vi_VN", 1258},
               {"th_TH", 874},        {"ja_JP.eucJP", 932}, {"zh_CN.UTF-8", 936},
               {"zh_SG", 936},        {"zh_TW.Big5", 950},  {"zh_HK", 950},
               {"ko_KR", 949},        {"de_DE@euro", 1252}, {"C", 1252},
               {"POSIX", 1252},       {"", 1252}};
  for (const auto& c : cases) {
    TScopedEnvironment lang("LANG", std::string(c.locale));
    EXPECT_EQ(AnsiCodePage(), c.codePage) << c.locale;
  }
  // An unsupported setting is ignored too.
  TScopedEnvironment unsupported("PAGEWICK_ANSI_CODEPAGE", std::string("57002"));
  TScopedEnvironment russian("LC_ALL", std::string("ru_RU.UTF-8"));
  EXPECT_EQ(AnsiCodePage(), 1251u);
}

TEST(CodePageTest, ConvertsOnManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      const unsigned codePage = t % 2 ? 1251 : 932;
      const QString text = t % 2 ? kRussian : u"日本語"_qs;
      for (int i = 0; i < 500; ++i) {
        if (BytesToText(TextToBytes(text, codePage), codePage) != text) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace pw::tests
