// libFuzzer target for the markup converter. The first input byte picks the
// image path and preformatted style; the rest is a section body. Every body
// must convert without a crash; short bodies are also converted inline by the
// literal model (rescan from the start) and must give the same bytes.
//
// Build (clang only):  cmake --build <build> --target pw_fuzz_converter
// Run:                 pw_fuzz_converter -max_len=4096 -max_total_time=300
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "markup/Converters.h"
#include "markup/InlineReference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const kImgPaths[] = {"", "images", "a/.[x]/", "_[y]"};
  static const char* const kPreStyles[] = {"", "code", "#id", "color: red"};
  pw::THTMLConverter converter;
  converter.SetImgPath(kImgPaths[data[0] & 3]);
  converter.SetPreStyle(kPreStyles[(data[0] >> 2) & 3]);
  std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::string html = converter.Convert(body);
  if (!html.empty() && html.back() == '\n') std::abort();

  // Link addresses that are link groups double per level in the model.
  size_t stars = 0;
  for (char c : body) stars += c == '*';
  if (body.size() <= 512 && stars <= 8) {
    std::string line(body);
    if (converter.ConvertInline(line) != pw::tests::reference::ConvertInline(line, converter.ImgPath())) std::abort();
  }
  return 0;
}
