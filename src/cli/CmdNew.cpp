// pagewick-cli new FOLDER/NAME [--template FILE.pwtmpl] [--force]: creates a project file and
// its template folder, blank or from a site template file, as the new-project wizard does.
#include "cli/Commands.h"

#include "core/ProjectFile.h"
#include "core/Texts.h"
#include "generator/NewProject.h"
#include "platform/FileIO.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace pw::cli {

namespace {

constexpr char kSynopsis[] = "new FOLDER/NAME [--template FILE.pwtmpl] [--force]";

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
  if (platform::FileExists(projectPath) && !force) {
    std::fprintf(stderr, "pagewick-cli: %s already exists (use --force to replace it)\n", qPrintable(projectPath));
    return 1;
  }
  if (!templateFile.isEmpty() && !platform::FileExists(templateFile)) {
    std::fprintf(stderr, "pagewick-cli: cannot read the site template %s\n", qPrintable(templateFile));
    return 1;
  }

  TNewProjectTexts texts;
  texts.PageTitle = LocalText("DefaultPageTitle");
  texts.Keywords = LocalText("DefaultKeywords");
  texts.Description = LocalText("DefaultDescription");
  texts.PageContent = LocalText("DefaultPageContent");
  QString content, error;
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
