// pagewick-cli new FOLDER/NAME [--template FILE.pwtmpl] [--force]: creates a project file and
// its template folder, blank or from a site template file, as the new-project wizard does.
#include "cli/Commands.h"

#include "core/ProjectFile.h"
#include "core/Texts.h"
#include "generator/NewProject.h"
#include "generator/SiteTemplateFile.h"
#include "platform/FileIO.h"
#include "platform/FolderLock.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace pw::cli {

namespace {

constexpr char kSynopsis[] = "new FOLDER/NAME [--template FILE.pwtmpl] [--force]";

// What already exists and would be replaced; checked before and again under the folder's lock.
bool CheckNothingReplaced(const QString& projectPath, const QString& templateFolder, bool force) {
  if (force) return true;
  for (const QString& path : {projectPath, templateFolder}) {
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
      std::fprintf(stderr, "pagewick-cli: %s already exists (use --force to replace it)\n", qPrintable(path));
      return false;
    }
  }
  return true;
}

}  // namespace

int RunNew(const Args& args) {
  QString target, templateFile;
  bool force = false;
  if (!ParseArgs(args, {{.Name = "--template", .Value = &templateFile}, {.Name = "--force", .Flag = &force}}, target)) {
    return Usage(kSynopsis);
  }

  QString projectPath = QDir::current().absoluteFilePath(QDir::fromNativeSeparators(target));
  if (!projectPath.endsWith(QStringLiteral(".pwproj"), Qt::CaseInsensitive)) projectPath += QStringLiteral(".pwproj");
  if (QFileInfo(projectPath).completeBaseName().isEmpty()) return Usage(kSynopsis);
  // A second project beside the first shares its template folder: never replaced unasked.
  const QString folder = platform::ExtractFileDir(projectPath);
  const QString templateFolder = folder + QStringLiteral("template");
  if (!CheckNothingReplaced(projectPath, templateFolder, force)) return 1;
  QString error;
  if (!templateFile.isEmpty()) {
    TTemplate siteTemplate;
    if (!siteTemplate.LoadTemplateInfo(templateFile, &error)) {
      std::fprintf(stderr, "pagewick-cli: cannot use the site template %s: %s\n", qPrintable(templateFile),
                   qPrintable(error));
      return 1;
    }
  }
  platform::TFolderLock lock;
  if (!platform::ForceDirectories(folder) || !lock.TryLock(folder, &error)) {
    if (error.isEmpty()) error = QStringLiteral("Cannot create the folder %1").arg(folder);
    std::fprintf(stderr, "pagewick-cli: %s\n", qPrintable(error));
    return 1;
  }
  if (!CheckNothingReplaced(projectPath, templateFolder, force)) return 1;

  TNewProjectTexts texts;
  texts.PageTitle = LocalText("DefaultPageTitle");
  texts.Keywords = LocalText("DefaultKeywords");
  texts.Description = LocalText("DefaultDescription");
  texts.PageContent = LocalText("DefaultPageContent");
  QString content;
  if (!CreateProjectFiles(projectPath, templateFile, texts, content, &error)) {
    std::fprintf(stderr, "pagewick-cli: %s\n", qPrintable(error));
    return 1;
  }
  TProjectFileData data;
  data.Content = content.toStdString();
  if (!SaveProjectFile(projectPath, data, &error)) {
    std::fprintf(stderr, "pagewick-cli: cannot write %s: %s\n", qPrintable(projectPath), qPrintable(error));
    return 1;
  }
  std::printf("Created %s\n", qPrintable(projectPath));
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace pw::cli
