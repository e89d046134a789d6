#include "markup/Converters.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace pw {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Escapes one preformatted line so that neither the browser nor the
// placeholder expansion interprets it, and keeps its spacing visible.
void AppendPreformatted(std::string_view text, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
      case '&': out += "&#38;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '[': out += "&#91;"; break;
      case '{': out += "&#123;"; break;
      case '\t': out += "&nbsp;&nbsp;"; break;
      case ' ':
        if (i + 1 < text.size() && text[i + 1] == ' ') {
          out += "&nbsp;&nbsp;";
          ++i;
        } else {
          out += "&#32;";
        }
        break;
      default: out += c;
    }
  }
}

void AppendCell(std::string_view cell, int& span, std::string& out) {
  if (cell.empty()) {
    ++span;
    return;
  }
  out += "<td";
  if (StartsWith(cell, "  "))
    out += " align=\"right\"";
  else if (cell[0] == ' ')
    out += " align=\"center\"";
  if (span > 1) {
    out += " colspan=\"";
    out += std::to_string(span);
    out += '"';
    span = 1;
  }
  out += '>';
  out += TrimBlanks(cell);
  out += "</td>";
}

}  // namespace

void THTMLConverter::SetImgPath(std::string value) {
  if (!value.empty() && value.back() != '/') value += '/';
  FImgPath = std::move(value);
}

std::string THTMLConverter::ConvertInline(std::string_view text) {
  std::string out;
  AppendInline(text, out);
  return out;
}

void THTMLConverter::SplitCells(std::string_view text, char separator, std::string& out) {
  int span = 1;
  size_t pos = 0;
  for (;;) {
    size_t next = text.find(separator, pos);
    if (next == std::string_view::npos) break;
    AppendCell(text.substr(pos, next - pos), span, out);
    pos = next + 1;
  }
  std::string_view rest = text.substr(pos);
  if (!TrimBlanks(rest).empty()) AppendCell(rest, span, out);
}

std::string THTMLConverter::Convert(std::string_view body) {
  FTag = THTMLTag::htHTML;
  FLevel = 0;
  FStack.assign(1, THTMLTag::htHTML);
  FAttributes.clear();
  FOutput.clear();
  FOutput.reserve(body.size() + body.size() / 4 + 64);

  // The text ends at the first zero byte.
  if (const void* zero = std::memchr(body.data(), 0, body.size()))
    body = body.substr(0, static_cast<const char*>(zero) - body.data());

  size_t pos = 0;
  const size_t n = body.size();
  const char* data = body.data();
  // Carriage returns are rare: look for the next one only when passing it.
  size_t nextCr = 0;
  bool crKnown = false;
  while (pos < n) {
    if (!crKnown || nextCr < pos) {
      crKnown = true;
      const void* cr = std::memchr(data + pos, '\r', n - pos);
      nextCr = cr ? static_cast<const char*>(cr) - data : n;
    }
    const void* lf = std::memchr(data + pos, '\n', nextCr - pos);
    size_t end = lf ? static_cast<const char*>(lf) - data : nextCr;
    std::string_view line = body.substr(pos, end - pos);
    pos = end;
    if (pos < n && data[pos] == '\r') ++pos;
    if (pos < n && data[pos] == '\n') ++pos;

    std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty()) line = trimmed = {};
    FLineHTML.clear();
    THTMLTag tag = ClassifyLine(line, trimmed, FLineHTML);
    if (tag != FTag) {
      // A header followed by body rows stays one table; any other end of a
      // header closes its table as well (see CloseBlock).
      if (FTag == THTMLTag::htTH && tag == THTMLTag::htTB)
        FOutput += "</thead>\n";
      else
        CloseBlock(FTag);
      OpenBlock(tag);
    }
    FOutput += FLineHTML;
  }

  FStack[FLevel] = FTag;
  for (int i = FLevel; i >= 0; --i) CloseBlock(FStack[i]);

  if (!FOutput.empty() && FOutput.back() == '\n') FOutput.pop_back();
  std::string result = std::move(FOutput);
  FOutput.clear();
  FAttributes.clear();
  return result;
}

void THTMLConverter::OpenBlock(THTMLTag tag) {
  auto open = [this](const char* element, bool longForm) {
    FOutput += '<';
    FOutput += element;
    FOutput += FAttributes;
    FAttributes.clear();
    FOutput += longForm ? ">\n" : ">";
  };
  switch (tag) {
    case THTMLTag::htEmpty:
    case THTMLTag::htHTML: break;
    case THTMLTag::htP: open("p", false); break;
    case THTMLTag::htH1: open("h1", false); break;
    case THTMLTag::htH2: open("h2", false); break;
    case THTMLTag::htH3: open("h3", false); break;
    case THTMLTag::htUL: open("ul", true); break;
    case THTMLTag::htOL: open("ol", true); break;
    case THTMLTag::htPRE: open("pre", true); break;
    case THTMLTag::htDIV: open("div", true); break;
    case THTMLTag::htTH:
      open("table", true);
      FOutput += "<thead>\n";
      break;
    case THTMLTag::htTB:
      if (FTag != THTMLTag::htTH) open("table", true);
      open("tbody", true);
      break;
  }
  FTag = tag;
}

void THTMLConverter::CloseBlock(THTMLTag tag) {
  switch (tag) {
    case THTMLTag::htEmpty:
    case THTMLTag::htHTML: break;
    case THTMLTag::htP: FOutput += "</p>\n"; break;
    case THTMLTag::htH1: FOutput += "</h1>\n"; break;
    case THTMLTag::htH2: FOutput += "</h2>\n"; break;
    case THTMLTag::htH3: FOutput += "</h3>\n"; break;
    case THTMLTag::htUL: FOutput += "</li>\n</ul>\n"; break;
    case THTMLTag::htOL: FOutput += "</li>\n</ol>\n"; break;
    case THTMLTag::htPRE: FOutput += "</pre>\n"; break;
    case THTMLTag::htDIV: FOutput += "</div>\n"; break;
    // A header that is not followed by body rows at its level still ends its
    // table, so the output stays well formed.
    case THTMLTag::htTH: FOutput += "</thead>\n</table>\n"; break;
    case THTMLTag::htTB: FOutput += "</tbody>\n</table>\n"; break;
  }
}

void THTMLConverter::ChangeLevel(int level) {
  if (level > FLevel) {
    if (FStack.size() < static_cast<size_t>(level) + 1) FStack.resize(static_cast<size_t>(level) + 1);
    FStack[FLevel] = FTag;
    std::fill(FStack.begin() + FLevel + 1, FStack.begin() + level + 1, THTMLTag::htHTML);
    FTag = THTMLTag::htHTML;
  } else if (level < FLevel) {
    FStack[FLevel] = FTag;
    for (int i = FLevel; i > level; --i) CloseBlock(FStack[i]);
    FTag = FStack[level];
  }
  FLevel = level;
}

THTMLTag THTMLConverter::ClassifyLine(std::string_view line, std::string_view s, std::string& html) {
  size_t spaces = 0;
  while (spaces < line.size() && line[spaces] == ' ') ++spaces;
  // Levels beyond what an int32 holds cannot be reached by any real page.
  ChangeLevel(static_cast<int>(std::min<size_t>(spaces / 2, INT32_MAX - 1)));


  auto heading = [&](THTMLTag tag, size_t marker) {
    if (FTag == tag) {
      CloseBlock(tag);
      OpenBlock(tag);
    }
    AppendInline(s.substr(marker), html);
    return tag;
  };
  auto item = [&](THTMLTag tag) {
    html += FTag == tag ? "</li>\n<li>" : "<li>";
    AppendInline(s.substr(2), html);
    return tag;
  };

  if (StartsWith(s, "= ")) return heading(THTMLTag::htH1, 2);
  if (StartsWith(s, "== ")) return heading(THTMLTag::htH2, 3);
  if (StartsWith(s, "=== ")) return heading(THTMLTag::htH3, 4);
  if (StartsWith(s, "# ")) return item(THTMLTag::htOL);
  if (StartsWith(s, "* ")) return item(THTMLTag::htUL);

  char first = s.empty() ? '\0' : s[0];
  switch (first) {
    case '>': return ClassifyPreformatted(line, s, html);
    case '^':
    case '|': {
      FCells.clear();
      SplitCells(s.substr(1), first, FCells);
      if (first == '|' && FTag == THTMLTag::htTB) {
        html += "<tr";
        html += FAttributes;
        html += '>';
        FAttributes.clear();
      } else {
        html += "<tr>";
      }
      AppendInline(FCells, html);
      html += "</tr>\n";
      return first == '^' ? THTMLTag::htTH : THTMLTag::htTB;
    }
    case '\0':
    case '[': return THTMLTag::htEmpty;
    case ';': return FTag;
    case '<':
      AppendInline(line, html);
      html += '\n';
      return THTMLTag::htHTML;
    case '.': {
      std::string attributes;
      if (IsAttributeLine(s, attributes)) {
        FAttributes = std::move(attributes);
        return FTag;
      }
      break;
    }
  }

  switch (FTag) {
    case THTMLTag::htEmpty:
      if (StartsWith(s, "{$") && s.back() == '}') {
        html += line;
        html += '\n';
        return THTMLTag::htHTML;
      }
      AppendInline(line, html);
      return THTMLTag::htP;
    case THTMLTag::htHTML:
      AppendInline(line, html);
      html += '\n';
      return THTMLTag::htHTML;
    case THTMLTag::htP:
    case THTMLTag::htH1:
    case THTMLTag::htH2:
    case THTMLTag::htH3:
    case THTMLTag::htUL:
    case THTMLTag::htOL:
      html += "<br/>";
      AppendInline(line, html);
      return FTag;
    case THTMLTag::htPRE:
    case THTMLTag::htDIV:
    case THTMLTag::htTH:
    case THTMLTag::htTB: AppendInline(line, html); return FTag;
  }
  return FTag;
}

THTMLTag THTMLConverter::ClassifyPreformatted(std::string_view line, std::string_view trimmed,
                                              std::string& html) {
  // Everything after the marker, trailing white space included.
  size_t marker = static_cast<size_t>(trimmed.data() - line.data());
  AppendPreformatted(line.substr(marker + 1), html);
  if (FTag == THTMLTag::htDIV || !FAttributes.empty()) {
    html += "<br/>";
    return THTMLTag::htDIV;
  }
  if (!FPreStyle.empty()) {
    FAttributes.clear();
    PreStyleAttributes(FAttributes);
    html += "<br/>";
    return THTMLTag::htDIV;
  }
  html += '\n';
  return THTMLTag::htPRE;
}

void THTMLConverter::PreStyleAttributes(std::string& attributes) const {
  size_t pos = 0;
  if (AppendClassOrId(FPreStyle, pos, attributes)) return;
  attributes += " style=\"";
  attributes += FPreStyle;
  attributes += '"';
}

bool THTMLConverter::IsAttributeLine(std::string_view trimmed, std::string& attributes) const {
  if (!StartsWith(trimmed, ".[")) return false;
  TGroup group;
  if (!FindGroup(trimmed, 0, ".", '[', ']', group)) return false;
  if (!TrimBlanks(trimmed.substr(group.After)).empty()) return false;
  size_t pos = 0;
  ParseAttributeGroup(group.Content, pos, attributes);
  return TrimBlanks(group.Content.substr(pos)).empty();
}

}  // namespace pw
