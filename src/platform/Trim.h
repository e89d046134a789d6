// Trimming byte strings: every byte below 0x21 goes at both ends. In UTF-8 these are exactly
// the characters below U+0021 (spaces, tabs, line breaks, other controls); a no-break space
// and other non-ASCII spaces are text. Header-only and stateless.
#pragma once

#include <string_view>

namespace pw::platform {

constexpr bool IsBlankByte(char c) { return static_cast<unsigned char>(c) < 0x21; }

constexpr std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlankByte(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankByte(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace pw::platform
