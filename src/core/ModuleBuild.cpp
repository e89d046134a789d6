// TModule's site build and project creation: the generator and the template files.
#include "core/Module.h"
#include "core/ProjectCreation.h"
#include "core/SiteBuild.h"
#include "generator/Generator.h"
#include "generator/Variables.h"

namespace pw {

TGenerator& TModule::Generator() {
  if (!FGenerator) FGenerator = std::make_shared<TGenerator>();
  return *FGenerator;
}

bool TModule::BuildSite() {
  // The template editor settles its unsaved files first; cancelling there ends the build.
  if (!FHost.ConfirmTemplateChanges()) return false;
  UpdateScriptFolders();
  TSiteBuildOptions options;
  options.BasePath = BasePath();
  options.ProjectFile = ProjectPath();
  options.Scripts = FBuildScripts;
  return BuildSiteContent(Generator(), ContentUtf8(), options);
}

QString TModule::BrowseTarget() {
  const QString baseUrl = QString::fromStdString(ValueToText(Generator().GetVar("base_url")));
  if (!baseUrl.isEmpty()) return baseUrl;
  const QString page = CurrentPageName();
  return page.isEmpty() ? QString() : Generator().ContentPath() + page;
}

bool TModule::CreateProject(const QString& projectPath, const QString& templatePath, QString* error) {
  ResetProject();
  QString content;
  bool created = CreateLocalizedProjectFiles(projectPath, templatePath, content, error);
  FEditor.SetText(content);
  SetProjectFileName(projectPath);
  // Not on disk until saved: the new project starts modified.
  SetModified(true);
  RefreshPageList(true);
  CompileScripts();
  return created;
}

}  // namespace pw
