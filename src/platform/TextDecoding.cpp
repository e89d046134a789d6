#include "platform/TextDecoding.h"

#include "platform/CodePage.h"

#include <utility>

namespace pw::platform {

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra;
    unsigned min;
    unsigned cp;
    if ((c & 0xE0) == 0xC0) {
      extra = 1, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= n) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

std::string DecodeUnmarkedTextToUtf8(std::string_view bytes) {
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  else if (starts("\xFF\xFE"))
    return BytesToText(bytes.substr(2), kCodePageUtf16).toStdString();
  else if (starts("\xFE\xFF")) {
    // Big-endian UTF-16: swap into the little-endian form the code-page layer reads.
    std::string swapped(bytes.substr(2));
    for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return BytesToText(swapped, kCodePageUtf16).toStdString();
  }
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return BytesToText(bytes, 0).toStdString();
}

QString DecodeUnmarkedText(std::string_view bytes) {
  const std::string utf8 = DecodeUnmarkedTextToUtf8(bytes);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace pw::platform
