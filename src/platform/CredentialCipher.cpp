#include "platform/CredentialCipher.h"

#include "platform/CodePage.h"
#include "platform/Hex.h"

#include <nettle/twofish.h>

#include <algorithm>

namespace pw {
namespace {

std::string Cfb8(std::string_view input, bool encipher) {
  std::string output;
  const auto& key = CredentialKey();
  const auto& iv = CredentialIV();
  TwofishCfb8(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()),
              std::string_view(reinterpret_cast<const char*>(iv.data()), iv.size()), input, encipher, output);
  return output;
}

}  // namespace

std::array<std::uint8_t, 16> GuidBytes(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                                       const std::array<std::uint8_t, 8>& data4) {
  std::array<std::uint8_t, 16> b{};
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) b[4 + i] = static_cast<std::uint8_t>(data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) b[6 + i] = static_cast<std::uint8_t>(data3 >> (8 * i));
  for (int i = 0; i < 8; ++i) b[8 + i] = data4[i];
  return b;
}

const std::array<std::uint8_t, 16>& CredentialKey() {
  // {C47A1E98-2B6D-4F30-8E5A-61D9B3C7F024}
  static const auto key = GuidBytes(0xC47A1E98, 0x2B6D, 0x4F30, {0x8E, 0x5A, 0x61, 0xD9, 0xB3, 0xC7, 0xF0, 0x24});
  return key;
}

const std::array<std::uint8_t, 16>& CredentialIV() {
  // {3B9E5C21-7D04-4A6F-9C12-8E7F0A4B6D53}
  static const auto iv = GuidBytes(0x3B9E5C21, 0x7D04, 0x4A6F, {0x9C, 0x12, 0x8E, 0x7F, 0x0A, 0x4B, 0x6D, 0x53});
  return iv;
}

bool TwofishCfb8(std::string_view key, std::string_view iv, std::string_view input, bool encipher,
                 std::string& output) {
  output.clear();
  if (key.empty() || key.size() > TWOFISH_MAX_KEY_SIZE || iv.size() < TWOFISH_BLOCK_SIZE) return false;
  twofish_ctx ctx;
  twofish_set_key(&ctx, key.size(), reinterpret_cast<const std::uint8_t*>(key.data()));
  std::array<std::uint8_t, TWOFISH_BLOCK_SIZE> reg{};
  std::copy_n(iv.begin(), reg.size(), reinterpret_cast<char*>(reg.data()));
  std::array<std::uint8_t, TWOFISH_BLOCK_SIZE> block{};
  output.assign(input.size(), '\0');
  for (size_t i = 0; i < input.size(); ++i) {
    twofish_encrypt(&ctx, block.size(), block.data(), reg.data());
    const auto in = static_cast<std::uint8_t>(input[i]);
    const auto out = static_cast<std::uint8_t>(block[0] ^ in);
    output[i] = static_cast<char>(out);
    // The register takes the cipher-text byte: the output when enciphering, the input when
    // deciphering.
    for (size_t k = 0; k + 1 < reg.size(); ++k) reg[k] = reg[k + 1];
    reg.back() = encipher ? out : in;
  }
  return true;
}

std::string EncipherBytes(std::string_view plain) { return Cfb8(plain, true); }
std::string DecipherBytes(std::string_view cipher) { return Cfb8(cipher, false); }

QString EncipherCredential(const QString& text) {
  if (text.isEmpty()) return QString();
  const std::string plain = platform::TextToBytes(text, platform::AnsiCodePage());
  return QString::fromLatin1(platform::ToHex(EncipherBytes(plain)));
}

bool DecipherCredential(const QString& hex, QString& text) {
  text.clear();
  std::string cipher;
  if (!platform::FromHex(hex.toUtf8().toStdString(), cipher)) return false;
  if (cipher.empty()) return true;
  text = platform::BytesToText(DecipherBytes(cipher), platform::AnsiCodePage());
  return true;
}

QString DecipherCredential(const QString& hex) {
  QString text;
  DecipherCredential(hex, text);
  return text;
}

}  // namespace pw
