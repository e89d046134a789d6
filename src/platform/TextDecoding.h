// Decoding the bytes of a text file that does not declare its encoding (a plain-text project,
// the settings file): a byte-order mark decides (UTF-8, or UTF-16 in either byte order);
// without one, valid UTF-8 is read as UTF-8 and anything else in the ANSI code page, so that
// a file saved by a legacy editor still reads sensibly. Stateless; safe from any thread.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace pw::platform {

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The text of the bytes, decoded as described above; the mark itself is dropped.
QString DecodeUnmarkedText(std::string_view bytes);
// The same text as UTF-8; bytes that are already UTF-8 are returned as they are.
std::string DecodeUnmarkedTextToUtf8(std::string_view bytes);

}  // namespace pw::platform
