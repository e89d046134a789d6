// The file half of creating a project: resetting its template folder and choosing its first
// content text, from the built-in blank template or from a site template file. Stateless.
#pragma once

#include <QString>

namespace pw {

// The texts a blank project starts with (the caller passes the localized ones).
struct TNewProjectTexts {
  QString PageTitle = QStringLiteral("My Web Project");
  QString Keywords = QStringLiteral("Page keywords");
  QString Description = QStringLiteral("Page description");
  QString PageContent = QStringLiteral("Write here content of your web project...");
};

// The content text of a blank project named `name`, lines joined by LF.
QString BlankProjectContent(const QString& name, const TNewProjectTexts& texts);

// Deletes the template folder beside projectPath with everything in it (read-only entries
// included) and creates it again empty. Then, without a template file, writes the default
// template as "index.html" and sets content to the blank project's text; with one, sets
// content from its "template.xml" and unpacks its template folder. False with a message when
// the template file cannot be opened (content is then empty) or a file cannot be written.
bool CreateProjectFiles(const QString& projectPath, const QString& templatePath,
                        const TNewProjectTexts& texts, QString& content, QString* error = nullptr);

}  // namespace pw
