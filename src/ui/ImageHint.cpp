#include "ui/ImageHint.h"

#include <QDir>
#include <QFileInfo>

namespace pw::ui {
namespace {

bool IsNameChar(QChar c) {
  const char16_t u = c.unicode();
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
         u == '.' || u == '/' || u == ':' || u == '_';
}

QString WithSlash(QString folder) {
  folder.replace(u'\\', u'/');
  if (!folder.isEmpty() && !folder.endsWith(u'/')) folder += u'/';
  return folder;
}

// The rest of a directive line after its lower-case prefix, or a null string.
QString DirectiveValue(const QString& line, QLatin1String prefix) {
  if (!line.startsWith(prefix, Qt::CaseInsensitive)) return QString();
  return line.mid(prefix.size());
}

}  // namespace

QString TImageHint::NameAt(const QString& line, int column) {
  if (column < 0 || column >= line.size()) return {};
  int left = column;
  while (left >= 0 && IsNameChar(line[left])) --left;
  if (left < 0 || (line[left] != u'(' && line[left] != u'[')) return {};
  int right = column;
  while (right < line.size() && IsNameChar(line[right])) ++right;
  // The end of the line does not close a name.
  if (right >= line.size()) return {};
  const QChar end = line[right];
  if (end != u' ' && end != u')' && end != u',' && end != u']') return {};
  return line.mid(left + 1, right - left - 1);
}

QString TImageHint::FindImageFile(const QString& name, const QString& folder) {
  static const QStringList kExtensions{".jpg", ".gif", ".png"};
  const QFileInfo info(name);
  const QString suffix = info.suffix();
  QStringList candidates;
  if (suffix.isEmpty() || name.endsWith(u'/')) {
    for (const QString& ext : kExtensions) candidates << name + ext;
  } else {
    if (kExtensions.contains(u'.' + suffix, Qt::CaseInsensitive)) candidates << name;
    const QString stem = name.left(name.size() - suffix.size() - 1);
    for (const QString& ext : kExtensions) candidates << stem + ext;
  }
  for (const QString& candidate : candidates) {
    const QString path = folder + candidate;
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

bool TImageHint::FindHintImage(const QStringList& firstLines, const QString& line,
                               const QString& projectFolder, int column) {
  QString outPath = QStringLiteral("html/");
  QString imagePath = QStringLiteral("images/");
  for (const QString& text : firstLines) {
    if (text.startsWith(u'[') && text.endsWith(u']') && text.size() > 2) break;
    QString value = DirectiveValue(text, QLatin1String("$image_path "));
    if (!value.isNull()) {
      value.replace(QStringLiteral("{$url}"), QString(), Qt::CaseInsensitive);
      imagePath = WithSlash(value.trimmed());
      continue;
    }
    value = DirectiveValue(text, QLatin1String("$out_path "));
    if (!value.isNull()) outPath = WithSlash(value.trimmed());
  }
  const QString name = NameAt(line, column - 1);
  // The same name again: the kept picture still answers (re-showing the hint keeps it up).
  if (!name.isEmpty() && name == FLastName) return !FPicture.isNull();

  const bool absolute = outPath.startsWith(u'/') || outPath.contains(u':');
  const QString base = WithSlash(absolute ? outPath : WithSlash(projectFolder) + outPath);
  const QString imageFolder = base + imagePath;
  QStringList folders{base, imageFolder};
  const QStringList subfolders =
      QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
  for (const QString& sub : subfolders) {
    if (sub.startsWith(u'.')) continue;
    const QString folder = base + sub + u'/';
    if (QDir::cleanPath(folder) != QDir::cleanPath(imageFolder)) folders << folder;
  }
  QString found;
  if (!name.isEmpty()) {
    for (const QString& folder : folders) {
      found = FindImageFile(name, folder);
      if (!found.isEmpty()) break;
    }
  }
  if (found.isEmpty()) {
    Clear();
    return false;
  }
  Load(found);
  FLastName = name;
  return !FPicture.isNull();
}

void TImageHint::Load(const QString& path) {
  if (path == FPicturePath) return;
  FPicturePath = path;
  // A file that is not a picture leaves an empty image: no hint, no error.
  FPicture = QImage(path);
}

void TImageHint::Clear() {
  FLastName.clear();
  FPicturePath.clear();
  FPicture = QImage();
}

}  // namespace pw::ui
