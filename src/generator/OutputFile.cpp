#include "generator/OutputFile.h"

#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/StaleTemporaries.h"
#include "platform/SystemError.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

namespace {

int CreateTemporary(const std::string& target, std::string& temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = target + platform::TemporarySuffix();
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

bool Fail(QString* error, const QString& reason) {
  if (error) *error = reason;
  return false;
}

}  // namespace

bool WriteOutputFile(const QString& path, std::string_view bytes, QString* error) {
  const std::string target = QFile::encodeName(path).toStdString();
  if (target.empty()) return Fail(error, QStringLiteral("no file name given"));
  std::string temporary;
  int fd = CreateTemporary(target, temporary);
  if (fd < 0 && errno == ENOENT) {
    QString folder = platform::ExtractFileDir(path);
    if (folder.isEmpty() || !platform::ForceDirectories(folder))
      return Fail(error, QStringLiteral("cannot create the folder %1").arg(folder));
    fd = CreateTemporary(target, temporary);
  }
  if (fd < 0) return Fail(error, platform::SystemErrorText(errno));
  int failure = WriteAll(fd, bytes) ? 0 : errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  QString reason;
  if (failure != 0) reason = platform::SystemErrorText(failure);
  // A folder (or anything else that is not a file) at the target is never replaced.
  struct stat existing;
  if (reason.isEmpty() && ::lstat(target.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
    reason = QStringLiteral("is a folder");
  if (reason.isEmpty()) {
    if (::rename(temporary.c_str(), target.c_str()) == 0) return true;
    reason = platform::SystemErrorText(errno);
  }
  ::unlink(temporary.c_str());
  return Fail(error, reason);
}

}  // namespace pw
