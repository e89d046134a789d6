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

int RunConvert(const TArgs& args) {
  std::string imgPath, preStyle;
  QString error;
  if (!ParseArgs(args, {{.Name = "--img-path", .Value = &imgPath, .AllowEmpty = true},
                  {.Name = "--pre-style", .Value = &preStyle, .AllowEmpty = true}}, {},
                 &error)) {
    return UsageError("convert", error);
  }
  THTMLConverter converter;
  converter.SetImgPath(std::move(imgPath));
  converter.SetPreStyle(std::move(preStyle));
  std::string body;
  if (!ReadAll(stdin, body)) {
    PrintError(QStringLiteral("cannot read standard input"));
    return 1;
  }
  std::string html = converter.Convert(body);
  if (std::fwrite(html.data(), 1, html.size(), stdout) != html.size() || std::fflush(stdout) != 0) {
    PrintError(QStringLiteral("cannot write standard output"));
    return 1;
  }
  return 0;
}

}  // namespace pw::cli
