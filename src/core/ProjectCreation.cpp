#include "core/ProjectCreation.h"

#include "core/Texts.h"
#include "generator/NewProject.h"

namespace pw {

bool CreateLocalizedProjectFiles(const QString& projectPath, const QString& templatePath, QString& content,
                                 QString* error) {
  TNewProjectTexts texts;
  texts.PageTitle = LocalText("DefaultPageTitle");
  texts.Keywords = LocalText("DefaultKeywords");
  texts.Description = LocalText("DefaultDescription");
  texts.PageContent = LocalText("DefaultPageContent");
  return CreateProjectFiles(projectPath, templatePath, texts, content, error);
}

}  // namespace pw
