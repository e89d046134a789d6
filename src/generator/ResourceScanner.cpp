#include "generator/ResourceScanner.h"
#include "platform/AsciiCase.h"

namespace pw {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// The word equals a lower-case word, whatever the case of the word's letters.
constexpr bool EqualsLower(std::string_view word, std::string_view lower) {
  return platform::EqualsIgnoringAsciiCase(word, lower);
}

// Walks the attributes of one tag's text (after its name).
template <typename Visit>
void ForEachAttribute(std::string_view tag, size_t pos, Visit visit) {
  while (pos < tag.size()) {
    while (pos < tag.size() && (IsSpace(tag[pos]) || tag[pos] == '/')) ++pos;
    size_t nameStart = pos;
    while (pos < tag.size() && !IsSpace(tag[pos]) && tag[pos] != '=' && tag[pos] != '/') ++pos;
    std::string_view name = tag.substr(nameStart, pos - nameStart);
    while (pos < tag.size() && IsSpace(tag[pos])) ++pos;
    if (pos >= tag.size() || tag[pos] != '=') {
      if (name.empty()) ++pos;  // a stray character: step over it
      continue;
    }
    ++pos;
    while (pos < tag.size() && IsSpace(tag[pos])) ++pos;
    std::string_view value;
    if (pos < tag.size() && (tag[pos] == '"' || tag[pos] == '\'')) {
      char quote = tag[pos++];
      size_t end = tag.find(quote, pos);
      if (end == std::string_view::npos) end = tag.size();
      value = tag.substr(pos, end - pos);
      pos = end + 1;
    } else {
      size_t end = pos;
      while (end < tag.size() && !IsSpace(tag[end])) ++end;
      value = tag.substr(pos, end - pos);
      pos = end;
    }
    if (!visit(name, value)) return;
  }
}

}  // namespace

void ScanCssUrls(std::string_view css, const std::function<void(std::string_view)>& sink) {
  size_t pos = 0;
  for (;;) {
    size_t found = pos;
    // "url(" in any letter case.
    for (;; ++found) {
      found = css.find('(', found);
      if (found == std::string_view::npos) return;
      if (found >= 3 && EqualsLower(css.substr(found - 3, 3), "url")) break;
    }
    size_t close = css.find(')', found + 1);
    if (close == std::string_view::npos) return;
    std::string_view value = css.substr(found + 1, close - found - 1);
    while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
    while (!value.empty() && IsSpace(value.back())) value.remove_suffix(1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    if (!value.empty()) sink(value);
    pos = close + 1;
  }
}

void ScanHtmlReferences(std::string_view html, const TReferenceSink& sink) {
  size_t pos = 0;
  size_t styleTextStart = std::string_view::npos;  // end of the most recent <style> tag
  while (pos < html.size()) {
    size_t open = html.find('<', pos);
    if (open == std::string_view::npos) return;
    // A tag ends a few bytes on: stepping there costs less than another call of memchr, and
    // every page passes through here.
    size_t close = open + 1;
    while (close < html.size() && html[close] != '>') ++close;
    if (close == html.size()) return;  // an unterminated tag is text
    std::string_view tag = html.substr(open + 1, close - open - 1);
    size_t nameEnd = 0;
    while (nameEnd < tag.size() && !IsSpace(tag[nameEnd]) && !(tag[nameEnd] == '/' && nameEnd > 0))
      ++nameEnd;
    std::string_view name = tag.substr(0, nameEnd);
    pos = close + 1;

    if (EqualsLower(name, "link")) {
      ForEachAttribute(tag, nameEnd, [&](std::string_view attr, std::string_view value) {
        if (EqualsLower(attr, "href")) sink(value, TReferenceKind::LinkHref);
        return true;
      });
    } else if (EqualsLower(name, "style")) {
      styleTextStart = pos;
    } else if (EqualsLower(name, "/style")) {
      if (styleTextStart != std::string_view::npos && styleTextStart <= open) {
        ScanCssUrls(html.substr(styleTextStart, open - styleTextStart),
                    [&](std::string_view value) { sink(value, TReferenceKind::StyleUrl); });
      }
      styleTextStart = std::string_view::npos;
    } else {
      const bool source = EqualsLower(name, "img") || EqualsLower(name, "script");
      // Most tags (</p>, <li>) have no room for a background attribute after their name.
      if (!source && tag.size() < nameEnd + std::string_view("background=").size()) continue;
      std::string_view wanted = source ? "src" : "background";
      ForEachAttribute(tag, nameEnd, [&](std::string_view attr, std::string_view value) {
        if (!EqualsLower(attr, wanted)) return true;
        sink(value, TReferenceKind::Attribute);
        return false;
      });
    }
  }
}

std::string MakeReferenceRelative(std::string_view reference, std::string_view baseUrl) {
  if (!baseUrl.empty() && reference.substr(0, baseUrl.size()) == baseUrl)
    reference.remove_prefix(baseUrl.size());
  std::string relative(reference);
  for (char& c : relative)
    if (c == '\\') c = '/';
  return relative;
}

}  // namespace pw
