#include "core/SiteTemplateSave.h"

#include "core/Module.h"
#include "core/Texts.h"
#include "generator/Template.h"

namespace pw {

bool SaveModuleAsSiteTemplate(TModule& module, const QString& path,
                              const std::function<bool(std::string& png)>& renderThumbnail) {
  if (path.isEmpty()) return module.CmSaveAs();
  module.BuildSite();
  module.RefreshPageList(true);  // the project title comes from the preamble's $title
  TSiteTemplateSource source;
  source.Title = module.ProjectTitle();
  source.Content = module.Editor().Text().toStdString();
  source.ProjectFolder = module.BasePath();
  source.RenderThumbnail = renderThumbnail;
  QString error;
  if (SaveSiteTemplate(path, source, &error)) return true;
  module.Host().ShowMessage(LocalText("Title"), error, TMessageKind::Error);
  return false;
}

}  // namespace pw
