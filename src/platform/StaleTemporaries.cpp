#include "platform/StaleTemporaries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <atomic>
#include <cerrno>
#include <signal.h>
#include <unistd.h>
#include <vector>

namespace pw::platform {

namespace {

std::atomic<unsigned> gTemporaryCounter{0};

bool ProcessRuns(qint64 pid) {
  if (pid <= 0 || pid > 0x3FFFFFFF) return false;
  if (pid == ::getpid()) return true;
  // EPERM: it runs under another user; only ESRCH says it is gone.
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

std::string TemporarySuffix() {
  return ".pw-" + std::to_string(::getpid()) + "-" + std::to_string(gTemporaryCounter++) + ".tmp";
}

int RemoveStaleTemporaries(const QString& folder, std::unordered_set<std::string>* remaining) {
  static const QRegularExpression pattern(QStringLiteral("^.+\\.pw-(\\d{1,10})-\\d{1,10}\\.tmp(\\.[A-Za-z0-9]{6})?$"));
  std::unordered_set<std::string> names;
  if (!ListFolderNames(folder, names)) {
    if (remaining) remaining->clear();
    return 0;
  }
  std::vector<std::string> gone;
  const QString prefix = IncludeTrailingSeparator(folder);
  for (const std::string& name : names) {
    // Most names are pages: a cheap look first, the pattern only for likely temporaries.
    if (name.find(".pw-") == std::string::npos || name.find(".tmp") == std::string::npos) continue;
    const QRegularExpressionMatch match = pattern.match(QFile::decodeName(name.c_str()));
    if (!match.hasMatch() || ProcessRuns(match.captured(1).toLongLong())) continue;
    const QFileInfo entry(prefix + QFile::decodeName(name.c_str()));
    const bool removed = entry.isDir() && !entry.isSymLink() ? QDir(entry.filePath()).removeRecursively()
                                                             : QFile::remove(entry.filePath());
    if (removed) gone.push_back(name);
  }
  for (const std::string& name : gone) names.erase(name);
  if (remaining) *remaining = std::move(names);
  return static_cast<int>(gone.size());
}

}  // namespace pw::platform
