#include "platform/KnownFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/Paths.h"

namespace pw::platform {

namespace {

QString Environment(const char* name) { return qEnvironmentVariable(name); }

QString HomeFolder() { return IncludeTrailingSeparator(QDir::homePath()); }

// An absolute folder from the environment, or empty (XDG ignores relative values).
QString AbsoluteFromEnvironment(const char* name) {
  const QString value = Environment(name);
  if (value.isEmpty() || !value.startsWith(u'/')) return QString();
  return IncludeTrailingSeparator(value);
}

QString DocumentsFolder() {
  QString folder = AbsoluteFromEnvironment("XDG_DOCUMENTS_DIR");
  if (folder.isEmpty()) {
    // Reads ~/.config/user-dirs.dirs when there is one.
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!folder.isEmpty()) folder = IncludeTrailingSeparator(folder);
  }
  if (folder.isEmpty()) folder = HomeFolder() + QStringLiteral("Documents/");
  return folder;
}

QString AppDataFolder() {
  const QString folder = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
  return folder.isEmpty() ? HomeFolder() + QStringLiteral(".config/") : folder;
}

// A shared folder is used only when this user may write into it (or create it);
// otherwise settings and libraries would silently fail to save.
bool IsUsableSharedFolder(const QString& folder) {
  const QFileInfo info(folder);
  if (info.exists()) return info.isDir() && info.isWritable();
  const QFileInfo parent(QFileInfo(QDir::cleanPath(folder)).absolutePath());
  return parent.isDir() && parent.isWritable();
}

}  // namespace

QString SpecialFolderPath(SpecialFolder folder) {
  const QString home = Environment("PAGEWICK_HOME");
  if (!home.isEmpty()) {
    const QString root = IncludeTrailingSeparator(NormalizeSeparators(home));
    switch (folder) {
      case SpecialFolder::Documents: return root + QStringLiteral("documents/");
      case SpecialFolder::AppData: return root + QStringLiteral("appdata/");
      case SpecialFolder::CommonAppData: return root + QStringLiteral("common-appdata/");
      case SpecialFolder::CommonDocuments: return root + QStringLiteral("common-documents/");
    }
  }
  switch (folder) {
    case SpecialFolder::Documents: return DocumentsFolder();
    case SpecialFolder::AppData: return AppDataFolder();
    case SpecialFolder::CommonAppData: {
      const QString shared = QStringLiteral("/etc/xdg/");
      return IsUsableSharedFolder(shared) ? shared : AppDataFolder();
    }
    case SpecialFolder::CommonDocuments: {
      const QString shared = QStringLiteral("/srv/pagewick/");
      return IsUsableSharedFolder(shared) ? shared : DocumentsFolder();
    }
  }
  return QString();
}

QString ModuleFolder() {
  const QFileInfo program(QStringLiteral("/proc/self/exe"));
  const QString target = program.canonicalFilePath();
  if (!target.isEmpty()) return IncludeTrailingSeparator(QFileInfo(target).absolutePath());
  return IncludeTrailingSeparator(QDir::currentPath());
}

}  // namespace pw::platform
