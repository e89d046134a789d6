#include "platform/Charsets.h"

#include "platform/AsciiCase.h"
#include "platform/CodePage.h"

#include <QString>
#include <unordered_map>

namespace pw {

namespace {

// The names in this order are part of the stored format of pages: never reorder.
const TCharsetRow kRows[] = {
    {37, "ibm037"},          {437, "ibm437"},         {500, "ibm500"},
    {708, "asmo-708"},       {720, "dos-720"},        {737, "ibm737"},
    {775, "ibm775"},         {850, "ibm850"},         {852, "ibm852"},
    {855, "ibm855"},         {857, "ibm857"},         {858, "ibm00858"},
    {860, "ibm860"},         {861, "ibm861"},         {862, "dos-862"},
    {863, "ibm863"},         {864, "ibm864"},         {865, "ibm865"},
    {866, "cp866"},          {869, "ibm869"},         {870, "ibm870"},
    {874, "windows-874"},    {875, "cp875"},          {932, "shift_jis"},
    {936, "gb2312"},         {949, "ks_c_5601-1987"}, {950, "big5"},
    {1026, "ibm1026"},       {1047, "ibm01047"},      {1140, "ibm01140"},
    {1141, "ibm01141"},      {1142, "ibm01142"},      {1143, "ibm01143"},
    {1144, "ibm01144"},      {1145, "ibm01145"},      {1146, "ibm01146"},
    {1147, "ibm01147"},      {1148, "ibm01148"},      {1149, "ibm01149"},
    {1200, "utf-16"},        {1201, "unicodefffe"},   {1250, "windows-1250"},
    {1251, "windows-1251"},  {1252, "windows-1252"},  {1253, "windows-1253"},
    {1254, "windows-1254"},  {1255, "windows-1255"},  {1256, "windows-1256"},
    {1257, "windows-1257"},  {1258, "windows-1258"},  {1361, "johab"},
    {10000, "macintosh"},    {10001, "x-mac-japanese"}, {10002, "x-mac-chinesetrad"},
    {10003, "x-mac-korean"}, {10004, "x-mac-arabic"}, {10005, "x-mac-hebrew"},
    {10006, "x-mac-greek"},  {10007, "x-mac-cyrillic"}, {10008, "x-mac-chinesesimp"},
    {10010, "x-mac-romanian"}, {10017, "x-mac-ukrainian"}, {10021, "x-mac-thai"},
    {10029, "x-mac-ce"},     {10079, "x-mac-icelandic"}, {10081, "x-mac-turkish"},
    {10082, "x-mac-croatian"}, {12000, "utf-32"},     {12001, "utf-32be"},
    {20000, "x-chinese_cns"}, {20001, "x-cp20001"},   {20002, "x_chinese-eten"},
    {20003, "x-cp20003"},    {20004, "x-cp20004"},    {20005, "x-cp20005"},
    {20105, "x-ia5"},        {20106, "x-ia5-german"}, {20107, "x-ia5-swedish"},
    {20108, "x-ia5-norwegian"}, {20127, "us-ascii"},  {20261, "x-cp20261"},
    {20269, "x-cp20269"},    {20273, "ibm273"},       {20277, "ibm277"},
    {20278, "ibm278"},       {20280, "ibm280"},       {20284, "ibm284"},
    {20285, "ibm285"},       {20290, "ibm290"},       {20297, "ibm297"},
    {20420, "ibm420"},       {20423, "ibm423"},       {20424, "ibm424"},
    {20833, "x-ebcdic-koreanextended"}, {20838, "ibm-thai"}, {20866, "koi8-r"},
    {20871, "ibm871"},       {20880, "ibm880"},       {20905, "ibm905"},
    {20924, "ibm00924"},     {20932, "euc-jp"},       {20936, "x-cp20936"},
    {20949, "x-cp20949"},    {21025, "cp1025"},       {21866, "koi8-u"},
    {28591, "iso-8859-1"},   {28592, "iso-8859-2"},   {28593, "iso-8859-3"},
    {28594, "iso-8859-4"},   {28595, "iso-8859-5"},   {28596, "iso-8859-6"},
    {28597, "iso-8859-7"},   {28598, "iso-8859-8"},   {28599, "iso-8859-9"},
    {28603, "iso-8859-13"},  {28605, "iso-8859-15"},  {29001, "x-europa"},
    {38598, "iso-8859-8-i"}, {50220, "iso-2022-jp"},  {50221, "csiso2022jp"},
    {50222, "iso-2022-jp"},  {50225, "iso-2022-kr"},  {50227, "x-cp50227"},
    {51932, "euc-jp"},       {51936, "euc-cn"},       {51949, "euc-kr"},
    {52936, "hz-gb-2312"},   {54936, "gb18030"},      {57002, "x-iscii-de"},
    {57003, "x-iscii-be"},   {57004, "x-iscii-ta"},   {57005, "x-iscii-te"},
    {57006, "x-iscii-as"},   {57007, "x-iscii-or"},   {57008, "x-iscii-ka"},
    {57009, "x-iscii-ma"},   {57010, "x-iscii-gu"},   {57011, "x-iscii-pa"},
    {65000, "utf-7"},        {65001, "utf-8"},
};

const std::unordered_map<std::string, unsigned>& RowIndex() {
  static const auto* index = [] {
    auto* map = new std::unordered_map<std::string, unsigned>;
    for (const TCharsetRow& row : kRows) map->emplace(row.Name, row.CodePage);  // keeps the first
    return map;
  }();
  return *index;
}

}  // namespace

const TCharsetRow* CharsetTable(int* count) {
  if (count) *count = static_cast<int>(sizeof kRows / sizeof kRows[0]);
  return kRows;
}

unsigned CharsetToCodePage(std::string_view charset) {
  const auto& index = RowIndex();
  auto found = index.find(platform::LowerAscii(charset));
  return found == index.end() ? platform::AnsiCodePage() : found->second;
}

std::string EncodeUtf8ForCharset(std::string_view utf8, std::string_view charset) {
  if (platform::EqualsIgnoringAsciiCase(charset, "utf-8")) return std::string(utf8);
  unsigned codePage = CharsetToCodePage(charset);
  if (codePage == platform::kCodePageUtf8) return std::string(utf8);
  return platform::TextToBytes(
      QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())), codePage);
}

}  // namespace pw
