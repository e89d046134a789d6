// TPagewickHighlighter: the tokenizer that colours the content text in the editor. The editor
// hands it one line at a time and steps through the line's tokens, each with a token kind and
// display attributes. It knows only what the first character of a line and the "{...}"
// placeholders mean; inline markup is plain text.
//
// It works on UTF-8 bytes: every character it reacts to is ASCII, and no byte of a multi-byte
// UTF-8 sequence is ASCII, so the tokens are those of the same line in UTF-16 with positions
// counted in bytes, which is what the editor's styling counts in.
//
// Owned by whoever shows the text (the editor's lexer adapter). Not thread-safe; one instance
// per editor. The line passed to SetLine must outlive the scan.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace pw::markup {

enum class TTokenKind : std::uint8_t {
  tkText = 0,
  tkSection = 1,
  tkComment = 2,
  tkDirective = 3,
  tkMacro = 4,
  tkBlock = 5,
};

inline constexpr int TokenKindCount = 6;

// How one token kind looks. Backgrounds are the editor's default.
struct TSynHighlighterAttributes {
  const char* Name = "";        // shown to the user
  const char* StoredName = "";  // the key in stored editor settings
  std::uint32_t Foreground = 0; // 0xRRGGBB
  bool Bold = false;
  bool Italic = false;

  bool operator==(const TSynHighlighterAttributes&) const = default;
};

class TPagewickHighlighter {
 public:
  TPagewickHighlighter();

  // Starts the scan of one line (without its line break) at its first character.
  void SetLine(std::string_view line);

  // Scans one token starting at Run.
  void Next();
  // True once the scan has also stepped over the end of the line (an empty Text token).
  bool GetEol() const { return FRun == Length() + 1; }
  int GetTokenKind() const { return static_cast<int>(FTokenKind); }
  const TSynHighlighterAttributes& GetTokenAttribute() const;
  // The attribute of a kind; Text for any value outside 1 to 5.
  const TSynHighlighterAttributes& Attribute(int kind) const;
  const TSynHighlighterAttributes& GetDefaultAttribute(int index) const;
  // The current token: where it starts in the line and its length (0 for the end step).
  int GetTokenPos() const { return FTokenPos; }
  int GetTokenLength() const { return std::max(0, std::min(FRun, Length()) - FTokenPos); }
  std::string_view GetToken() const {
    return FLine.substr(std::min(FTokenPos, Length()), GetTokenLength());
  }

  // The six attributes, Text first, so that editor settings can list and change them.
  const std::vector<TSynHighlighterAttributes>& Attributes() const { return FAttributes; }
  void SetAttribute(int kind, const TSynHighlighterAttributes& attribute);
  // Called after an attribute changed, so that the editor repaints.
  std::function<void()> OnAttributeChange;

 private:
  int Length() const { return static_cast<int>(FLine.size()); }
  void TextToken();
  void MacroToken();
  void ToEndOfLine(TTokenKind kind);
  // The first "{" at or after pos, or -1.
  int NextBrace(int pos);
  // The position of the "}" closing the "{" at pos, or -1 when the line ends first.
  int MatchingBrace(int pos);

  std::vector<TSynHighlighterAttributes> FAttributes;
  std::string_view FLine;
  int FRun = 0;
  int FTokenPos = 0;
  TTokenKind FTokenKind = TTokenKind::tkText;

  // Run only grows within a line, so the searches are kept: without them a long line without
  // braces, or with many unclosed ones, would be scanned once per token.
  int FBraceSearchFrom = 0;  // FNextBrace is the first "{" at or after this position
  int FNextBrace = -2;       // -2: not searched yet; -1: none
  bool FMatched = false;
  std::vector<std::pair<int, int>> FMatches;  // every "{" of the line with its "}" or -1
};

}  // namespace pw::markup
