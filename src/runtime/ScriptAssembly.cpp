#include "runtime/ScriptAssembly.h"

#include <QStringList>

#include <cstdint>
#include <string>

#include "markup/ContentText.h"
#include "platform/RegularFileRead.h"
#include "platform/Trim.h"

namespace pw {

namespace {

// A script unit larger than this is no script but a mistake (or a device); it is skipped like a
// missing one rather than read into memory.
constexpr std::int64_t kMaxUnitBytes = std::int64_t(64) << 20;

bool ReadUnit(const QString& path, QString& text) {
  std::string bytes;
  if (!platform::ReadRegularFile(path, kMaxUnitBytes, bytes)) return false;
  text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  // A byte-order mark would otherwise end up inside the assembled text, mid-script.
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  return true;
}

QString Folder(const QString& folder) {
  if (folder.isEmpty() || folder.endsWith(QLatin1Char('/'))) return folder;
  return folder + QLatin1Char('/');
}

void Expand(const QString& text, const TScriptFolders& folders, QStringList& included, QString& result) {
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (const QString& line : lines) {
    if (QStringView(line).left(8).compare(QLatin1String("#include"), Qt::CaseInsensitive) != 0) {
      result += QLatin1Char('\n');
      result += line;
      continue;
    }
    const QString name = line.mid(9).trimmed();
    if (included.contains(name, Qt::CaseInsensitive)) continue;
    included.append(name);
    QString unit;
    for (const QString& folder : {folders.TemplateFolder, folders.LibraryScripts}) {
      if (folder.isEmpty() || name.isEmpty()) continue;
      if (ReadUnit(Folder(folder) + name + QStringLiteral(".js"), unit)) {
        Expand(unit, folders, included, result);
        break;
      }
    }
  }
}

}  // namespace

QString AssembleScriptSource(std::string_view content, const TScriptFolders& folders) {
  QString source;
  if (!folders.TemplateFolder.isEmpty()) ReadUnit(Folder(folders.TemplateFolder) + QStringLiteral("template.js"), source);
  source += QLatin1Char('\n');
  const std::string includes = content::UsesIncludesOfText(content);
  source += QString::fromUtf8(includes.data(), static_cast<qsizetype>(includes.size()));
  return source;
}

QString ExpandIncludes(const QString& text, const TScriptFolders& folders) {
  QString result;
  QStringList included;
  Expand(text, folders, included, result);
  return result;
}

}  // namespace pw
