#include "platform/Hex.h"

namespace pw::platform {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 15]);
  }
  return hex;
}

bool FromHex(std::string_view hex, std::string& bytes) {
  bytes.clear();
  int high = -1;
  for (char c : hex) {
    if (IsSpace(c)) continue;
    const int v = HexDigitValue(static_cast<unsigned char>(c));
    if (v < 0) {
      bytes.clear();
      return false;
    }
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<char>((high << 4) | v));
      high = -1;
    }
  }
  return true;
}

bool FromHexExact(std::u16string_view hex, std::string& bytes) {
  if (hex.size() % 2 != 0) return false;
  std::string result(hex.size() / 2, '\0');
  for (size_t i = 0; i < result.size(); ++i) {
    const int high = HexDigitValue(hex[2 * i]), low = HexDigitValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    result[i] = static_cast<char>(high * 16 + low);
  }
  bytes.swap(result);
  return true;
}

}  // namespace pw::platform
