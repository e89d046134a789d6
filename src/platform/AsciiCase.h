// ASCII case folding of byte strings (UTF-8 or any ASCII-compatible encoding): only 'A'-'Z'
// change; every other byte, a byte of a multi-byte character included, is left as it is.
// Names of directives, tags, charsets and archive entries compare this way. Header-only and
// stateless, so that every library can use it without linking anything.
#pragma once

#include <string>
#include <string_view>

namespace pw::platform {

constexpr char LowerAsciiChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline void AppendLowerAscii(std::string_view text, std::string& out) {
  for (char c : text) out += LowerAsciiChar(c);
}

inline std::string LowerAscii(std::string_view text) {
  std::string lower;
  lower.reserve(text.size());
  AppendLowerAscii(text, lower);
  return lower;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAsciiChar(a[i]) != LowerAsciiChar(b[i])) return false;
  return true;
}

constexpr bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace pw::platform
