#include "platform/Paths.h"

#include <QStringList>

namespace pw::platform {

namespace {

bool IsSeparator(QChar c) { return c == u'/' || c == u'\\'; }

// Index of the last '/' or '\', or -1.
qsizetype LastSeparator(const QString& path) {
  for (qsizetype i = path.size() - 1; i >= 0; --i) {
    if (IsSeparator(path[i])) return i;
  }
  return -1;
}

// Index of the extension's dot inside the name part, or -1.
qsizetype ExtensionDot(const QString& path) {
  const qsizetype nameStart = LastSeparator(path) + 1;
  for (qsizetype i = path.size() - 1; i >= nameStart; --i) {
    if (path[i] == u'.') return i;
  }
  return -1;
}

}  // namespace

QString NormalizeSeparators(const QString& path) {
  QString result = path;
  result.replace(u'\\', u'/');
  return result;
}

QString IncludeTrailingSeparator(const QString& folder) {
  if (folder.isEmpty()) return folder;
  if (folder.back() == u'/') return folder;
  if (folder.back() == u'\\') return folder.left(folder.size() - 1) + u'/';
  return folder + u'/';
}

bool IsAbsolutePath(const QString& path) {
  if (path.isEmpty()) return false;
  return IsSeparator(path.front()) || path.contains(u':');
}

QString ExtractFileDir(const QString& path) {
  const qsizetype separator = LastSeparator(path);
  if (separator < 0) return QString();
  return NormalizeSeparators(path.left(separator + 1));
}

QString ExtractFileName(const QString& path) { return path.mid(LastSeparator(path) + 1); }

QString ExtractFileExt(const QString& path) {
  const qsizetype dot = ExtensionDot(path);
  return dot < 0 ? QString() : path.mid(dot);
}

QString ChangeFileExt(const QString& path, const QString& ext) {
  const qsizetype dot = ExtensionDot(path);
  return (dot < 0 ? path : path.left(dot)) + ext;
}

QString ConfinedJoin(const QString& root, const QString& relative) {
  if (IsAbsolutePath(relative) || relative.contains(QChar(u'\0'))) return QString();
  // The common case, a plain file name, needs no splitting: every page of a site comes here.
  if (!relative.isEmpty() && relative != u"." && relative != u".." && !relative.contains(u'/') &&
      !relative.contains(u'\\'))
    return IncludeTrailingSeparator(NormalizeSeparators(root)) + relative;

  QStringList kept;
  const QStringList parts = NormalizeSeparators(relative).split(u'/');
  for (const QString& part : parts) {
    if (part.isEmpty() || part == u".") continue;
    if (part == u"..") {
      // Climbing above root is refused; climbing back inside it is harmless.
      if (kept.isEmpty()) return QString();
      kept.removeLast();
      continue;
    }
    kept.append(part);
  }

  QString result = IncludeTrailingSeparator(NormalizeSeparators(root)) + kept.join(u'/');
  const bool namesFolder = !relative.isEmpty() && IsSeparator(relative.back());
  if (namesFolder && !kept.isEmpty()) result += u'/';
  return result;
}

}  // namespace pw::platform
