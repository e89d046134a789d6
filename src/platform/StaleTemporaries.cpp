#include "platform/StaleTemporaries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <signal.h>
#include <unistd.h>

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

int RemoveStaleTemporaries(const QString& folder) {
  static const QRegularExpression pattern(QStringLiteral("^.+\\.pw-(\\d{1,10})-\\d{1,10}\\.tmp(\\.[A-Za-z0-9]{6})?$"));
  int removed = 0;
  // The name filter keeps a folder of many pages from costing a file-information object each.
  const QFileInfoList entries =
      QDir(folder).entryInfoList({QStringLiteral("*.pw-*.tmp"), QStringLiteral("*.pw-*.tmp.??????")},
                                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QFileInfo& entry : entries) {
    const QRegularExpressionMatch match = pattern.match(entry.fileName());
    if (!match.hasMatch() || ProcessRuns(match.captured(1).toLongLong())) continue;
    const bool gone = entry.isDir() && !entry.isSymLink() ? QDir(entry.filePath()).removeRecursively()
                                                          : QFile::remove(entry.filePath());
    if (gone) ++removed;
  }
  return removed;
}

}  // namespace pw::platform
