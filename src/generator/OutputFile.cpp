#include "generator/OutputFile.h"

#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

namespace {

std::atomic<unsigned> gTemporaryCounter{0};

int CreateTemporary(const std::string& target, std::string& temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = target + ".pw-" + std::to_string(::getpid()) + "-" + std::to_string(gTemporaryCounter++) + ".tmp";
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

}  // namespace

bool WriteOutputFile(const QString& path, std::string_view bytes) {
  const std::string target = QFile::encodeName(path).toStdString();
  if (target.empty()) return false;
  std::string temporary;
  int fd = CreateTemporary(target, temporary);
  if (fd < 0 && errno == ENOENT) {
    QString folder = platform::ExtractFileDir(path);
    if (folder.isEmpty() || !platform::ForceDirectories(folder)) return false;
    fd = CreateTemporary(target, temporary);
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  ok = (::close(fd) == 0) && ok;
  // A folder (or anything else that is not a file) at the target is never replaced.
  struct stat existing;
  if (ok && ::lstat(target.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) ok = false;
  if (ok && ::rename(temporary.c_str(), target.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

}  // namespace pw
