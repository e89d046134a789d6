// The charset table: web charset names and the code pages they denote, used to write pages,
// HTTP bodies and string-list files in the encoding their charset names. Stateless.
#pragma once

#include <string>
#include <string_view>

namespace pw {

struct TCharsetRow {
  unsigned CodePage;
  const char* Name;  // lower case
};

// The 140 rows in their fixed order (some names stand twice; the first row wins).
const TCharsetRow* CharsetTable(int* count);

// The code page of a charset name, compared in lower case; a name that is not in the
// table (the empty name included) gives the platform's ANSI code page.
unsigned CharsetToCodePage(std::string_view charset);

// Re-encodes UTF-8 text into the charset's code page. "utf-8" (any case) returns the
// text unchanged; characters the code page lacks become its default character.
std::string EncodeUtf8ForCharset(std::string_view utf8, std::string_view charset);

}  // namespace pw
