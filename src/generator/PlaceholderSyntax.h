// The grammar of {$...} placeholders, without any lookup: finding balanced brace groups and
// parsing a group's inner text into a name or a function call. Stateless functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

// True for the bytes a placeholder name may hold: those of a directive name (so that every
// variable a directive sets can be named), and "$" and "&".
bool IsPlaceholderNameByte(unsigned char c);

// Finds the first "{" at or after `from` and its matching "}", counting nested braces.
// False when there is no "{" or the braces do not balance.
bool FindBraceGroup(std::string_view text, size_t from, size_t& open, size_t& close);

struct TPlaceholderArgument {
  std::string Text;
  bool Quoted = false;
};

struct TPlaceholder {
  std::string Name;
  bool IsCall = false;
  std::vector<TPlaceholderArgument> Args;
};

// Parses the text between "{$" and "}": a name, or a name followed by "(" and arguments
// separated by ","; arguments may be quoted with double or single quotes, leading spaces are
// skipped, and the list ends at ")" or at the end of the text. False when it does not parse.
bool ParsePlaceholder(std::string_view inner, TPlaceholder& result);

// True when an unquoted argument is "$" followed by one or more name bytes (a variable).
bool IsVariableArgument(const TPlaceholderArgument& arg);

}  // namespace pw
