// TModule's site build and project creation: the generator and the template files.
#include "core/Model.h"
#include "core/SiteBuild.h"
#include "core/Texts.h"
#include "generator/Generator.h"
#include "generator/NewProject.h"

namespace pw {

TGenerator& TModule::Generator() {
  if (!FGenerator) FGenerator = std::make_shared<TGenerator>();
  return *FGenerator;
}

bool TModule::BuildSite() {
  // The template editor settles its unsaved files first; cancelling there ends the build.
  if (ConfirmTemplateChanges && !ConfirmTemplateChanges()) return false;
  TSiteBuildOptions options;
  options.BasePath = BasePath();
  options.ProjectFile = ProjectPath();
  options.Scripts = FBuildScripts;
  return BuildSiteContent(Generator(), ContentUtf8(), options);
}

bool TModule::CreateProject(const QString& projectPath, const QString& templatePath) {
  ResetProject();
  TNewProjectTexts texts;
  texts.PageTitle = LocalText("DefaultPageTitle");
  texts.Keywords = LocalText("DefaultKeywords");
  texts.Description = LocalText("DefaultDescription");
  texts.PageContent = LocalText("DefaultPageContent");
  QString content;
  bool created = CreateProjectFiles(projectPath, templatePath, texts, content);
  FEditor.SetText(content);
  SetProjectFileName(projectPath);
  // Not on disk until saved: the new project starts modified.
  FEditor.SetModified(true);
  RefreshPageList(true);
  if (CompileScripts) CompileScripts();
  return created;
}

}  // namespace pw
