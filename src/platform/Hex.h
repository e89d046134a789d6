// Hexadecimal text of bytes, as the settings file and the stored credentials write it. Two
// upper-case digits per byte on writing; either case on reading. Stateless functions.
#pragma once

#include <string>
#include <string_view>

namespace pw::platform {

// The value of one hex digit, or -1 for any other character.
constexpr int HexDigitValue(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// Two upper-case digits per byte.
std::string ToHex(std::string_view bytes);

// Bytes of hex text, either case. Whitespace anywhere is skipped (a hand-wrapped value still
// reads); a trailing odd digit is ignored. Any other character makes the whole text invalid:
// false and bytes empty.
bool FromHex(std::string_view hex, std::string& bytes);

// Exactly 2 * size digits and nothing else, into size bytes; false (out untouched) otherwise.
bool FromHexExact(std::u16string_view hex, std::string& bytes);

}  // namespace pw::platform
