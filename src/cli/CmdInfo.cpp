// pagewick-cli info PROJECT [--show-password]: the project title and publishing settings,
// one "key: value" a line. The password shows only as its length unless asked for.
#include "cli/Commands.h"

#include "core/ProjectFile.h"
#include "markup/ContentText.h"

#include <cstdio>
#include <string>

namespace pw::cli {
namespace {

void PrintLine(const char* key, const std::string& value) {
  std::fprintf(stdout, "%s: ", key);
  std::fwrite(value.data(), 1, value.size(), stdout);
  std::fputc('\n', stdout);
}

void PrintLine(const char* key, const QString& value) { PrintLine(key, value.toStdString()); }

std::string YesNo(bool value) { return value ? "yes" : "no"; }

}  // namespace

int RunInfo(const TArgs& args) {
  QString project, error;
  bool showPassword = false;
  if (!ParseArgs(args, {{.Name = "--show-password", .Flag = &showPassword}}, {&project}, &error))
    return UsageError("info", error);
  TProjectFileData data;
  if (!LoadProjectArg(project, data)) return 1;
  const TProjectState& s = data.State;
  PrintLine("title", content::ScanPages(data.Content, "").ProjectTitle);
  PrintLine("server", s.FTPServer);
  PrintLine("user name", s.FTPUserName);
  if (showPassword) PrintLine("password", s.FTPPassword);
  else PrintLine("password length", std::to_string(s.FTPPassword.toUcs4().size()));
  PrintLine("port", s.FTPPort);
  PrintLine("remote root", s.FTPRemoteRoot);
  PrintLine("passive mode", YesNo(s.FTPPassiveMode));
  PrintLine("changes only", YesNo(s.UploadChangesOnly));
  qsizetype uploads = 0;
  for (const QString& entry : s.UploadFiles) uploads += entry.isEmpty() ? 0 : 1;
  PrintLine("uploads", std::to_string(uploads));
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace pw::cli
