#include "markup/Converters.h"

namespace pw {

std::string THTMLConverter::Convert(std::string_view body) { return std::string(body); }

void THTMLConverter::SetImgPath(std::string value) {
  if (!value.empty() && value.back() != '/') value += '/';
  FImgPath = std::move(value);
}

std::string THTMLConverter::ConvertInline(std::string_view text) { return std::string(text); }

void THTMLConverter::SplitCells(std::string_view, char, std::string&) {}

}  // namespace pw
