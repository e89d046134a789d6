// pagewick-cli new FOLDER/NAME [--template FILE.pwtmpl] [--force]: creates a project file and
// its template folder, blank or from a site template file, as the new-project wizard does.
#include "cli/Commands.h"

#include "core/ProjectCreation.h"
#include "core/ProjectFile.h"
#include "platform/FileIO.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace pw::cli {

int RunNew(const TArgs& args) {
  QString target, error;
  std::string templateArg;
  bool force = false;
  if (!ParseArgs(args, {{.Name = "--template", .Value = &templateArg}, {.Name = "--force", .Flag = &force}}, {&target},
                 &error)) {
    return UsageError("new", error);
  }
  const QString templateFile = ArgText(templateArg);

  QString projectPath = QDir::current().absoluteFilePath(QDir::fromNativeSeparators(target));
  if (!projectPath.endsWith(QStringLiteral(".pwproj"), Qt::CaseInsensitive)) projectPath += QStringLiteral(".pwproj");
  if (QFileInfo(projectPath).completeBaseName().isEmpty())
    return UsageError("new", QStringLiteral("no project name given"));
  if (platform::FileExists(projectPath) && !force) {
    PrintError(QStringLiteral("%1 already exists (use --force to replace it)").arg(projectPath));
    return 1;
  }
  if (!templateFile.isEmpty() && !platform::FileExists(templateFile)) {
    PrintError(QStringLiteral("cannot read the site template %1").arg(templateFile));
    return 1;
  }

  QString content;
  if (!CreateLocalizedProjectFiles(projectPath, templateFile, content, &error)) {
    PrintError(error);
    return 1;
  }
  TProjectFileData data;
  data.Content = content.toStdString();
  if (!SaveProjectFile(projectPath, data, &error)) {
    PrintError(QStringLiteral("cannot write %1: %2").arg(projectPath, error));
    return 1;
  }
  std::printf("Created %s\n", qPrintable(projectPath));
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace pw::cli
