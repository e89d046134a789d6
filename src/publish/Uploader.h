// TUploader: the upload engine without its window. It tests the publishing settings, and it
// sends the output folder to the server: with "changes only", just the files whose MD5 digest
// differs from the one recorded at their last upload. Every step is reported as a log line of
// the window's string table.
//
// Owned by its caller (the upload window's worker, or the command line). A run is executed on
// one thread; RequestStop may be called from any other. The lists and RunSucceeded may be read
// once the run has returned. With more than one job the engine starts threads of its own,
// which end before the run returns.
#pragma once

#include "publish/UploadTexts.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace pw {

class TFTPClient;

// The settings the window edits (the project's publishing fields).
struct TUploadSettings {
  QString Server;  // a host name, or "ftps://host" / "sftp://host"
  QString Port;    // as typed; empty = the protocol's default
  QString UserName;
  QString Password;
  QString RemoteRoot;
  bool Passive = true;
  bool ChangesOnly = true;
};

// What the command line adds; the window's run keeps the defaults.
struct TUploadOptions {
  bool Atomic = false;  // send each file under a temporary name, then rename it into place
  int Jobs = 1;         // connections working in parallel
  int TimeoutMs = 30000;
  QString CAFile;          // FTPS: certificates to trust besides the system's
  QString KnownHostsFile;  // SFTP: see TFTPClient
  QString PrivateKeyFile;
};

class TUploader {
 public:
  // One log line: the text of the string table, its icon, and the reason of a failure (not
  // part of the window's line; empty when there is none).
  using TLogEvent = std::function<void(const QString& text, TUploadIcon icon, const QString& reason)>;
  // Progress of one file: its relative path, bytes sent, its size. Called on the thread that
  // sends the file.
  using TProgressEvent = std::function<void(const QString& relativePath, int64_t position, int64_t size)>;

  // outputFolder is the local folder whose files are sent; uploadedFiles the recorded list of
  // "relative path=digest" lines.
  TUploader(const QString& outputFolder, const TUploadSettings& settings, const QStringList& uploadedFiles);
  ~TUploader();

  void SetLanguage(int langId) { FLangId = langId; }
  void SetOptions(const TUploadOptions& options) { FOptions = options; }
  void SetOnLog(TLogEvent handler) { FOnLog = std::move(handler); }
  void SetOnProgress(TProgressEvent handler) { FOnProgress = std::move(handler); }

  // The connection test: log in, enter the remote root, log out. True when it completed.
  bool RunTest();
  // The upload run; afterwards RunSucceeded tells whether its digests are to be kept.
  void RunUpload();

  // Asks the run to stop before its next file. Log lines are dropped from then on. Each run
  // starts without a stop request.
  void RequestStop() { FStop = true; }
  bool StopRequested() const { return FStop; }

  bool RunSucceeded() const { return FRunSucceeded; }
  // "relative path=digest" lines: the recorded list with this run's sent files merged in, and
  // the files chosen for the run.
  const QStringList& UploadedFiles() const { return FUploadedFiles; }
  const QStringList& PendingFiles() const { return FPendingFiles; }

  // Walks folder depth first in name order, calling callback with prefix + the relative path
  // (folders separated by backslashes) of every file. Hidden entries, and entries that are
  // neither files nor folders, are skipped. The callback answers false to stop the walk.
  static bool ScanFolder(const QString& folder, const QString& prefix,
                         const std::function<bool(const QString&)>& callback);

  // Computes the digest of the file below the output folder and adds "path=digest" to the
  // pending files unless changes only is set and the recorded digest is the same.
  void QueueIfChanged(const QString& relativePath);

  // The MD5 of the file's bytes as 32 lowercase hex digits; false when it cannot be read.
  static bool FileDigest(const QString& path, QString& digest, QString* error = nullptr);

 private:
  struct TSession;

  void WriteLog(std::string_view key, TUploadIcon icon, const QString& reason = QString());
  void WriteLog(std::string_view key, const QString& arg, TUploadIcon icon, const QString& reason = QString());
  void ConfigureClient(TFTPClient& client) const;
  int RecordedIndex(const QString& relativePath) const;
  QString LocalPath(const QString& relativePath) const;
  void Queue(const QString& relativePath, const QString& digest, bool readable);
  void QueueAll(const QStringList& files);
  bool EnterRemoteFolder(TSession& session, const QString& folderPart, QString* error);
  bool MakeRemoteFolder(TSession& session, QString path);
  bool SendFile(TSession& session, const QString& entry, QString* error);
  void SendPending(TSession& session);

  QString FOutputFolder;
  TUploadSettings FSettings;
  TUploadOptions FOptions;
  int FLangId = kLangEnglish;
  TLogEvent FOnLog;
  TProgressEvent FOnProgress;
  QStringList FUploadedFiles;
  QStringList FPendingFiles;
  std::vector<char> FSent;  // per pending file: sent completely
  std::atomic<bool> FStop = false;
  std::atomic<bool> FRunSucceeded = false;
  std::atomic<qsizetype> FNextPending = 0;
  std::mutex FLogMutex;
  std::unique_ptr<struct TRecordedIndex> FIndex;
};

}  // namespace pw
