#include "generator/PlaceholderSyntax.h"

#include "markup/ContentText.h"

namespace pw {

bool IsPlaceholderNameByte(unsigned char c) { return content::IsDirectiveNameByte(c) || c == '$' || c == '&'; }

bool FindBraceGroup(std::string_view text, size_t from, size_t& open, size_t& close) {
  size_t start = text.find('{', from);
  if (start == std::string_view::npos) return false;
  int depth = 0;
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] == '{') {
      ++depth;
    } else if (text[i] == '}') {
      if (--depth == 0) {
        open = start;
        close = i;
        return true;
      }
    }
  }
  return false;
}

bool ParsePlaceholder(std::string_view inner, TPlaceholder& result) {
  result = TPlaceholder();
  size_t i = 0;
  while (i < inner.size() && IsPlaceholderNameByte(static_cast<unsigned char>(inner[i]))) ++i;
  if (i == 0) return false;
  result.Name.assign(inner.substr(0, i));
  if (i == inner.size()) return true;
  if (inner[i] != '(') return false;
  result.IsCall = true;
  ++i;
  auto skipSpaces = [&] {
    while (i < inner.size() && inner[i] == ' ') ++i;
  };
  skipSpaces();
  if (i == inner.size()) return true;  // "f(" at the end of the text: no arguments
  if (inner[i] == ')') return i + 1 == inner.size();
  for (;;) {
    skipSpaces();
    TPlaceholderArgument arg;
    if (i < inner.size() && (inner[i] == '"' || inner[i] == '\'')) {
      char quote = inner[i++];
      size_t end = inner.find(quote, i);
      if (end == std::string_view::npos) return false;
      arg.Text.assign(inner.substr(i, end - i));
      arg.Quoted = true;
      i = end + 1;
      skipSpaces();
    } else {
      size_t end = i;
      while (end < inner.size() && inner[end] != ',' && inner[end] != ')') ++end;
      arg.Text.assign(inner.substr(i, end - i));
      i = end;
    }
    result.Args.push_back(std::move(arg));
    if (i == inner.size()) return true;
    if (inner[i] == ')') return i + 1 == inner.size();
    if (inner[i] != ',') return false;
    ++i;
  }
}

bool IsVariableArgument(const TPlaceholderArgument& arg) {
  if (arg.Quoted || arg.Text.size() < 2 || arg.Text[0] != '$') return false;
  for (size_t i = 1; i < arg.Text.size(); ++i)
    if (!IsPlaceholderNameByte(static_cast<unsigned char>(arg.Text[i]))) return false;
  return true;
}

}  // namespace pw
