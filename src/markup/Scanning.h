// Byte-level scanning routines of the page markup, shared by the block and
// inline layers of THTMLConverter. They work on UTF-8 byte strings without
// decoding them; every marker they look for is ASCII. A position is an index
// into the text; the end of the text acts as a terminating zero byte.
// No routine allocates except ParseAttributeGroup, which appends to its output.
#pragma once

#include "platform/Trim.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace pw {

// A set of bytes, tested by table lookup.
class TCharSet {
 public:
  constexpr TCharSet() = default;
  constexpr TCharSet(std::string_view bytes, bool alphanumerics) {
    for (char c : bytes) FMembers[static_cast<unsigned char>(c)] = true;
    if (alphanumerics) {
      for (int c = '0'; c <= '9'; ++c) FMembers[c] = true;
      for (int c = 'a'; c <= 'z'; ++c) FMembers[c] = true;
      for (int c = 'A'; c <= 'Z'; ++c) FMembers[c] = true;
    }
  }
  constexpr bool Contains(char c) const { return FMembers[static_cast<unsigned char>(c)]; }

 private:
  std::array<bool, 256> FMembers{};
};

// "#", "-", "_", digits and ASCII letters: a class name or "#id".
inline constexpr TCharSet kClassChars{"#-_", true};
// "-", "_", digits and ASCII letters: a style property name.
inline constexpr TCharSet kNameChars{"-_", true};
// "_", digits and ASCII letters: the name of a link or image attribute.
inline constexpr TCharSet kAttributeNameChars{"_", true};

// Marks "no stop byte" for ReadToken.
inline constexpr int kNoStop = -1;

// Bytes 0..32 count as white space wherever the markup trims.
using platform::TrimBlanks;

// A bracketed group found by FindGroup.
struct TGroup {
  size_t Marker = 0;          // position of the marker
  std::string_view Content;   // bytes between marker+open and the matching close
  size_t After = 0;           // position just after the matching close
};

// Finds the first `marker` directly followed by `open` at or after `from`,
// then the matching `close` counting nested opens. False when there is no
// such marker or its group is never closed.
bool FindGroup(std::string_view text, size_t from, std::string_view marker, char open, char close,
               TGroup& group);

// Reads the longest non-empty run of `word` bytes at `pos` that is followed by
// one of `enders` (or by the end of the text when `endIsEnder`). On success
// the ender is consumed and `pos` moves; on failure `pos` stays.
bool ReadWord(std::string_view text, size_t& pos, const TCharSet& word, std::string_view enders,
              bool endIsEnder, std::string_view& result);

// Skips spaces, then reads a quoted token ("..." or '...') or the bytes up to
// `delimiter`, `stop` (kNoStop for none) or the end. An unclosed quote or an
// empty unquoted token fails and leaves `pos` unchanged. On success one
// delimiter and the spaces after it are skipped.
bool ReadToken(std::string_view text, size_t& pos, char delimiter, int stop, std::string_view& token);

// Reads a class word or "#id" at `pos` (see ReadWord) and appends
// " class=\"x\"" or " id=\"x\"" to `attributes`; false, with nothing
// appended and `pos` unchanged, when there is none.
bool AppendClassOrId(std::string_view text, size_t& pos, std::string& attributes);

// Reads a class/id word or a list of style declarations at `pos` and appends
// their attribute text (" class=\"x\"", " id=\"x\"" or " style=\"...\"") to
// `attributes`; moves `pos` past what it used.
void ParseAttributeGroup(std::string_view text, size_t& pos, std::string& attributes);

// True when `source` begins with "/" or holds a ":" anywhere.
bool IsAbsoluteUrl(std::string_view source);

}  // namespace pw
