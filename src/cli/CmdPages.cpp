// pagewick-cli pages PROJECT: the page list as the main window shows it, one caption a line.
#include "cli/Commands.h"

#include "core/ProjectFile.h"
#include "core/Texts.h"
#include "markup/ContentText.h"

#include <cstdio>

namespace pw::cli {

int RunPages(const TArgs& args) {
  QString path, error;
  if (!ParseArgs(args, {}, {&path}, &error)) return UsageError("pages", error);
  TProjectFileData data;
  if (!LoadProjectArg(path, data)) return 1;
  const content::TPageScan scan = content::ScanPages(data.Content, LocalText("Project").toStdString());
  for (const content::TPageEntry& entry : scan.Entries) {
    std::fwrite(entry.Caption.data(), 1, entry.Caption.size(), stdout);
    std::fputc('\n', stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace pw::cli
