// Save As type 2: a project saved as a site template file. Built on TModule (borrowed) and
// the generator's site template writer; the host's SaveAsType calls it for stSiteTemplate.
#pragma once

#include <QString>

#include <functional>
#include <string>

namespace pw {

class TModule;

// Builds the site (its outcome does not stop the save), then writes the project title, the
// editor's text and the template folder to path. renderThumbnail, when given, renders the
// built first page as a 200x150 PNG. An empty path falls back to Save As. False when the
// file cannot be written (the host shows why).
bool SaveModuleAsSiteTemplate(TModule& module, const QString& path,
                              const std::function<bool(std::string& png)>& renderThumbnail = {});

}  // namespace pw
