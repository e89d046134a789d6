#include "markup/PagewickHighlighter.h"

#include "markup/ContentText.h"

#include <algorithm>

namespace pw::markup {

TPagewickHighlighter::TPagewickHighlighter() {
  FAttributes = {
      {"Text", "Text", 0x000000, false, false},
      {"Section", "Section", 0x0000FF, true, false},
      {"Comment", "Comment", 0x008000, false, true},
      {"Directive", "Directive", 0x4F96E3, false, false},
      {"Macro", "Macro", 0x800000, false, false},
      {"Block", "Block", 0x008080, false, false},
  };
}

void TPagewickHighlighter::SetLine(std::string_view line) {
  FLine = line;
  FRun = 0;
  FTokenPos = 0;
  FTokenKind = TTokenKind::tkText;
  FBraceSearchFrom = 0;
  FNextBrace = -2;
  FMatched = false;
  FMatches.clear();
}

void TPagewickHighlighter::Next() {
  FTokenPos = FRun;
  if (FRun > Length()) return;  // past the end: stays at the end
  if (FRun == 0 && !FLine.empty()) {
    // The line kinds the content text gives meaning to, read by its one reader; a block
    // (preformatted) line only matters to the converter.
    switch (content::ClassifyLine(FLine)) {
      case content::TLineKind::Comment: return ToEndOfLine(TTokenKind::tkComment);
      case content::TLineKind::Header: return ToEndOfLine(TTokenKind::tkSection);
      case content::TLineKind::Directive: return ToEndOfLine(TTokenKind::tkDirective);
      default: break;
    }
    if (FLine[0] == '>') return ToEndOfLine(TTokenKind::tkBlock);
  }
  if (FRun < Length() && FLine[FRun] == '{') return MacroToken();
  TextToken();
}

void TPagewickHighlighter::ToEndOfLine(TTokenKind kind) {
  FTokenKind = kind;
  FRun = Length();
}

void TPagewickHighlighter::TextToken() {
  FTokenKind = TTokenKind::tkText;
  const int brace = FRun < Length() ? NextBrace(FRun) : -1;
  FRun = brace > FRun ? brace : FRun + 1;
}

void TPagewickHighlighter::MacroToken() {
  const int close = MatchingBrace(FRun);
  if (close < 0) {
    FTokenKind = TTokenKind::tkText;  // the "{" alone
    ++FRun;
    return;
  }
  FTokenKind = TTokenKind::tkMacro;
  FRun = close + 1;
}

int TPagewickHighlighter::NextBrace(int pos) {
  if (FNextBrace == -2 || pos < FBraceSearchFrom || (FNextBrace >= 0 && pos > FNextBrace)) {
    const auto found = FLine.find('{', pos);
    FNextBrace = found == std::string_view::npos ? -1 : static_cast<int>(found);
    FBraceSearchFrom = pos;
  }
  return FNextBrace;
}

int TPagewickHighlighter::MatchingBrace(int pos) {
  if (!FMatched) {
    // One pass pairs every brace: a "{" closes at the first "}" that brings the depth counted
    // from it back to zero, which is where the stack pops it.
    FMatched = true;
    std::vector<size_t> open;
    for (int i = pos; i < Length(); ++i) {
      if (FLine[i] == '{') {
        open.push_back(FMatches.size());
        FMatches.emplace_back(i, -1);
      } else if (FLine[i] == '}' && !open.empty()) {
        FMatches[open.back()].second = i;
        open.pop_back();
      }
    }
  }
  const auto it = std::lower_bound(FMatches.begin(), FMatches.end(), std::make_pair(pos, -1));
  return it != FMatches.end() && it->first == pos ? it->second : -1;
}

const TSynHighlighterAttributes& TPagewickHighlighter::GetTokenAttribute() const {
  return Attribute(GetTokenKind());
}

const TSynHighlighterAttributes& TPagewickHighlighter::Attribute(int kind) const {
  return kind >= 1 && kind < TokenKindCount ? FAttributes[kind] : FAttributes[0];
}

const TSynHighlighterAttributes& TPagewickHighlighter::GetDefaultAttribute(int) const {
  return FAttributes[0];
}

void TPagewickHighlighter::SetAttribute(int kind, const TSynHighlighterAttributes& attribute) {
  if (kind < 0 || kind >= TokenKindCount || FAttributes[kind] == attribute) return;
  FAttributes[kind] = attribute;
  if (OnAttributeChange) OnAttributeChange();
}

}  // namespace pw::markup
