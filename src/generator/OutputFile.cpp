#include "generator/OutputFile.h"

#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "platform/StaleTemporaries.h"
#include "platform/SystemError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

// True when target is a regular file (not a link, which a write would replace by a file) that
// holds exactly bytes. missing tells whether there is no target at all.
bool HoldsBytes(const std::string& target, std::string_view bytes, bool& missing, platform::TFileStamp* stamp) {
  const int fd = ::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  missing = fd < 0 && errno == ENOENT;
  if (fd < 0) return false;
  char buffer[65536];
  if (!bytes.empty() && bytes.size() < sizeof buffer) {
    // One read of a byte more than expected answers both the length and the content without
    // asking for the file's size: a file reads whole up to its end. What is not a file reads
    // nothing or fails, and so differs.
    ssize_t got;
    do {
      got = ::read(fd, buffer, bytes.size() + 1);
    } while (got < 0 && errno == EINTR);
    const bool same = got == static_cast<ssize_t>(bytes.size()) && std::memcmp(buffer, bytes.data(), bytes.size()) == 0;
    if (same && stamp) *stamp = platform::StampOf(fd);
    ::close(fd);
    return same;
  }
  struct stat info;
  bool same = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size == static_cast<off_t>(bytes.size());
  while (same && !bytes.empty()) {
    const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, bytes.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || std::string_view(buffer, static_cast<size_t>(got)) != bytes.substr(0, static_cast<size_t>(got))) {
      same = false;
    } else {
      bytes.remove_prefix(static_cast<size_t>(got));
    }
  }
  if (same && stamp) *stamp = {info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_ino};
  ::close(fd);
  return same;
}

bool Fail(QString* error, const QString& reason) {
  if (error) *error = reason;
  return false;
}

enum class TNewFile { tnWritten, tnFailed, tnNotCreated };

// A file that did not exist is written in place: there is nothing to lose, and a page cut short
// (a full disk, a killed build) differs from its bytes, so the next build writes it again.
// Creation is exclusive, so a file that appeared meanwhile is left to the replacing write.
TNewFile WriteNewFile(const std::string& target, std::string_view bytes, QString* error,
                      platform::TFileStamp* stamp) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return TNewFile::tnNotCreated;
  int failure = WriteAll(fd, bytes) ? 0 : errno;
  const platform::TFileStamp written = failure == 0 && stamp ? platform::StampOf(fd) : platform::TFileStamp();
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0) {
    if (stamp) *stamp = written;
    return TNewFile::tnWritten;
  }
  ::unlink(target.c_str());
  Fail(error, platform::SystemErrorText(failure));
  return TNewFile::tnFailed;
}

}  // namespace

bool WriteOutputFile(const QString& path, std::string_view bytes, QString* error, bool* unchanged,
                     bool knownMissing, platform::TFileStamp* stamp) {
  if (unchanged) *unchanged = false;
  if (stamp) *stamp = platform::TFileStamp();
  const std::string target = QFile::encodeName(path).toStdString();
  if (target.empty()) return Fail(error, QStringLiteral("no file name given"));
  bool missing = knownMissing;
  if (!missing && HoldsBytes(target, bytes, missing, stamp)) {
    if (unchanged) *unchanged = true;
    return true;
  }
  if (missing) {
    const TNewFile result = WriteNewFile(target, bytes, error, stamp);
    if (result != TNewFile::tnNotCreated) return result == TNewFile::tnWritten;
  }
  std::string temporary;
  int fd = CreateTemporary(target, temporary);
  if (fd < 0 && errno == ENOENT) {
    QString folder = platform::ExtractFileDir(path);
    QString reason;
    if (!platform::ForceDirectories(folder, &reason))
      return Fail(error, QStringLiteral("cannot create the folder %1: %2").arg(folder, reason));
    fd = CreateTemporary(target, temporary);
  }
  if (fd < 0) return Fail(error, platform::SystemErrorText(errno));
  int failure = WriteAll(fd, bytes) ? 0 : errno;
  // The temporary becomes the file, inode and all.
  const platform::TFileStamp written = failure == 0 && stamp ? platform::StampOf(fd) : platform::TFileStamp();
  if (::close(fd) != 0 && failure == 0) failure = errno;
  QString reason;
  if (failure != 0) reason = platform::SystemErrorText(failure);
  // A folder (or anything else that is not a file) at the target is never replaced.
  struct stat existing;
  if (reason.isEmpty() && ::lstat(target.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
    reason = QStringLiteral("is a folder");
  if (reason.isEmpty()) {
    if (::rename(temporary.c_str(), target.c_str()) == 0) {
      if (stamp) *stamp = written;
      return true;
    }
    reason = platform::SystemErrorText(errno);
  }
  ::unlink(temporary.c_str());
  return Fail(error, reason);
}

}  // namespace pw
