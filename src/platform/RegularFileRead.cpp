#include "platform/RegularFileRead.h"

#include "platform/SystemError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw::platform {

namespace {

bool Fail(QString* error, const QString& message) {
  if (error) *error = message;
  return false;
}

}  // namespace

QString FormatByteLimit(std::int64_t bytes) {
  if (bytes >= (1 << 30) && bytes % (1 << 30) == 0) return QStringLiteral("%1 GiB").arg(bytes >> 30);
  if (bytes >= (1 << 20) && bytes % (1 << 20) == 0) return QStringLiteral("%1 MiB").arg(bytes >> 20);
  if (bytes >= (1 << 10) && bytes % (1 << 10) == 0) return QStringLiteral("%1 KiB").arg(bytes >> 10);
  return QStringLiteral("%1 bytes").arg(bytes);
}

bool ReadRegularFile(const QString& path, std::int64_t maxBytes, std::string& bytes, QString* error) {
  if (path.isEmpty()) return Fail(error, QStringLiteral("No file name given"));
  const QByteArray name = QFile::encodeName(path);
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fail(error, QStringLiteral("Cannot open \"%1\": %2").arg(path, SystemErrorText()));
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};

  struct stat info;
  if (::fstat(fd, &info) != 0)
    return Fail(error, QStringLiteral("Cannot read \"%1\": %2").arg(path, SystemErrorText()));
  if (S_ISDIR(info.st_mode)) return Fail(error, QStringLiteral("\"%1\" is a folder, not a file").arg(path));
  if (!S_ISREG(info.st_mode)) return Fail(error, QStringLiteral("\"%1\" is not a regular file").arg(path));
  const QString tooLarge = QStringLiteral("\"%1\" is larger than %2").arg(path, FormatByteLimit(maxBytes));
  if (info.st_size > maxBytes) return Fail(error, tooLarge);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

  // Read straight into the text, sized by the file; a file that grows meanwhile is read on to
  // its new end, within the limit.
  std::string content;
  size_t got = 0;
  content.resize(static_cast<size_t>(info.st_size) + 1);
  for (;;) {
    if (got == content.size()) {
      if (static_cast<std::int64_t>(got) > maxBytes) return Fail(error, tooLarge);
      content.resize(std::min<size_t>(got * 2 + 4096, static_cast<size_t>(maxBytes) + 1));
    }
    const ssize_t count = ::read(fd, content.data() + got, content.size() - got);
    if (count < 0) {
      if (errno == EINTR) continue;
      return Fail(error, QStringLiteral("Cannot read \"%1\": %2").arg(path, SystemErrorText()));
    }
    if (count == 0) break;
    got += static_cast<size_t>(count);
  }
  if (static_cast<std::int64_t>(got) > maxBytes) return Fail(error, tooLarge);
  content.resize(got);
  bytes.swap(content);
  return true;
}

}  // namespace pw::platform
