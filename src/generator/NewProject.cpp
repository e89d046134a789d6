#include "generator/NewProject.h"

#include "generator/PageTemplates.h"
#include "generator/Template.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace pw {

namespace {

// Deletes a folder tree even when entries are read-only (folders need write permission).
bool RemoveFolderTree(const QString& folder) {
  QFileInfo info(folder);
  if (!info.exists() && !info.isSymLink()) return true;
  if (info.isSymLink() || !info.isDir()) return QFile::remove(folder);  // never follow a link
  const auto writable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
  QFile::setPermissions(folder, QFile::permissions(folder) | writable);
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QString entry = it.next();
    QFileInfo entryInfo(entry);
    if (entryInfo.isDir() && !entryInfo.isSymLink())
      QFile::setPermissions(entry, QFile::permissions(entry) | writable);
  }
  return QDir(folder).removeRecursively();
}

}  // namespace

QString BlankProjectContent(const QString& name, const TNewProjectTexts& texts) {
  QStringList lines = {
      QStringLiteral("$title ") + name,
      QString(),
      QStringLiteral("[index.html]"),
      QStringLiteral("$title ") + texts.PageTitle,
      QStringLiteral("$keywords ") + texts.Keywords,
      QStringLiteral("$description ") + texts.Description,
      QStringLiteral("= ") + name,
      QString(),
      QStringLiteral("== ") + texts.PageTitle,
      QString(),
      texts.PageContent,
  };
  return lines.join(u'\n');
}

bool CreateProjectFiles(const QString& projectPath, const QString& templatePath,
                        const TNewProjectTexts& texts, QString& content, QString* error) {
  auto fail = [&](const QString& message) {
    if (error) *error = message;
    return false;
  };
  content.clear();
  QString path = platform::NormalizeSeparators(projectPath);
  QString name = QFileInfo(path).completeBaseName();
  QString folder = platform::ExtractFileDir(path);
  if (folder.isEmpty()) folder = platform::IncludeTrailingSeparator(QDir::currentPath());
  QString templateFolder = folder + QStringLiteral("template/");

  if (!RemoveFolderTree(templateFolder.chopped(1)))
    return fail(QStringLiteral("Cannot delete the template folder %1.").arg(templateFolder));
  if (!platform::ForceDirectories(templateFolder))
    return fail(QStringLiteral("Cannot create the template folder %1.").arg(templateFolder));

  if (templatePath.isEmpty()) {
    QString message;
    if (!platform::WriteWholeFile(templateFolder + QStringLiteral("index.html"), DefaultTemplateText(), &message))
      return fail(message);
    content = BlankProjectContent(name, texts);
    return true;
  }

  TTemplate siteTemplate;
  QString reason;
  if (!siteTemplate.LoadTemplateInfo(templatePath, &reason))
    return fail(QStringLiteral("%1 is not a site template file: %2").arg(templatePath, reason));
  content = QString::fromStdString(siteTemplate.Content());
  if (!siteTemplate.ExtractTemplateFolder(folder, &reason))
    return fail(QStringLiteral("Cannot unpack the template folder into %1: %2").arg(folder, reason));
  return true;
}

}  // namespace pw
