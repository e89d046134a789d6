#include "platform/FileIO.h"

#include "platform/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace pw::platform {

namespace {

void SetError(QString* error, const QString& message) {
  if (error) *error = message;
}

// A file name to read or write: not empty and not a folder.
bool CheckFilePath(const QString& path, QString* error) {
  if (path.isEmpty()) {
    SetError(error, QStringLiteral("No file name given"));
    return false;
  }
  if (QFileInfo(path).isDir()) {
    SetError(error, QStringLiteral("\"%1\" is a folder, not a file").arg(path));
    return false;
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const QString& path, std::string& bytes, QString* error) {
  if (!CheckFilePath(path, error)) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    SetError(error, QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString()));
    return false;
  }
  std::string content;
  const qint64 size = file.size();
  if (size > 0) content.reserve(static_cast<size_t>(size));
  char buffer[64 * 1024];
  for (;;) {
    const qint64 count = file.read(buffer, sizeof buffer);
    if (count < 0) {
      SetError(error, QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()));
      return false;
    }
    if (count == 0) break;
    content.append(buffer, static_cast<size_t>(count));
  }
  bytes.swap(content);
  return true;
}

bool WriteWholeFile(const QString& path, std::string_view bytes, QString* error) {
  // A folder in the file's place has its parent already, so checking it first changes nothing.
  if (!CheckFilePath(path, error)) return false;
  const QString folder = QFileInfo(path).absolutePath();
  if (!ForceDirectories(folder)) {
    SetError(error, QStringLiteral("Cannot create the folder \"%1\"").arg(folder));
    return false;
  }
  QSaveFile file(path);
  // Unbuffered, so a short write (disk full, size limit) fails here: a buffered write would only
  // fail in the flush inside commit(), which QSaveFile does not count as an error.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    SetError(error, QStringLiteral("Cannot create \"%1\": %2").arg(path, file.errorString()));
    return false;
  }
  const char* data = bytes.data();
  qint64 remaining = static_cast<qint64>(bytes.size());
  while (remaining > 0) {
    const qint64 written = file.write(data, remaining);
    if (written <= 0) {
      SetError(error, QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
      file.cancelWriting();
      return false;
    }
    data += written;
    remaining -= written;
  }
  if (!file.commit()) {
    SetError(error, QStringLiteral("Cannot save \"%1\": %2").arg(path, file.errorString()));
    return false;
  }
  return true;
}

namespace {

// Why a folder could not be made: the step below its deepest existing part is tried again for
// the system's reason, unless that part is a file.
QString FolderFailure(const QString& folder) {
  QString existing = QDir::cleanPath(folder);
  QString below;
  while (!QFileInfo::exists(existing)) {
    const QString parent = QFileInfo(existing).path();
    if (parent == existing) break;
    below = existing;
    existing = parent;
  }
  if (!QFileInfo(existing).isDir()) return SystemErrorText(ENOTDIR);
  if (!below.isEmpty() && ::mkdir(QFile::encodeName(below).constData(), 0777) != 0) return SystemErrorText(errno);
  return QStringLiteral("The folder could not be created");
}

}  // namespace

bool ForceDirectories(const QString& folder, QString* error) {
  if (folder.isEmpty()) {
    if (error) *error = QStringLiteral("No folder name given");
    return false;
  }
  if (QFileInfo(folder).isDir()) return true;
  QDir().mkpath(folder);
  if (QFileInfo(folder).isDir()) return true;
  if (error) *error = FolderFailure(folder);
  return false;
}

bool FileExists(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  return info.exists() && !info.isDir();
}

bool DirectoryExists(const QString& path) {
  if (path.isEmpty()) return false;
  return QFileInfo(path).isDir();
}

bool ListFolderNames(const QString& folder, std::unordered_set<std::string>& names) {
  DIR* dir = ::opendir(QFile::encodeName(folder).constData());
  if (!dir) return false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name != "." && name != "..") names.emplace(name);
  }
  ::closedir(dir);
  return true;
}

TFileStamp StampOf(int fd) {
  struct stat info;
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return TFileStamp();
  return {info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_ino};
}

}  // namespace pw::platform
