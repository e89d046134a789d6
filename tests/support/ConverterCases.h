// Shared helpers of the markup converter tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "markup/Converters.h"

namespace pw::tests {

inline std::string Convert(std::string_view body, std::string imgPath = {}, std::string preStyle = {}) {
  THTMLConverter converter;
  converter.SetImgPath(std::move(imgPath));
  converter.SetPreStyle(std::move(preStyle));
  return converter.Convert(body);
}

inline std::string Inline(std::string_view text, std::string imgPath = "images/") {
  THTMLConverter converter;
  converter.SetImgPath(std::move(imgPath));
  return converter.ConvertInline(text);
}

struct TCase {
  std::string_view input;
  std::string_view expected;
};

// Checks every case with `convert`, naming the input of a failing one.
template <typename Convert>
void ExpectEach(std::initializer_list<TCase> cases, Convert convert) {
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.input)));
    EXPECT_EQ(convert(c.input), c.expected);
  }
}

inline void ExpectBodies(std::initializer_list<TCase> cases, std::string preStyle = {}) {
  ExpectEach(cases, [&](std::string_view body) { return Convert(body, {}, preStyle); });
}

inline void ExpectInline(std::initializer_list<TCase> cases) {
  ExpectEach(cases, [](std::string_view text) { return Inline(text); });
}

}  // namespace pw::tests
