#include "platform/ResolvedPath.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

namespace pw::platform {

QString ResolveExistingPart(const QString& path) {
  QString existing = QDir::cleanPath(QDir::current().absoluteFilePath(NormalizeSeparators(path)));
  QString rest;
  // Climb to the deepest ancestor that exists; a dangling link counts as missing.
  while (!QFileInfo::exists(existing)) {
    const qsizetype slash = existing.lastIndexOf(u'/');
    if (slash <= 0) {
      rest = existing.mid(1) + (rest.isEmpty() ? QString() : u'/' + rest);
      existing = QStringLiteral("/");
      break;
    }
    rest = existing.mid(slash + 1) + (rest.isEmpty() ? QString() : u'/' + rest);
    existing.truncate(slash);
  }
  QString resolved = QFileInfo(existing).canonicalFilePath();
  if (resolved.isEmpty()) resolved = existing;
  if (rest.isEmpty()) return resolved;
  return resolved.endsWith(u'/') ? resolved + rest : resolved + u'/' + rest;
}

bool ResolvesInside(const QString& folder, const QString& path) {
  const QString root = ResolveExistingPart(folder);
  const QString target = ResolveExistingPart(path);
  if (target == root) return true;
  return target.startsWith(root.endsWith(u'/') ? root : root + u'/');
}

}  // namespace pw::platform
