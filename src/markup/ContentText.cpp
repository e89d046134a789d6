#include "markup/ContentText.h"
#include "platform/AsciiCase.h"
#include "platform/Trim.h"

#include <algorithm>

#include <cstring>

namespace pw::content {
namespace {


}  // namespace

TLineKind ClassifyLine(std::string_view line) {
  if (line.empty()) return TLineKind::Body;
  switch (line.front()) {
    case ';': return TLineKind::Comment;
    case '[': return TLineKind::Header;
    case '\\': return TLineKind::Escaped;
    case '$': return TLineKind::Directive;
    default: return TLineKind::Body;
  }
}

bool NextLine(std::string_view text, size_t& pos, std::string_view& line) {
  if (pos >= text.size()) return false;
  // memchr scans a word at a time (find_first_of would call it on its two-byte set for every
  // byte). Windows that double keep a text broken only by the other character from being
  // scanned to its end at every line.
  const char* start = text.data() + pos;
  const size_t rest = text.size() - pos;
  size_t length = rest;
  for (size_t scanned = 0, window = 128; scanned < rest; scanned += window, window *= 2) {
    const char* part = start + scanned;
    const size_t size = std::min(window, rest - scanned);
    const void* lf = std::memchr(part, '\n', size);
    const size_t limit = lf ? static_cast<size_t>(static_cast<const char*>(lf) - part) : size;
    if (const void* cr = std::memchr(part, '\r', limit)) {
      length = scanned + static_cast<size_t>(static_cast<const char*>(cr) - part);
      break;
    }
    if (lf) {
      length = scanned + limit;
      break;
    }
  }
  size_t end = pos + length;
  line = text.substr(pos, end - pos);
  pos = end;
  if (pos < text.size() && text[pos++] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  std::string_view line;
  while (NextLine(text, pos, line)) lines.push_back(line);
  // The editor counts one more, empty, line after a final break, and one in an empty text.
  if (text.empty() || text.back() == '\r' || text.back() == '\n') lines.emplace_back();
  return lines;
}

std::string_view HeaderName(std::string_view line) {
  if (line.empty() || line.front() != '[') return {};
  std::string_view rest = line.substr(1);
  const size_t close = rest.find(']');
  if (close == std::string_view::npos) return platform::TrimBlanks(rest);
  return rest.substr(0, close);
}

bool IsDirectiveNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.' || c >= 0x80;
}

TDirective ParseDirective(std::string_view line) {
  if (line.empty() || line.front() != '$') return {};
  std::string_view rest = line.substr(1);
  size_t n = 0;
  while (n < rest.size() && IsDirectiveNameByte(static_cast<unsigned char>(rest[n]))) ++n;
  if (n == 0 || n >= rest.size() || rest[n] != ' ') return {rest, {}};
  return {rest.substr(0, n), rest.substr(n + 1)};
}

bool IsListedHeader(std::string_view trimmedLine) {
  return trimmedLine.size() > 2 && trimmedLine.front() == '[' && trimmedLine.back() == ']';
}

bool IsUsesLine(std::string_view line) { return platform::StartsWithIgnoringAsciiCase(line, "$uses "); }

std::vector<std::string> ParseUses(std::string_view value) {
  std::vector<std::string> units;
  size_t i = 0;
  const size_t n = value.size();
  while (i < n) {
    while (i < n && (value[i] == ' ' || value[i] == '\t')) ++i;
    if (i >= n) break;
    std::string_view entry;
    if (value[i] == '"' || value[i] == '\'') {
      const char quote = value[i++];
      const size_t close = value.find(quote, i);
      const size_t end = close == std::string_view::npos ? n : close;
      entry = value.substr(i, end - i);
      i = close == std::string_view::npos ? n : close + 1;
      // Anything between the closing quote and the next comma is not part of the entry.
      const size_t comma = value.find(',', i);
      i = comma == std::string_view::npos ? n : comma + 1;
    } else {
      const size_t comma = value.find(',', i);
      const size_t end = comma == std::string_view::npos ? n : comma;
      entry = value.substr(i, end - i);
      while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t')) entry.remove_suffix(1);
      i = comma == std::string_view::npos ? n : comma + 1;
    }
    if (!entry.empty()) units.emplace_back(entry);
  }
  return units;
}

std::string UsesIncludes(std::string_view value) {
  std::string script;
  for (const std::string& unit : ParseUses(value)) {
    script += "#include ";
    script += unit;
    script += '\n';
  }
  return script;
}

std::string UsesIncludesOfText(std::string_view text) {
  // A $uses line starts with '$' after blanks: jumping from one '$' to the next passes over the
  // lines of a large text without looking at each one.
  auto isBreak = [](char c) { return c == '\n' || c == '\r'; };
  std::string script;
  for (size_t at = text.find('$'); at != std::string_view::npos; at = text.find('$', at + 1)) {
    if (!platform::StartsWithIgnoringAsciiCase(text.substr(at), "$uses")) continue;
    size_t start = at;
    while (start > 0 && platform::IsBlankByte(text[start - 1]) && !isBreak(text[start - 1])) --start;
    if (start > 0 && !isBreak(text[start - 1])) continue;
    size_t end = at;
    while (end < text.size() && !isBreak(text[end])) ++end;
    const std::string_view line = platform::TrimBlanks(text.substr(start, end - start));
    if (IsUsesLine(line)) script += UsesIncludes(line.substr(6));
    at = end - 1;
  }
  return script;
}

TPageScan ScanPages(std::string_view text, std::string_view projectCaption) {
  TPageScan scan;
  scan.Entries.push_back({std::string(projectCaption), 0, piProject});
  const std::vector<std::string_view> lines = SplitLines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = platform::TrimBlanks(lines[i]);
    if (IsListedHeader(line)) {
      const std::string_view name = line.substr(1, line.size() - 2);
      const TPageIcon icon = name.find('.') != std::string_view::npos ? piFile : piFragment;
      scan.Entries.push_back({std::string(name), static_cast<int>(i) + 1, icon});
    } else if (IsUsesLine(line)) {
      scan.UsedUnits = std::string(platform::TrimBlanks(line.substr(6)));
    } else if (platform::StartsWithIgnoringAsciiCase(line, "$title ")) {
      const std::string_view title = platform::TrimBlanks(line.substr(7));
      TPageEntry& last = scan.Entries.back();
      last.Caption += " (";
      last.Caption += title;
      last.Caption += ')';
      if (scan.Entries.size() == 1) {
        scan.ProjectTitle = std::string(title);
        scan.HasProjectTitle = true;
      }
    }
  }
  return scan;
}

std::string CurrentPageName(std::string_view text, int caretLine) {
  const std::vector<std::string_view> lines = SplitLines(text);
  if (lines.empty() || caretLine < 0) return {};
  int i = std::min<int>(caretLine, static_cast<int>(lines.size()) - 1);
  for (; i >= 0; --i) {
    const std::string_view line = platform::TrimBlanks(lines[i]);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      const std::string_view name = line.substr(1, line.size() - 2);
      return name.find('.') != std::string_view::npos ? std::string(name) : std::string();
    }
  }
  return {};
}

int SectionEndLine(const std::vector<std::string_view>& lines, int headerLine) {
  const int count = static_cast<int>(lines.size());
  for (int i = headerLine + 1; i < count; ++i) {
    if (IsListedHeader(platform::TrimBlanks(lines[i]))) return i;
  }
  return count;
}

}  // namespace pw::content
