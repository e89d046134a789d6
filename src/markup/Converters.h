// The markup converter: turns the body of one section into an HTML fragment.
// The generator owns one THTMLConverter for its whole life and calls Convert
// once per page. Convert never fails: malformed markup stays in the output as
// text, and blocks still open at the end are closed level by level; a table
// header that no body rows follow is closed together with its table. One
// object is used by one thread at a time; it keeps scratch buffers between
// calls so that converting many pages does not allocate per line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "markup/Scanning.h"

namespace pw {

// The kinds of block the converter keeps open, one per nesting level.
enum class THTMLTag : uint8_t {
  htEmpty,  // no block open (after an empty line)
  htHTML,   // raw lines, no wrapping element
  htP,
  htH1,
  htH2,
  htH3,
  htUL,
  htOL,
  htPRE,
  htDIV,
  htTH,  // table header part
  htTB,  // table body part
};

class TConverter {
 public:
  virtual ~TConverter() = default;
  virtual std::string Convert(std::string_view body) = 0;
};

class THTMLConverter : public TConverter {
 public:
  // One section body (UTF-8) -> HTML fragment. Input ends at a zero byte.
  std::string Convert(std::string_view body) override;

  // The properties hold UTF-8. A non-empty image path always ends in "/".
  const std::string& ImgPath() const { return FImgPath; }
  void SetImgPath(std::string value);
  const std::string& PreStyle() const { return FPreStyle; }
  void SetPreStyle(std::string value) { FPreStyle = std::move(value); }

  // The inline layer on its own: emphasis, anchors, links, images, spans.
  // Works in time linear in the text. A line whose replacements keep
  // producing new groups of the same kind (possible only through link
  // addresses, image sources or attribute values that are themselves groups,
  // or an image path holding an image group) stops being rewritten once a
  // generous allowance of rebuilt text is spent.
  std::string ConvertInline(std::string_view text);

  // Appends the cells of one table row (the text after its "|" or "^").
  static void SplitCells(std::string_view text, char separator, std::string& out);

 private:
  // Block layer (Converters.cpp).
  // `trimmed` is `line` without blanks at either end.
  THTMLTag ClassifyLine(std::string_view line, std::string_view trimmed, std::string& html);
  void OpenBlock(THTMLTag tag);
  void CloseBlock(THTMLTag tag);
  void ChangeLevel(int level);
  THTMLTag ClassifyPreformatted(std::string_view line, std::string_view trimmed, std::string& html);
  bool IsAttributeLine(std::string_view trimmed, std::string& attributes) const;
  void PreStyleAttributes(std::string& attributes) const;

  // Inline layer (InlineConverter.cpp): appends the converted text to `out`.
  void AppendInline(std::string_view text, std::string& out);
  struct TGroupPass;
  void RunGroupPass(const TGroupPass& pass, std::string_view text, std::string& out, size_t& budget);
  void RunAnchorPass(std::string_view text, std::string& out, size_t& budget);
  bool BuildReplacement(const TGroupPass& pass, std::string_view content, size_t& keep);
  void ComputeMatches(std::string_view text, size_t from);
  void AppendRemainder(std::string_view text, size_t from, std::string& out) const;

  std::string FOutput;
  THTMLTag FTag = THTMLTag::htHTML;
  int32_t FLevel = 0;
  std::string FAttributes;
  std::string FPreStyle;
  std::string FImgPath;
  std::vector<THTMLTag> FStack;

  // Scratch buffers reused across lines and calls.
  std::string FLineHTML;
  std::string FCells;
  std::string FPassA, FPassB, FWork, FHead, FTail, FPairs, FTails;
  // A "[" at or after the first group of a pass and its matching "]".
  struct TOpening {
    size_t Open;
    size_t Close;
  };
  std::vector<TOpening> FOpenings;
  std::vector<size_t> FBrackets;
  // A group whose closing bracket still has to be replaced by its tail;
  // the tails are stacked in FTails.
  struct TPending {
    size_t Close;
    size_t TailBegin;
  };
  std::vector<TPending> FPending;
};

}  // namespace pw
