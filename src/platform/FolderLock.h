// TFolderLock: an advisory lock on a folder, held by the commands that write a project file or
// its template folder, so that two of them never work on the same folder at once (two
// "new --force" runs would otherwise leave a template folder mixed from both). The lock is
// flock() on the folder itself: no lock file is left behind, and the kernel drops it when the
// process ends however it ends. The owner keeps the object alive for as long as it writes;
// not thread-safe (one owner).
#pragma once

#include <QString>

namespace pw::platform {

class TFolderLock {
 public:
  TFolderLock() = default;
  ~TFolderLock() { Unlock(); }
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

  // Takes the lock without waiting. False with the reason when the folder cannot be opened or
  // another process holds its lock.
  bool TryLock(const QString& folder, QString* error = nullptr);
  void Unlock();
  bool IsLocked() const { return FHandle >= 0; }

 private:
  int FHandle = -1;
};

}  // namespace pw::platform
