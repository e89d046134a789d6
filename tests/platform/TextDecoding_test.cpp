#include "platform/TextDecoding.h"

#include "support/QStringPrinter.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

using namespace std::string_literals;

TEST(TextDecodingTest, MarkDecidesElseUtf8ElseAnsi) {
  TScopedEnvironment ansi("PAGEWICK_ANSI_CODEPAGE", std::string("1252"));
  const struct {
    std::string Bytes;
    QString Text;
  } cases[] = {
      {"plain", u"plain"_qs},
      {"\xEF\xBB\xBF" "caf\xC3\xA9", u"café"_qs},
      {"\xFF\xFE" "c\0a\0f\0\xE9\0"s, u"café"_qs},
      {"\xFE\xFF" "\0c\0a\0f\0\xE9"s, u"café"_qs},
      {"caf\xE9", u"café"_qs},              // not UTF-8: the ANSI code page
      {"\xC0\xAF", u"À¯"_qs},               // an overlong form is not UTF-8
      {"\xED\xA0\x80", u"í\u00A0€"_qs},     // nor is a surrogate
      {"", u""_qs},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::DecodeUnmarkedText(c.Bytes), c.Text) << c.Bytes;
    EXPECT_EQ(platform::DecodeUnmarkedTextToUtf8(c.Bytes), c.Text.toStdString()) << c.Bytes;
  }
}

}  // namespace
}  // namespace pw::tests
