#include "platform/CredentialCipher.h"
#include "platform/Hex.h"

#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>
#include <nettle/cfb.h>
#include <nettle/twofish.h>

#include <QByteArray>

#include <random>

namespace pw::tests {
namespace {

class CredentialCipherTest : public ::testing::Test {
 protected:
  TScopedEnvironment FAnsi{"PAGEWICK_ANSI_CODEPAGE", std::string("1252")};
};

std::string Hex(const std::array<std::uint8_t, 16>& bytes) {
  return platform::ToHex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

TEST_F(CredentialCipherTest, KeyAndVectorUseTheInMemoryGuidLayout) {
  EXPECT_EQ(Hex(CredentialKey()), "981E7AC46D2B304F8E5A61D9B3C7F024");
  EXPECT_EQ(Hex(CredentialIV()), "215C9E3B047D6F4A9C128E7F0A4B6D53");
}

TEST_F(CredentialCipherTest, MatchesAnIndependentCfb8) {
  const std::string plain = "ftp-user@example.org with a long password: 0123456789abcdef!";
  twofish_ctx ctx;
  twofish128_set_key(&ctx, CredentialKey().data());
  std::array<std::uint8_t, 16> iv = CredentialIV();
  std::string expected(plain.size(), '\0');
  cfb8_encrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(twofish_encrypt), 16, iv.data(), plain.size(),
               reinterpret_cast<std::uint8_t*>(expected.data()), reinterpret_cast<const std::uint8_t*>(plain.data()));
  EXPECT_EQ(EncipherBytes(plain), expected);
  EXPECT_EQ(DecipherBytes(expected), plain);
}

TEST_F(CredentialCipherTest, EveryLengthUpTo255RoundTripsWithHexTwiceAsLong) {
  std::mt19937 random(42);
  // Characters that code page 1252 holds one byte each.
  std::uniform_int_distribution<int> pick(0x20, 0xFF);
  for (int length = 0; length <= 255; ++length) {
    QString text;
    while (text.size() < length) {
      const int c = pick(random);
      if (c >= 0x7F && c < 0xA0) continue;
      text.append(QChar(c));
    }
    const QString hex = EncipherCredential(text);
    ASSERT_EQ(hex.size(), 2 * length) << length;
    QString back;
    ASSERT_TRUE(DecipherCredential(hex, back));
    ASSERT_EQ(back, text) << length;
  }
}

TEST_F(CredentialCipherTest, HexReadsEitherCaseSkipsWhitespaceAndIgnoresATrailingOddDigit) {
  const QString hex = EncipherCredential(QStringLiteral("secret"));
  EXPECT_EQ(DecipherCredential(hex.toLower()), QStringLiteral("secret"));
  EXPECT_EQ(DecipherCredential(hex + u'A'), QStringLiteral("secret"));
  EXPECT_EQ(DecipherCredential(QStringLiteral("A")), QString());
  EXPECT_EQ(DecipherCredential(u"  "_qs + hex.left(4) + u" \r\n\t"_qs + hex.mid(4) + u"\n"_qs), QStringLiteral("secret"));
  EXPECT_EQ(EncipherCredential(QString()), QString());
  QString text = QStringLiteral("old");
  EXPECT_TRUE(DecipherCredential(QString(), text));
  EXPECT_TRUE(text.isEmpty());
}

TEST_F(CredentialCipherTest, OtherCharactersMakeTheWholeValueUnreadable) {
  const QString hex = EncipherCredential(QStringLiteral("secret"));
  for (const QString& bad : {hex + u'G', u'x' + hex, hex.left(4) + u'-' + hex.mid(4), hex + QChar(0x0416)}) {
    QString text = QStringLiteral("old");
    EXPECT_FALSE(DecipherCredential(bad, text)) << bad.toStdString();
    EXPECT_TRUE(text.isEmpty());
  }
  std::string bytes = "old";
  EXPECT_FALSE(platform::FromHex("0g", bytes));
  EXPECT_TRUE(bytes.empty());
}

}  // namespace
}  // namespace pw::tests
