// Shared helpers of the markup converter tests.
#pragma once

#include <string>
#include <string_view>

#include "markup/Converters.h"

namespace pw::test {

inline std::string Convert(std::string_view body, std::string img_path = {}, std::string pre_style = {}) {
  THTMLConverter converter;
  converter.SetImgPath(std::move(img_path));
  converter.SetPreStyle(std::move(pre_style));
  return converter.Convert(body);
}

// One paragraph line: an empty line first, so the text is not a raw line.
inline std::string Paragraph(std::string_view line, std::string img_path = "images/") {
  std::string body = "\n";
  body += line;
  return Convert(body, std::move(img_path));
}

inline std::string Inline(std::string_view text, std::string img_path = "images/") {
  THTMLConverter converter;
  converter.SetImgPath(std::move(img_path));
  return converter.ConvertInline(text);
}

}  // namespace pw::test
