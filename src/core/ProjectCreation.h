// Creating a project's files with the program's own texts: the one step that both the
// new-project command of TModule and `pagewick-cli new` take. Stateless.
#pragma once

#include <QString>

namespace pw {

// The template folder beside projectPath, from the built-in blank template (templatePath
// empty) or from a site template file, and the project's first content text in content; the
// blank project's texts are the localized ones. False with the reason in error.
bool CreateLocalizedProjectFiles(const QString& projectPath, const QString& templatePath, QString& content,
                                 QString* error = nullptr);

}  // namespace pw
