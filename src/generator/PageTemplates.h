// Page templates: the built-in default template and how a page's `template` variable selects
// its template file in the template folder. Stateless.
#pragma once

#include <QString>

#include <string_view>

namespace pw {

// The "index.html" that a project created without a site template file starts with.
std::string_view DefaultTemplateText();

// The template file name for a `template` variable value: "index.html" when empty, else the
// value with ".html" in place of its extension (or appended); '\' becomes '/'.
QString TemplateFileName(std::string_view templateVariable);

// The template file inside templateFolder, or an empty string when the value would leave
// the folder (an absolute path, a drive, or ".." climbing out).
QString TemplateFilePath(const QString& templateFolder, std::string_view templateVariable);

}  // namespace pw
