// pagewick-cli pack-template PROJECT OUT.pwtmpl: saves a project as a site template file (its
// title, content text and template folder; the thumbnail needs the preview and is left out).
#include "cli/Commands.h"

#include "core/ContentText.h"
#include "core/ProjectFile.h"
#include "generator/SiteTemplateFile.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace pw::cli {

int RunPackTemplate(const Args& args) {
  if (args.size() != 2 || args[0].empty() || args[0][0] == '-' || args[1].empty() || args[1][0] == '-') {
    return Usage("pack-template PROJECT OUT.pwtmpl");
  }
  const QString project = QString::fromLocal8Bit(args[0].c_str());
  const QString out = QDir::current().absoluteFilePath(QString::fromLocal8Bit(args[1].c_str()));
  // Not while another command replaces this project's template folder.
  QString error;
  platform::TFolderLock lock;
  const QString projectFolder = platform::ExtractFileDir(QFileInfo(project).absoluteFilePath());
  if (QFileInfo(projectFolder).isDir() && !lock.TryLock(projectFolder, &error)) {
    std::fprintf(stderr, "pagewick-cli: %s\n", qPrintable(error));
    return 1;
  }
  TProjectFileData data;
  if (!LoadProjectArg(project, data)) return 1;
  TSiteTemplateSource source;
  source.Title = QString::fromStdString(content::ScanPages(data.Content, "").ProjectTitle);
  source.Content = data.Content;
  source.ProjectFolder = projectFolder;
  if (!SaveSiteTemplate(out, source, &error)) {
    std::fprintf(stderr, "pagewick-cli: %s\n", qPrintable(error));
    return 1;
  }
  std::printf("Saved %s\n", qPrintable(out));
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace pw::cli
