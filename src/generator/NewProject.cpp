#include "generator/NewProject.h"

#include "generator/PageTemplates.h"
#include "generator/Template.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/StaleTemporaries.h"
#include "platform/SystemError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

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
  const QString templateFolder = folder + QStringLiteral("template");

  // Everything that can be checked is checked before the disk is touched.
  TTemplate siteTemplate;
  QString newContent, reason;
  if (templatePath.isEmpty()) {
    newContent = BlankProjectContent(name, texts);
  } else {
    if (!siteTemplate.LoadTemplateInfo(templatePath, &reason))
      return fail(QStringLiteral("%1 is not a site template file: %2").arg(templatePath, reason));
    newContent = QString::fromStdString(siteTemplate.Content());
  }

  // The new folder is filled beside the old one and swapped in only when complete, so that a
  // failure leaves the old template folder as it was.
  if (!platform::ForceDirectories(folder, &reason))
    return fail(QStringLiteral("Cannot create the folder %1: %2.").arg(folder, reason));
  platform::RemoveStaleTemporaries(folder);
  const QString staging = templateFolder + QString::fromStdString(platform::TemporarySuffix());
  bool filled;
  if (templatePath.isEmpty()) {
    filled = platform::WriteWholeFile(staging + QStringLiteral("/index.html"), DefaultTemplateText(), &reason);
  } else {
    filled = siteTemplate.ExtractTemplateFolderInto(staging, &reason);
    if (!filled) reason = QStringLiteral("Cannot unpack %1: %2").arg(templatePath, reason);
  }
  if (!filled) {
    RemoveFolderTree(staging);
    return fail(reason);
  }

  const QByteArray target = QFile::encodeName(templateFolder);
  const QFileInfo old(templateFolder);
  QString retired;
  if (old.exists() || old.isSymLink()) {
    retired = templateFolder + QString::fromStdString(platform::TemporarySuffix());
    if (std::rename(target.constData(), QFile::encodeName(retired).constData()) != 0) {
      const QString why = platform::SystemErrorText();
      RemoveFolderTree(staging);
      return fail(QStringLiteral("Cannot replace the template folder %1/: %2").arg(templateFolder, why));
    }
  }
  if (std::rename(QFile::encodeName(staging).constData(), target.constData()) != 0) {
    const QString why = platform::SystemErrorText();
    if (!retired.isEmpty()) std::rename(QFile::encodeName(retired).constData(), target.constData());
    RemoveFolderTree(staging);
    return fail(QStringLiteral("Cannot create the template folder %1/: %2").arg(templateFolder, why));
  }
  if (!retired.isEmpty()) RemoveFolderTree(retired);
  content = newContent;
  return true;
}

}  // namespace pw
