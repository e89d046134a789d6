// pagewick-cli new FOLDER/NAME [--template FILE.pwtmpl] [--force]: creates a project file and
// its template folder, blank or from a site template file, as the new-project wizard does.
#include "cli/Commands.h"

#include "core/ProjectCreation.h"
#include "core/ProjectFile.h"
#include "generator/Template.h"
#include "platform/FileIO.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace pw::cli {

namespace {

// What already exists and would be replaced; checked before and again under the folder's lock.
bool CheckNothingReplaced(const QString& projectPath, const QString& templateFolder, bool force) {
  if (force) return true;
  for (const QString& path : {projectPath, templateFolder}) {
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
      PrintError(QStringLiteral("%1 already exists (use --force to replace it)").arg(path));
      return false;
    }
  }
  return true;
}

}  // namespace

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
  // A second project beside the first shares its template folder: never replaced unasked.
  const QString folder = platform::ExtractFileDir(projectPath);
  const QString templateFolder = folder + QStringLiteral("template");
  if (!CheckNothingReplaced(projectPath, templateFolder, force)) return 1;
  if (!templateFile.isEmpty()) {
    TTemplate siteTemplate;
    if (!siteTemplate.LoadTemplateInfo(templateFile, &error)) {
      PrintError(QStringLiteral("cannot use the site template %1: %2").arg(templateFile, error));
      return 1;
    }
  }
  platform::TFolderLock lock;
  QString reason;
  if (!platform::ForceDirectories(folder, &reason) || !lock.TryLock(folder, &error)) {
    if (error.isEmpty()) error = QStringLiteral("Cannot create the folder %1: %2").arg(folder, reason);
    PrintError(error);
    return 1;
  }
  if (!CheckNothingReplaced(projectPath, templateFolder, force)) return 1;

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
