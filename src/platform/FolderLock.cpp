#include "platform/FolderLock.h"

#include "platform/SystemError.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pw::platform {

bool TFolderLock::TryLock(const QString& folder, QString* error) {
  Unlock();
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = QStringLiteral("Cannot open the folder \"%1\": %2").arg(folder, SystemErrorText());
    return false;
  }
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int reason = errno;
    ::close(fd);
    if (error) {
      *error = reason == EWOULDBLOCK
                   ? QStringLiteral("The folder \"%1\" is in use by another process").arg(folder)
                   : QStringLiteral("Cannot lock the folder \"%1\": %2").arg(folder, SystemErrorText(reason));
    }
    return false;
  }
  FHandle = fd;
  return true;
}

void TFolderLock::Unlock() {
  if (FHandle < 0) return;
  ::close(FHandle);  // closing the last descriptor releases the lock
  FHandle = -1;
}

}  // namespace pw::platform
