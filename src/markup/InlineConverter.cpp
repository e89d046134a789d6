// The inline layer of THTMLConverter.
//
// Each pass is defined as "replace the first group, then scan the rebuilt
// text again from its start". Rescanning from the start is the same as
// resuming at the replaced group: nothing before the group changes, and every
// replacement begins with "<", so no marker can join the text before it. After
// a replacement the scan therefore resumes inside the generated head; when the
// head holds no group of the pass (the normal case) the scan goes straight on
// to the kept content, whose brackets pair up exactly as in the text the pass
// started from. The passes thus run as one left-to-right sweep over that text
// with a stack of closing tags still to write, using bracket pairs computed
// once. Only a generated head or tail that holds a group of its own pass (a
// link whose address is itself a link group, say) forces the remaining text
// to be rebuilt and swept again.
#include <cstring>

#include "markup/Converters.h"
#include "platform/AsciiCase.h"

namespace pw {

namespace {

constexpr size_t kUnclosed = static_cast<size_t>(-1);
constexpr size_t npos = std::string_view::npos;

// Rebuilding the rest of a line is paid for out of this allowance; a line
// whose groups keep producing groups of their own (a link address holding a
// link address holding ..., which doubles at each level) stops converting
// once it is spent instead of growing without bound.
constexpr size_t kRebuildAllowance = size_t{32} << 20;
constexpr size_t kRebuildPerByte = 16;

enum class TPassKind : uint8_t { pkEmphasis, pkLink, pkImage, pkSpan };

// Position of the first `marker` followed by "[" at or after `from` whose "["
// lies before `limit`, or npos.
size_t FindMarker(std::string_view text, size_t from, size_t limit, std::string_view marker) {
  const size_t m = marker.size();
  size_t pos = from + m;
  while (pos < limit) {
    const void* hit = std::memchr(text.data() + pos, '[', limit - pos);
    if (!hit) return npos;
    size_t open = static_cast<const char*>(hit) - text.data();
    if (open >= from + m) {
      size_t k = 0;
      while (k < m && text[open - m + k] == marker[k]) ++k;
      if (k == m) return open - m;
    }
    pos = open + 1;
  }
  return npos;
}

// Appends ` name="value"`.
void AppendAttribute(std::string_view name, std::string_view value, std::string& out) {
  out += ' ';
  out += name;
  out += "=\"";
  out += value;
  out += '"';
}

void AppendAnchor(std::string_view name, std::string& out) {
  out += "<a name=\"";
  out += name;
  out += "\"></a>";
}

// Makes the rebuilt rest of a line the text still to sweep, paying for it out
// of `budget`. Once the allowance is spent the rest is written out as it
// stands and false is returned: the pass ends there.
bool SweepAgain(std::string& rest, std::string& work, std::string_view& text, size_t& budget, std::string& out) {
  if (rest.size() > budget) {
    budget = 0;
    out += rest;
    return false;
  }
  budget -= rest.size();
  work.swap(rest);
  text = work;
  return true;
}

enum : unsigned {
  kBoldItalicBit = 1,
  kItalicBit = 2,
  kBoldBit = 4,
  kAnchorBit = 8,
  kLinkBit = 16,
  kImageBit = 32,
  kSpanBit = 64,
};

// The passes that have a marker directly before some "[" of `text`. A pass
// only removes markers or puts generated text (which starts with "<" and
// ends with ">" or a quote) between bytes, so it never creates a group for a
// later pass out of the text it was given.
unsigned CandidatePasses(std::string_view text) {
  unsigned passes = 0;
  const char* data = text.data();
  for (size_t pos = 1; pos < text.size(); ++pos) {
    const void* hit = std::memchr(data + pos, '[', text.size() - pos);
    if (!hit) break;
    pos = static_cast<const char*>(hit) - data;
    switch (data[pos - 1]) {
      case '_':
        passes |= kBoldBit;
        if (pos >= 2 && data[pos - 2] == '_') {
          passes |= kItalicBit;
          if (pos >= 3 && data[pos - 3] == '_') passes |= kBoldItalicBit;
        }
        break;
      case '#': passes |= kAnchorBit; break;
      case '*': passes |= kLinkBit; break;
      case '!': passes |= kImageBit; break;
      case '.': passes |= kSpanBit; break;
    }
  }
  return passes;
}

}  // namespace

struct THTMLConverter::TGroupPass {
  std::string_view Marker;
  TPassKind Kind;
  std::string_view Head;  // emphasis only
  std::string_view Tail;  // emphasis only
};

void THTMLConverter::ComputeMatches(std::string_view text, size_t from) {
  // Brackets before `from` cannot pair with one at or after it. Long runs
  // without brackets are skipped with memchr, one search per bracket kind.
  // The pairs are listed in the order of their "[", which is the order in
  // which the sweep meets them.
  FOpenings.clear();
  FBrackets.clear();
  const char* data = text.data();
  const size_t n = text.size();
  auto next = [&](char c, size_t pos) {
    const void* hit = pos < n ? std::memchr(data + pos, c, n - pos) : nullptr;
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - data) : n;
  };
  size_t open = next('[', from), close = next(']', from);
  while (open < n || close < n) {
    if (open < close) {
      FBrackets.push_back(FOpenings.size());
      FOpenings.push_back({open, kUnclosed});
      open = next('[', open + 1);
    } else {
      if (!FBrackets.empty()) {
        FOpenings[FBrackets.back()].Close = close;
        FBrackets.pop_back();
      }
      close = next(']', close + 1);
    }
  }
}

// Reads the first token of a link or image group (its address or source),
// then the "name=value" pairs after it up to the first incomplete pair,
// calling `take(lowercase name, value)` per pair. False when the first token
// fails or is empty.
template <typename Take>
static bool ReadFirstTokenAndPairs(std::string_view content, size_t& pos, std::string_view& first, Take take) {
  if (!ReadToken(content, pos, ' ', kNoStop, first) || first.empty()) return false;
  std::string nameBuffer;
  for (;;) {
    size_t start = pos;
    std::string_view name, value;
    if (!ReadWord(content, pos, kAttributeNameChars, "=", false, name)) return true;
    if (!ReadToken(content, pos, ' ', kNoStop, value)) {
      pos = start;
      return true;
    }
    nameBuffer.clear();
    platform::AppendLowerAscii(name, nameBuffer);
    take(std::string_view(nameBuffer), value);
  }
}

bool THTMLConverter::BuildReplacement(const TGroupPass& pass, std::string_view content, size_t& keep) {
  std::string& head = FHead;
  std::string& tail = FTail;
  head.clear();
  tail.clear();
  FPairs.clear();
  switch (pass.Kind) {
    case TPassKind::pkEmphasis:
      head += pass.Head;
      keep = 0;
      tail += pass.Tail;
      return true;

    case TPassKind::pkSpan: {
      size_t pos = 0;
      head += "<span";
      ParseAttributeGroup(content, pos, head);
      head += '>';
      keep = pos;
      tail += "</span>";
      return true;
    }

    case TPassKind::pkLink: {
      size_t pos = 0;
      std::string_view address;
      auto take = [&](std::string_view name, std::string_view value) {
        if (name == "href") {
          address = value;
        } else {
          AppendAttribute(name, value, FPairs);
        }
      };
      if (!ReadFirstTokenAndPairs(content, pos, address, take)) return false;
      head += "<a href=\"";
      head += address;
      head += '"';
      head += FPairs;
      head += '>';
      if (pos == content.size()) {
        head += address;
        keep = content.size();
      } else {
        keep = pos;
      }
      tail += "</a>";
      return true;
    }

    case TPassKind::pkImage: {
      size_t pos = 0;
      std::string_view source, href, target, border = "0";
      auto take = [&](std::string_view name, std::string_view value) {
        if (name == "href") {
          href = value;
        } else if (name == "target") {
          target = value;
        } else if (name == "border") {
          border = value;
        } else {
          AppendAttribute(name, value, FPairs);
        }
      };
      if (!ReadFirstTokenAndPairs(content, pos, source, take)) return false;
      if (!href.empty()) {
        head += "<a href=\"";
        head += href;
        if (!target.empty()) {
          head += "\" target=\"";
          head += target;
        }
        head += "\">";
      }
      head += "<img src=\"";
      if (!IsAbsoluteUrl(source)) head += FImgPath;
      head += source;
      head += '"';
      head += FPairs;
      // The title is the rest of the content, kept in place so that the
      // groups inside it are found by the same sweep.
      if (pos < content.size()) {
        head += " title=\"";
        keep = pos;
        tail += '"';
      } else {
        keep = content.size();
      }
      tail += " border=\"";
      tail += border;
      tail += "\"/>";
      if (!href.empty()) tail += "</a>";
      return true;
    }
  }
  return false;
}

void THTMLConverter::AppendRemainder(std::string_view text, size_t from, std::string& out) const {
  for (size_t i = FPending.size(); i-- > 0;) {
    const size_t tailEnd = i + 1 < FPending.size() ? FPending[i + 1].TailBegin : FTails.size();
    out.append(text.data() + from, FPending[i].Close - from);
    out.append(FTails, FPending[i].TailBegin, tailEnd - FPending[i].TailBegin);
    from = FPending[i].Close + 1;
  }
  out.append(text.data() + from, text.size() - from);
}

void THTMLConverter::RunGroupPass(const TGroupPass& pass, std::string_view text, std::string& out,
                                  size_t& budget) {
  out.clear();
  const size_t m = pass.Marker.size();
  for (;;) {
    const size_t first = FindMarker(text, 0, text.size(), pass.Marker);
    if (first == npos) {
      out.append(text);
      return;
    }
    ComputeMatches(text, first + m);
    FPending.clear();
    FTails.clear();
    size_t cur = 0;
    size_t opening = 0;  // the sweep only moves forward, and so does this
    for (;;) {
      const size_t limit = FPending.empty() ? text.size() : FPending.back().Close;
      const size_t marker = FindMarker(text, cur, limit, pass.Marker);
      if (marker == npos) {
        out.append(text.data() + cur, limit - cur);
        if (FPending.empty()) return;
        out.append(FTails, FPending.back().TailBegin, std::string::npos);
        FTails.resize(FPending.back().TailBegin);
        cur = limit + 1;
        FPending.pop_back();
        continue;
      }
      const size_t open = marker + m;
      while (FOpenings[opening].Open < open) ++opening;
      const size_t close = FOpenings[opening].Close;
      if (close == kUnclosed) {
        // Only possible outside every open group: the pass ends here.
        AppendRemainder(text, cur, out);
        return;
      }
      out.append(text.data() + cur, marker - cur);
      std::string_view content = text.substr(open + 1, close - open - 1);
      size_t keep = 0;
      if (!BuildReplacement(pass, content, keep)) {
        out.append(text.data() + marker, close + 1 - marker);
        cur = close + 1;
        continue;
      }
      if (FindMarker(FHead, 0, FHead.size(), pass.Marker) != npos ||
          FindMarker(FTail, 0, FTail.size(), pass.Marker) != npos) {
        // The replacement holds a group of this pass: sweep the rebuilt rest again.
        std::string rest;
        rest.reserve(FHead.size() + FTail.size() + FTails.size() + text.size() - open);
        rest += FHead;
        rest.append(content.substr(keep));
        rest += FTail;
        AppendRemainder(text, close + 1, rest);
        if (!SweepAgain(rest, FWork, text, budget, out)) return;
        break;
      }
      out += FHead;
      FPending.push_back({close, FTails.size()});
      FTails += FTail;
      cur = open + 1 + keep;
    }
  }
}

void THTMLConverter::RunAnchorPass(std::string_view text, std::string& out, size_t& budget) {
  out.clear();
  size_t cur = 0;
  for (;;) {
    const size_t marker = text.find("#[", cur);
    if (marker == npos) break;
    const size_t start = marker + 2;
    size_t close = text.find(']', start);
    if (close == npos) break;
    // One nested anchor is skipped over; deeper nesting is not.
    const size_t inner = text.find("#[", start);
    if (inner != npos && inner < close) {
      close = text.find(']', close + 1);
      if (close == npos) break;
    }
    std::string_view content = text.substr(start, close - start);
    size_t pos = 0;
    std::string_view name;
    if (!ReadToken(content, pos, ' ', kNoStop, name) || name.empty()) {
      out.append(text.data() + cur, close + 1 - cur);
      cur = close + 1;
      continue;
    }
    out.append(text.data() + cur, marker - cur);
    if (name.find("#[") != npos) {
      std::string rest;
      AppendAnchor(name, rest);
      rest.append(text.substr(close + 1));
      if (!SweepAgain(rest, FWork, text, budget, out)) return;
      cur = 0;
      continue;
    }
    AppendAnchor(name, out);
    cur = close + 1;
  }
  out.append(text.data() + cur, text.size() - cur);
}

void THTMLConverter::AppendInline(std::string_view text, std::string& out) {
  unsigned candidates = CandidatePasses(text);
  if (candidates == 0) {
    out += text;
    return;
  }
  static constexpr TGroupPass kBoldItalic{"___", TPassKind::pkEmphasis, "<strong><em>", "</em></strong>"};
  static constexpr TGroupPass kItalic{"__", TPassKind::pkEmphasis, "<em>", "</em>"};
  static constexpr TGroupPass kBold{"_", TPassKind::pkEmphasis, "<strong>", "</strong>"};
  static constexpr TGroupPass kLink{"*", TPassKind::pkLink, {}, {}};
  static constexpr TGroupPass kImage{"!", TPassKind::pkImage, {}, {}};
  static constexpr TGroupPass kSpan{".", TPassKind::pkSpan, {}, {}};

  size_t budget = kRebuildAllowance + kRebuildPerByte * text.size();
  std::string_view current = text;
  std::string* buffers[2] = {&FPassA, &FPassB};
  int next = 0;
  auto runGroup = [&](const TGroupPass& pass, unsigned bit) {
    if (!(candidates & bit)) return;
    std::string& target = *buffers[next];
    RunGroupPass(pass, current, target, budget);
    current = target;
    next ^= 1;
  };
  runGroup(kBoldItalic, kBoldItalicBit);
  runGroup(kItalic, kItalicBit);
  runGroup(kBold, kBoldBit);
  if (candidates & kAnchorBit) {
    std::string& target = *buffers[next];
    RunAnchorPass(current, target, budget);
    current = target;
    next ^= 1;
  }
  runGroup(kLink, kLinkBit);
  runGroup(kImage, kImageBit);
  // Passes never join a marker to a bracket, but the image path is inserted
  // as it stands and may bring spans of its own.
  if ((candidates & kImageBit) && FImgPath.find('[') != std::string::npos) candidates |= kSpanBit;
  runGroup(kSpan, kSpanBit);
  out += current;
}

}  // namespace pw
