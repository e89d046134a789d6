#include "markup/Scanning.h"

#include <cstring>

namespace pw {

bool FindGroup(std::string_view text, size_t from, std::string_view marker, char open, char close,
               TGroup& group) {
  const size_t n = text.size();
  const size_t m = marker.size();
  size_t pos = from;
  for (;;) {
    // Look for the open byte, then check that the marker directly precedes it.
    if (pos + m >= n) return false;
    const void* hit = std::memchr(text.data() + pos + m, open, n - pos - m);
    if (!hit) return false;
    size_t openAt = static_cast<const char*>(hit) - text.data();
    if (text.compare(openAt - m, m, marker) == 0) {
      pos = openAt - m;
      break;
    }
    pos = openAt + 1 - m;
  }
  int depth = 1;
  size_t i = pos + m + 1;
  for (; i < n; ++i) {
    if (text[i] == close) {
      if (--depth == 0) break;
    } else if (text[i] == open) {
      ++depth;
    }
  }
  if (depth != 0) return false;
  group.Marker = pos;
  group.Content = text.substr(pos + m + 1, i - pos - m - 1);
  group.After = i + 1;
  return true;
}

bool ReadWord(std::string_view text, size_t& pos, const TCharSet& word, std::string_view enders,
              bool endIsEnder, std::string_view& result) {
  size_t i = pos;
  while (i < text.size() && word.Contains(text[i])) ++i;
  if (i == pos) return false;
  if (i == text.size()) {
    if (!endIsEnder) return false;
    result = text.substr(pos, i - pos);
    pos = i;
    return true;
  }
  if (enders.find(text[i]) == std::string_view::npos) return false;
  result = text.substr(pos, i - pos);
  pos = i + 1;
  return true;
}

static size_t SkipSpaces(std::string_view text, size_t pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  return pos;
}

bool ReadToken(std::string_view text, size_t& pos, char delimiter, int stop, std::string_view& token) {
  size_t i = SkipSpaces(text, pos);
  if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
    size_t closing = text.find(text[i], i + 1);
    if (closing == std::string_view::npos) return false;
    token = text.substr(i + 1, closing - i - 1);
    i = closing + 1;
  } else {
    size_t end = i;
    while (end < text.size() && text[end] != delimiter && static_cast<unsigned char>(text[end]) != stop) ++end;
    if (end == i) return false;
    token = text.substr(i, end - i);
    i = end;
  }
  if (i < text.size() && text[i] == delimiter) ++i;
  pos = SkipSpaces(text, i);
  return true;
}

bool AppendClassOrId(std::string_view text, size_t& pos, std::string& attributes) {
  std::string_view word;
  if (!ReadWord(text, pos, kClassChars, " ", true, word)) return false;
  const bool id = word[0] == '#';
  attributes += id ? " id=\"" : " class=\"";
  attributes += word.substr(id ? 1 : 0);
  attributes += '"';
  return true;
}

void ParseAttributeGroup(std::string_view text, size_t& pos, std::string& attributes) {
  if (AppendClassOrId(text, pos, attributes)) {
    pos = SkipSpaces(text, pos);
    return;
  }
  attributes += " style=\"";
  bool first = true;
  std::string_view name, value;
  while (ReadWord(text, pos, kNameChars, ":", false, name) && ReadToken(text, pos, ';', ' ', value)) {
    if (!first) attributes += ';';
    first = false;
    attributes += name;
    attributes += ':';
    attributes += value;
  }
  attributes += '"';
}

bool IsAbsoluteUrl(std::string_view source) {
  return (!source.empty() && source[0] == '/') || source.find(':') != std::string_view::npos;
}

}  // namespace pw
