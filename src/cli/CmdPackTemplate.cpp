// pagewick-cli pack-template PROJECT OUT.pwtmpl: saves a project as a site template file (its
// title, content text and template folder; the thumbnail needs the preview and is left out).
#include "cli/Commands.h"

#include "core/ProjectFile.h"
#include "generator/Template.h"
#include "markup/ContentText.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace pw::cli {

int RunPackTemplate(const TArgs& args) {
  QString project, outArg, error;
  if (!ParseArgs(args, {}, {&project, &outArg}, &error)) return UsageError("pack-template", error);
  const QString out = QDir::current().absoluteFilePath(outArg);
  // Not while another command replaces this project's template folder.
  platform::TFolderLock lock;
  const QString projectFolder = platform::ExtractFileDir(QFileInfo(project).absoluteFilePath());
  if (QFileInfo(projectFolder).isDir() && !lock.TryLock(projectFolder, &error)) {
    PrintError(error);
    return 1;
  }
  TProjectFileData data;
  if (!LoadProjectArg(project, data)) return 1;
  TSiteTemplateSource source;
  source.Title = QString::fromStdString(content::ScanPages(data.Content, "").ProjectTitle);
  source.Content = data.Content;
  source.ProjectFolder = projectFolder;
  if (!SaveSiteTemplate(out, source, &error)) {
    PrintError(error);
    return 1;
  }
  std::printf("Saved %s\n", qPrintable(out));
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace pw::cli
