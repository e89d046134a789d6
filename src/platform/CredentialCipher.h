// The cipher that protects the FTP user name and password in project files: Twofish with a
// 128-bit key in 8-bit cipher-feedback mode, with a fixed key and initialisation vector, the
// cipher text written as hexadecimal digits; and the same mode with any key and vector, which
// scripts reach through the security object. Stateless functions; no errors beyond a bool.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pw {

// The 16 bytes of a GUID in its in-memory layout: the 32-, 16- and 16-bit fields little-endian,
// then the last 8 bytes in order.
std::array<std::uint8_t, 16> GuidBytes(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                                       const std::array<std::uint8_t, 8>& data4);

// The fixed key and initialisation vector of the credential cipher.
const std::array<std::uint8_t, 16>& CredentialKey();
const std::array<std::uint8_t, 16>& CredentialIV();

// Twofish in 8-bit cipher-feedback mode with any key Twofish takes (1 to 32 bytes, shorter keys
// padded with zeros as Twofish defines) and the first 16 bytes of the vector. False with an
// empty output for a key or a vector Twofish cannot take. The output is as long as the input.
bool TwofishCfb8(std::string_view key, std::string_view iv, std::string_view input, bool encipher,
                 std::string& output);

// CFB-8 over the fixed key and vector; the output is as long as the input.
std::string EncipherBytes(std::string_view plain);
std::string DecipherBytes(std::string_view cipher);

// The credential as stored: the text in the ANSI code page, enciphered, as hex.
QString EncipherCredential(const QString& text);
// The stored form back to text. Hex text holding a character that is neither a hex digit nor
// whitespace gives an empty credential and false.
bool DecipherCredential(const QString& hex, QString& text);
QString DecipherCredential(const QString& hex);

}  // namespace pw
