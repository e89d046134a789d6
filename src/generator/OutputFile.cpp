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

bool Fail(QString* error, const QString& message) {
  if (error) *error = message;
  return false;
}

}  // namespace

bool WriteOutputFile(const QString& path, std::string_view bytes, QString* error) {
  const std::string target = QFile::encodeName(path).toStdString();
  if (target.empty()) return Fail(error, QStringLiteral("No file name given"));
  std::string temporary;
  int fd = CreateTemporary(target, temporary);
  if (fd < 0 && errno == ENOENT) {
    QString folder = platform::ExtractFileDir(path);
    if (folder.isEmpty() || !platform::ForceDirectories(folder))
      return Fail(error, QStringLiteral("Cannot create the folder \"%1\"").arg(folder));
    fd = CreateTemporary(target, temporary);
  }
  if (fd < 0) return Fail(error, platform::SystemErrorText(errno));
  int code = 0;
  if (!WriteAll(fd, bytes)) code = errno;
  if (::close(fd) != 0 && code == 0) code = errno;
  // A folder (or anything else that is not a file) at the target is never replaced.
  struct stat existing;
  if (code == 0 && ::lstat(target.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) code = EISDIR;
  if (code == 0 && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
  if (code == 0) code = errno;
  ::unlink(temporary.c_str());
  return Fail(error, platform::SystemErrorText(code));
}

}  // namespace pw
