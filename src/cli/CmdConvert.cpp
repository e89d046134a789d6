// pagewick-cli convert: one section body on standard input, its HTML on
// standard output, byte for byte, with nothing added.
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "markup/Converters.h"

namespace pw::cli {

namespace {

bool ReadAll(FILE* in, std::string& data) {
  char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) data.append(buffer, got);
  return !std::ferror(in);
}

}  // namespace

int RunConvert(const Args& args) {
  THTMLConverter converter;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if ((option == "--img-path" || option == "--pre-style") && i + 1 < args.size()) {
      if (option == "--img-path")
        converter.SetImgPath(args[++i]);
      else
        converter.SetPreStyle(args[++i]);
    } else {
      std::fprintf(stderr, "pagewick-cli convert: %s '%s'\n",
                   option.rfind("--", 0) == 0 && (option == "--img-path" || option == "--pre-style")
                       ? "missing value for"
                       : "unknown option",
                   option.c_str());
      std::fprintf(stderr, "Usage: pagewick-cli convert [--img-path P] [--pre-style S] < body > html\n");
      return 2;
    }
  }
  std::string body;
  if (!ReadAll(stdin, body)) {
    std::fprintf(stderr, "pagewick-cli convert: cannot read standard input\n");
    return 1;
  }
  std::string html = converter.Convert(body);
  if (std::fwrite(html.data(), 1, html.size(), stdout) != html.size() || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "pagewick-cli convert: cannot write standard output\n");
    return 1;
  }
  return 0;
}

}  // namespace pw::cli
