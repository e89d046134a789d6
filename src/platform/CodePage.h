// Stand-in for the Windows code pages: the "system ANSI code page" and conversions between
// UTF-16 text and code-page bytes (the roles of MultiByteToWideChar / WideCharToMultiByte).
// Every function may be called from any thread; converters are opened once per thread.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace pw::platform {

constexpr unsigned kCodePageUtf7 = 65000;
constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageUtf16 = 1200;

// The ANSI code page: PAGEWICK_ANSI_CODEPAGE when set to a number, else chosen from the
// locale's language (ru/uk/be/bg/sr/mk → 1251, cs/pl/hu/sk/sl/hr/ro → 1250, el → 1253,
// tr → 1254, he → 1255, ar/fa/ur → 1256, lt/lv/et → 1257, vi → 1258, th → 874, ja → 932,
// zh_CN/zh_SG → 936, ko → 949, zh_TW/zh_HK → 950, otherwise 1252).
unsigned AnsiCodePage();

// True when this machine can convert from and to the code page.
bool IsCodePageSupported(unsigned codePage);

// Every code page IsCodePageSupported accepts, in ascending order.
std::vector<unsigned> SupportedCodePages();

// Decodes bytes in the code page (0 = the ANSI code page). Bytes that are invalid in it
// become U+FFFD; an unsupported code page decodes as the ANSI code page. As on Windows, the
// unassigned bytes 0x80-0x9F of the windows-125x and 874 code pages pass through as the C1
// controls U+0080-U+009F (and are encoded back to the same bytes).
QString BytesToText(std::string_view bytes, unsigned codePage);

// Encodes text into the code page (0 = the ANSI code page). Characters that the code page
// lacks become its default character ('?'), except for UTF-7/8/16, which lose nothing.
std::string TextToBytes(const QString& text, unsigned codePage);

}  // namespace pw::platform
