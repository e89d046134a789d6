// A literal, deliberately slow model of the inline layer, kept only for the
// tests: every pass rebuilds the whole text after each replacement and scans
// it again from its start. The converter's single-sweep passes must give the
// same bytes on every input this model finishes on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pw::tests::reference {

inline bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsClassChar(char c) { return IsAlnum(c) || c == '#' || c == '-' || c == '_'; }
inline bool IsNameChar(char c) { return IsAlnum(c) || c == '-' || c == '_'; }
inline bool IsAttrChar(char c) { return IsAlnum(c) || c == '_'; }

struct Group {
  size_t marker, after;
  std::string content;
};

inline std::optional<Group> FindGroup(const std::string& s, size_t from, const std::string& marker) {
  for (size_t p = from; p + marker.size() < s.size(); ++p) {
    if (s.compare(p, marker.size(), marker) != 0 || s[p + marker.size()] != '[') continue;
    int depth = 1;
    size_t i = p + marker.size() + 1;
    for (; i < s.size(); ++i) {
      if (s[i] == ']') {
        if (--depth == 0) break;
      } else if (s[i] == '[') {
        ++depth;
      }
    }
    if (depth != 0) return std::nullopt;
    size_t start = p + marker.size() + 1;
    return Group{p, i + 1, s.substr(start, i - start)};
  }
  return std::nullopt;
}

inline std::optional<std::string> ReadToken(const std::string& s, size_t& pos, char delim, int stop) {
  size_t i = pos;
  while (i < s.size() && s[i] == ' ') ++i;
  std::string token;
  if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
    size_t j = s.find(s[i], i + 1);
    if (j == std::string::npos) return std::nullopt;
    token = s.substr(i + 1, j - i - 1);
    i = j + 1;
  } else {
    size_t j = i;
    while (j < s.size() && s[j] != delim && (unsigned char)s[j] != stop) ++j;
    if (j == i) return std::nullopt;
    token = s.substr(i, j - i);
    i = j;
  }
  if (i < s.size() && s[i] == delim) ++i;
  while (i < s.size() && s[i] == ' ') ++i;
  pos = i;
  return token;
}

template <typename Pred>
std::optional<std::string> ReadWord(const std::string& s, size_t& pos, Pred word, char ender, bool end_ok) {
  size_t i = pos;
  while (i < s.size() && word(s[i])) ++i;
  if (i == pos) return std::nullopt;
  std::string w = s.substr(pos, i - pos);
  if (i == s.size()) {
    if (!end_ok) return std::nullopt;
    pos = i;
    return w;
  }
  if (s[i] != ender) return std::nullopt;
  pos = i + 1;
  return w;
}

inline std::string ParseAttributeGroup(const std::string& s, size_t& pos) {
  if (auto w = ReadWord(s, pos, IsClassChar, ' ', true)) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
    return (*w)[0] == '#' ? " id=\"" + w->substr(1) + "\"" : " class=\"" + *w + "\"";
  }
  std::string list;
  for (;;) {
    auto name = ReadWord(s, pos, IsNameChar, ':', false);
    if (!name) break;
    auto value = ReadToken(s, pos, ';', ' ');
    if (!value) break;
    if (!list.empty()) list += ";";
    list += *name + ":" + *value;
  }
  return " style=\"" + list + "\"";
}

inline std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

inline void ReadPairs(const std::string& c, size_t& pos, std::string& addressOrImage, bool image,
                      std::string& href, std::string& target, std::string& border, std::string& extra) {
  for (;;) {
    size_t save = pos;
    auto name = ReadWord(c, pos, IsAttrChar, '=', false);
    if (!name) return;
    auto value = ReadToken(c, pos, ' ', -1);
    if (!value) {
      pos = save;
      return;
    }
    std::string n = Lower(*name);
    if (n == "href") {
      if (image) href = *value;
      else addressOrImage = *value;
    } else if (image && n == "target") {
      target = *value;
    } else if (image && n == "border") {
      border = *value;
    } else {
      extra += " " + n + "=\"" + *value + "\"";
    }
  }
}

inline std::string ConvertInline(std::string s, const std::string& imgPath) {
  auto emphasis = [&](const std::string& marker, const std::string& open, const std::string& close) {
    for (;;) {
      auto g = FindGroup(s, 0, marker);
      if (!g) return;
      s = s.substr(0, g->marker) + open + g->content + close + s.substr(g->after);
    }
  };
  emphasis("___", "<strong><em>", "</em></strong>");
  emphasis("__", "<em>", "</em>");
  emphasis("_", "<strong>", "</strong>");

  for (size_t from = 0;;) {
    size_t a = s.find("#[", from);
    if (a == std::string::npos) break;
    size_t close = s.find(']', a + 2);
    if (close == std::string::npos) break;
    size_t inner = s.find("#[", a + 1);
    if (inner != std::string::npos && inner < close) {
      close = s.find(']', close + 1);
      if (close == std::string::npos) break;
    }
    std::string content = s.substr(a + 2, close - a - 2);
    size_t pos = 0;
    auto name = ReadToken(content, pos, ' ', -1);
    if (!name || name->empty()) {
      from = close + 1;
      continue;
    }
    s = s.substr(0, a) + "<a name=\"" + *name + "\"></a>" + s.substr(close + 1);
    from = 0;
  }

  for (size_t from = 0;;) {
    auto g = FindGroup(s, from, "*");
    if (!g) break;
    size_t pos = 0;
    auto address = ReadToken(g->content, pos, ' ', -1);
    if (!address || address->empty()) {
      from = g->after;
      continue;
    }
    std::string addr = *address, href, target, border, extra;
    ReadPairs(g->content, pos, addr, false, href, target, border, extra);
    std::string text = g->content.substr(pos);
    if (text.empty()) text = addr;
    s = s.substr(0, g->marker) + "<a href=\"" + addr + "\"" + extra + ">" + text + "</a>" + s.substr(g->after);
    from = 0;
  }

  for (size_t from = 0;;) {
    auto g = FindGroup(s, from, "!");
    if (!g) break;
    size_t pos = 0;
    auto source = ReadToken(g->content, pos, ' ', -1);
    if (!source || source->empty()) {
      from = g->after;
      continue;
    }
    std::string src = *source, href, target, border = "0", extra, unused;
    bool absolute = (!src.empty() && src[0] == '/') || src.find(':') != std::string::npos;
    if (!absolute) src = imgPath + src;
    ReadPairs(g->content, pos, unused, true, href, target, border, extra);
    std::string image = "<img src=\"" + src + "\"" + extra;
    if (pos < g->content.size()) image += " title=\"" + g->content.substr(pos) + "\"";
    image += " border=\"" + border + "\"/>";
    if (!href.empty()) {
      image = target.empty() ? "<a href=\"" + href + "\">" + image + "</a>"
                             : "<a href=\"" + href + "\" target=\"" + target + "\">" + image + "</a>";
    }
    s = s.substr(0, g->marker) + image + s.substr(g->after);
    from = 0;
  }

  for (;;) {
    auto g = FindGroup(s, 0, ".");
    if (!g) break;
    size_t pos = 0;
    std::string attributes = ParseAttributeGroup(g->content, pos);
    s = s.substr(0, g->marker) + "<span" + attributes + ">" + g->content.substr(pos) + "</span>" +
        s.substr(g->after);
  }
  return s;
}

}  // namespace pw::tests::reference
