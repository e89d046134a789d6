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

// Replaces the template folder beside projectPath (read-only entries included): without a
// template file by one holding the default template as "index.html", and sets content to the
// blank project's text; with one, by its template folder, and sets content from its
// "template.xml". The template file is checked first and the new folder is filled beside the
// old one, then swapped in. False with a message when the template file is not usable or a
// file cannot be written; content is then empty and the old template folder is unchanged.
bool CreateProjectFiles(const QString& projectPath, const QString& templatePath,
                        const TNewProjectTexts& texts, QString& content, QString* error = nullptr);

}  // namespace pw
