#include "platform/CodePage.h"

#include <QList>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace pw::platform {

namespace {

struct CodePageName {
  unsigned codePage;
  const char* iconvName;
};

// Windows code-page identifiers and the glibc converter that implements each. Every code
// page that a web charset name can select is listed when glibc has a converter for it;
// missing (no glibc converter): 720, the Mac code pages 10001-10006, 10008, 10010, 10021,
// 10081, 10082, 20000-20005, 20105, 20833, 20838, 20924, 29001, 52936 and ISCII 57002-57011.
constexpr CodePageName kCodePages[] = {
    {37, "IBM037"},           {437, "IBM437"},         {500, "IBM500"},
    {708, "ASMO-708"},        {737, "CP737"},          {775, "CP775"},
    {850, "IBM850"},          {852, "IBM852"},         {855, "IBM855"},
    {857, "IBM857"},          {858, "IBM858"},         {860, "IBM860"},
    {861, "IBM861"},          {862, "IBM862"},         {863, "IBM863"},
    {864, "IBM864"},          {865, "IBM865"},         {866, "IBM866"},
    {869, "IBM869"},          {870, "IBM870"},         {874, "WINDOWS-874"},
    {875, "IBM875"},          {932, "CP932"},          {936, "CP936"},
    {949, "CP949"},           {950, "CP950"},          {1026, "IBM1026"},
    {1047, "IBM1047"},        {1140, "IBM1140"},       {1141, "IBM1141"},
    {1142, "IBM1142"},        {1143, "IBM1143"},       {1144, "IBM1144"},
    {1145, "IBM1145"},        {1146, "IBM1146"},       {1147, "IBM1147"},
    {1148, "IBM1148"},        {1149, "IBM1149"},       {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},       {1250, "CP1250"},        {1251, "CP1251"},
    {1252, "CP1252"},         {1253, "CP1253"},        {1254, "CP1254"},
    {1255, "CP1255"},         {1256, "CP1256"},        {1257, "CP1257"},
    {1258, "CP1258"},         {1361, "JOHAB"},         {10000, "MACINTOSH"},
    {10007, "CP10007"},       {10017, "MAC-UK"},       {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},        {12000, "UTF-32LE"},     {12001, "UTF-32BE"},
    {20106, "ISO646-DE"},     {20107, "ISO646-SE"},    {20108, "ISO646-NO"},
    {20127, "ASCII"},         {20261, "T.61-8BIT"},    {20269, "ISO_6937"},
    {20273, "IBM273"},        {20277, "IBM277"},       {20278, "IBM278"},
    {20280, "IBM280"},        {20284, "IBM284"},       {20285, "IBM285"},
    {20290, "IBM290"},        {20297, "IBM297"},       {20420, "IBM420"},
    {20423, "IBM423"},        {20424, "IBM424"},       {20866, "KOI8-R"},
    {20871, "IBM871"},        {20880, "IBM880"},       {20905, "IBM905"},
    {20932, "EUC-JP"},        {20936, "GB2312"},       {20949, "EUC-KR"},
    {21025, "IBM1025"},       {21866, "KOI8-U"},       {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},    {28593, "ISO-8859-3"},   {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},    {28596, "ISO-8859-6"},   {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},    {28599, "ISO-8859-9"},   {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},   {38598, "ISO-8859-8"},   {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},   {50222, "ISO-2022-JP"},  {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"},   {51932, "EUC-JP"},       {51936, "EUC-CN"},
    {51949, "EUC-KR"},        {54936, "GB18030"},      {65000, "UTF-7"},
    {65001, "UTF-8"},
};

constexpr unsigned kCodePageUtf16Be = 1201;
constexpr unsigned kFallbackAnsiCodePage = 1252;

// glibc's own character form (UCS-4 in host order). Converting between it and a code page
// takes one conversion step; through UTF-16 it takes two, and then every unconvertible
// character makes glibc redo a whole buffer of the first step.
constexpr const char* kIconvInternal = "WCHAR_T";
static_assert(sizeof(wchar_t) == 4, "WCHAR_T must be UCS-4");

const char* IconvName(unsigned codePage) {
  for (const CodePageName& entry : kCodePages) {
    if (entry.codePage == codePage) return entry.iconvName;
  }
  return nullptr;
}

const iconv_t kInvalidDescriptor = reinterpret_cast<iconv_t>(-1);

// Open descriptors of one thread: iconv state is not shareable between threads, and
// opening a converter costs far more than converting a page, so each thread keeps its own.
class DescriptorCache {
 public:
  ~DescriptorCache() {
    for (auto& [key, descriptor] : FDescriptors) {
      if (descriptor != kInvalidDescriptor) iconv_close(descriptor);
    }
  }

  // A descriptor reset to its initial state, or kInvalidDescriptor.
  iconv_t Get(unsigned codePage, bool toText) {
    const unsigned long long key = (static_cast<unsigned long long>(codePage) << 1) | toText;
    auto found = FDescriptors.find(key);
    if (found == FDescriptors.end()) {
      const char* name = IconvName(codePage);
      iconv_t descriptor = kInvalidDescriptor;
      if (name) descriptor = toText ? iconv_open(kIconvInternal, name) : iconv_open(name, kIconvInternal);
      found = FDescriptors.emplace(key, descriptor).first;
    }
    if (found->second != kInvalidDescriptor) iconv(found->second, nullptr, nullptr, nullptr, nullptr);
    return found->second;
  }

 private:
  std::unordered_map<unsigned long long, iconv_t> FDescriptors;
};

DescriptorCache& ThreadDescriptors() {
  thread_local DescriptorCache cache;
  return cache;
}

// Windows' single-byte code pages pass their unassigned bytes in 0x80-0x9F through as the C1
// controls U+0080-U+009F, both ways, so no byte is lost; glibc rejects those bytes.
bool PassesC1Through(unsigned codePage) {
  return codePage == 874 || (codePage >= 1250 && codePage <= 1258);
}

bool IsUnassignedByte(unsigned codePage, unsigned char byte) {
  iconv_t descriptor = ThreadDescriptors().Get(codePage, true);
  if (descriptor == kInvalidDescriptor) return false;
  char* in = reinterpret_cast<char*>(&byte);
  size_t inLeft = 1;
  char32_t character[2];
  char* out = reinterpret_cast<char*>(character);
  size_t outLeft = sizeof character;
  const bool unassigned = iconv(descriptor, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) &&
                          errno == EILSEQ;
  iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
  return unassigned;
}

bool OpensBothWays(unsigned codePage) {
  DescriptorCache& cache = ThreadDescriptors();
  return cache.Get(codePage, true) != kInvalidDescriptor &&
         cache.Get(codePage, false) != kInvalidDescriptor;
}

unsigned ParseCodePage(const QString& text) {
  bool ok = false;
  const unsigned value = text.trimmed().toUInt(&ok);
  return ok ? value : 0;
}

// The language part ("ru") and territory part ("RU") of a POSIX locale name such as
// "ru_RU.UTF-8@euro".
void SplitLocale(const QString& locale, QString& language, QString& territory) {
  QString name = locale.section(u'.', 0, 0).section(u'@', 0, 0);
  language = name.section(u'_', 0, 0).toLower();
  territory = name.section(u'_', 1, 1).toUpper();
}

unsigned CodePageForLocale(const QString& locale) {
  QString language, territory;
  SplitLocale(locale, language, territory);
  struct LanguageCodePage {
    const char* language;
    unsigned codePage;
  };
  static constexpr LanguageCodePage kLanguages[] = {
      {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"sr", 1251}, {"mk", 1251},
      {"cs", 1250}, {"pl", 1250}, {"hu", 1250}, {"sk", 1250}, {"sl", 1250}, {"hr", 1250},
      {"ro", 1250}, {"el", 1253}, {"tr", 1254}, {"he", 1255}, {"ar", 1256}, {"fa", 1256},
      {"ur", 1256}, {"lt", 1257}, {"lv", 1257}, {"et", 1257}, {"vi", 1258}, {"th", 874},
      {"ja", 932},  {"ko", 949},
  };
  if (language == u"zh") {
    return (territory == u"TW" || territory == u"HK" || territory == u"MO") ? 950 : 936;
  }
  for (const LanguageCodePage& entry : kLanguages) {
    if (language == QLatin1String(entry.language)) return entry.codePage;
  }
  return kFallbackAnsiCodePage;
}

QString LocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty()) return value;
  }
  return QString();
}

// The code page conversions use: 0 and unsupported code pages fall back to the ANSI one.
unsigned EffectiveCodePage(unsigned codePage) {
  if (codePage != 0 && IsCodePageSupported(codePage)) return codePage;
  const unsigned ansi = AnsiCodePage();
  return IsCodePageSupported(ansi) ? ansi : kFallbackAnsiCodePage;
}

QString Utf16FromBytes(std::string_view bytes, bool bigEndian) {
  const size_t units = bytes.size() / 2;
  QString text(static_cast<qsizetype>(units + bytes.size() % 2), Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(text.data());
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t i = 0; i < units; ++i) {
    const unsigned first = in[2 * i], second = in[2 * i + 1];
    out[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  if (bytes.size() % 2) out[units] = u'\xFFFD';  // a lone trailing byte is no character
  return text;
}

std::string Utf16ToBytes(const QString& text, bool bigEndian) {
  std::string bytes(static_cast<size_t>(text.size()) * 2, '\0');
  const char16_t* in = reinterpret_cast<const char16_t*>(text.utf16());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char high = static_cast<char>(in[i] >> 8), low = static_cast<char>(in[i] & 0xFF);
    bytes[2 * i] = bigEndian ? high : low;
    bytes[2 * i + 1] = bigEndian ? low : high;
  }
  return bytes;
}

// QString::fromUcs4 goes through a general decoder and costs more than the conversion itself.
QString Utf16FromUcs4(const std::u32string& characters) {
  size_t units = characters.size();
  for (char32_t c : characters) units += c > 0xFFFF && c <= 0x10FFFF;
  QString text(static_cast<qsizetype>(units), Qt::Uninitialized);
  char16_t* out = reinterpret_cast<char16_t*>(text.data());
  for (char32_t c : characters) {
    if (c <= 0xFFFF) {
      *out++ = static_cast<char16_t>(c);
    } else if (c <= 0x10FFFF) {
      c -= 0x10000;
      *out++ = static_cast<char16_t>(0xD800 + (c >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      *out++ = u'\xFFFD';  // beyond Unicode; glibc never produces it
    }
  }
  return text;
}

// Runs iconv over the whole input into out (std::string for bytes, std::u32string for
// characters), starting with room for initialBytes. onInvalid is called with the remaining
// input when the converter meets a sequence it cannot convert; it appends the bytes that
// replace the sequence to its second argument and returns how many input bytes to skip.
template <typename Buffer, typename OnInvalid>
void RunIconv(iconv_t descriptor, const char* input, size_t inputSize, size_t initialBytes,
              Buffer& out, OnInvalid onInvalid) {
  using Unit = typename Buffer::value_type;
  const auto bytesOf = [&out] { return out.size() * sizeof(Unit); };
  const auto growTo = [&out](size_t bytes) { out.resize((bytes + sizeof(Unit) - 1) / sizeof(Unit)); };
  char* in = const_cast<char*>(input);
  size_t inLeft = inputSize;
  size_t used = 0;  // bytes of out filled so far
  growTo(std::max<size_t>(initialBytes, 64));
  std::string replacement;
  bool flushing = false;
  for (;;) {
    char* base = reinterpret_cast<char*>(out.data());
    char* outPtr = base + used;
    size_t outLeft = bytesOf() - used;
    const size_t result =
        flushing ? iconv(descriptor, nullptr, nullptr, &outPtr, &outLeft)
                 : iconv(descriptor, &in, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    used = static_cast<size_t>(outPtr - base);
    if (result != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = true;  // write the shift sequence that returns to the initial state
      continue;
    }
    if (error == E2BIG) {
      growTo(bytesOf() * 2);
      continue;
    }
    if ((error != EILSEQ && error != EINVAL) || inLeft == 0) break;
    replacement.clear();
    const size_t skip = std::min(onInvalid(std::string_view(in, inLeft), replacement), inLeft);
    if (bytesOf() - used < replacement.size()) growTo(bytesOf() * 2 + replacement.size());
    std::memcpy(reinterpret_cast<char*>(out.data()) + used, replacement.data(), replacement.size());
    used += replacement.size();
    if (skip == 0) break;
    in += skip;
    inLeft -= skip;
  }
  out.resize(used / sizeof(Unit));
}

}  // namespace

unsigned AnsiCodePage() {
  const unsigned configured = ParseCodePage(qEnvironmentVariable("PAGEWICK_ANSI_CODEPAGE"));
  if (configured != 0 && IsCodePageSupported(configured)) return configured;
  return CodePageForLocale(LocaleName());
}

bool IsCodePageSupported(unsigned codePage) {
  if (codePage == kCodePageUtf8 || codePage == kCodePageUtf16 || codePage == kCodePageUtf16Be) {
    return true;
  }
  if (!IconvName(codePage)) return false;
  return OpensBothWays(codePage);
}

std::vector<unsigned> SupportedCodePages() {
  std::vector<unsigned> codePages;
  for (const CodePageName& entry : kCodePages) {
    if (IsCodePageSupported(entry.codePage)) codePages.push_back(entry.codePage);
  }
  std::sort(codePages.begin(), codePages.end());
  codePages.erase(std::unique(codePages.begin(), codePages.end()), codePages.end());
  return codePages;
}

QString BytesToText(std::string_view bytes, unsigned codePage) {
  if (bytes.empty()) return QString();
  codePage = EffectiveCodePage(codePage);
  if (codePage == kCodePageUtf8) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  if (codePage == kCodePageUtf16) return Utf16FromBytes(bytes, false);
  if (codePage == kCodePageUtf16Be) return Utf16FromBytes(bytes, true);

  iconv_t descriptor = ThreadDescriptors().Get(codePage, true);
  if (descriptor == kInvalidDescriptor) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  // No code page yields more than one character per byte.
  std::u32string characters;
  RunIconv(descriptor, bytes.data(), bytes.size(), bytes.size() * sizeof(char32_t) + 16,
           characters, [codePage](std::string_view rest, std::string& replacement) -> size_t {
             const auto byte = static_cast<unsigned char>(rest.front());
             char32_t character = U'\xFFFD';
             if (PassesC1Through(codePage) && byte >= 0x80 && byte <= 0x9F) character = byte;
             replacement.append(reinterpret_cast<const char*>(&character), sizeof character);
             return 1;  // skip one byte and resynchronise on the next
           });
  return Utf16FromUcs4(characters);
}

std::string TextToBytes(const QString& text, unsigned codePage) {
  if (text.isEmpty()) return std::string();
  codePage = EffectiveCodePage(codePage);
  if (codePage == kCodePageUtf8) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
  }
  if (codePage == kCodePageUtf16) return Utf16ToBytes(text, false);
  if (codePage == kCodePageUtf16Be) return Utf16ToBytes(text, true);

  iconv_t descriptor = ThreadDescriptors().Get(codePage, false);
  if (descriptor == kInvalidDescriptor) {
    const QByteArray latin1 = text.toLatin1();
    return std::string(latin1.constData(), static_cast<size_t>(latin1.size()));
  }
  // Invalid UTF-16 (a lone surrogate) becomes U+FFFD here, which the code page then lacks.
  const QList<uint> characters = text.toUcs4();
  std::string bytes;
  RunIconv(descriptor, reinterpret_cast<const char*>(characters.constData()),
           static_cast<size_t>(characters.size()) * sizeof(uint),
           static_cast<size_t>(characters.size()) * 2 + 16, bytes,
           [descriptor, codePage](std::string_view rest, std::string& replacement) -> size_t {
             uint character = 0;
             std::memcpy(&character, rest.data(), std::min(rest.size(), sizeof character));
             if (PassesC1Through(codePage) && character >= 0x80 && character <= 0x9F &&
                 IsUnassignedByte(codePage, static_cast<unsigned char>(character))) {
               replacement.push_back(static_cast<char>(character));
               return sizeof(uint);
             }
             // The code page's default character, encoded by the same converter so that
             // EBCDIC and shift-state code pages get their own form of '?'.
             wchar_t questionMark = L'?';
             char* in = reinterpret_cast<char*>(&questionMark);
             size_t inLeft = sizeof questionMark;
             char buffer[16];
             char* outPtr = buffer;
             size_t outLeft = sizeof buffer;
             if (iconv(descriptor, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
               replacement.push_back('?');
             } else {
               replacement.append(buffer, static_cast<size_t>(outPtr - buffer));
             }
             return sizeof(uint);  // one character, whether or not UTF-16 needed a pair for it
           });
  return bytes;
}

}  // namespace pw::platform
