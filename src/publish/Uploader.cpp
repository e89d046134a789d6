#include "publish/Uploader.h"

#include "publish/FTPClient.h"
#include "publish/FileDigests.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <thread>
#include <vector>

namespace pw {

// The recorded list's names, case-folded, to the index of their first line: a name lookup
// that ignores letter case without a scan of the list per file.
struct TRecordedIndex {
  QHash<QString, int> Names;
};

// One connection with the folders the upload keeps for it.
struct TUploader::TSession {
  TFTPClient Client;
  QString Base;     // the remote root, resolved, ending in "/"
  QString Current;  // the folder the last file went to; empty = unknown
};

namespace {

QString EntryName(const QString& entry) {
  const qsizetype eq = entry.indexOf(u'=');
  return eq < 0 ? entry : entry.left(eq);
}

QString EntryValue(const QString& entry) {
  const qsizetype eq = entry.indexOf(u'=');
  return eq < 0 ? QString() : entry.mid(eq + 1);
}

// The lookup key of a recorded name: letter case and the kind of separator do not count.
QString NameKey(const QString& relativePath) { return QString(relativePath).replace(u'/', u'\\').toCaseFolded(); }

qsizetype LastSeparator(const QString& path) {
  return std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
}

bool ScanFolderInto(const QString& folder, const QString& prefix, const std::function<bool(const QString&)>& callback,
                    QSet<QString>& visited) {
  // A folder reached twice through links would make the walk endless.
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  if (canonical.isEmpty() || visited.contains(canonical)) return true;
  visited.insert(canonical);
  const QFileInfoList entries =
      QDir(folder).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo& entry : entries) {
    if (entry.isDir()) {
      if (!ScanFolderInto(entry.filePath(), prefix + entry.fileName() + u'\\', callback, visited)) return false;
    } else if (!callback(prefix + entry.fileName())) {
      return false;
    }
  }
  return true;
}

}  // namespace

TUploader::TUploader(const QString& outputFolder, const TUploadSettings& settings, const QStringList& uploadedFiles)
    : FOutputFolder(outputFolder), FSettings(settings), FUploadedFiles(uploadedFiles) {}

TUploader::~TUploader() = default;

void TUploader::WriteLog(std::string_view key, TUploadIcon icon, const QString& reason) {
  std::lock_guard lock(FLogMutex);
  // A stopping run hands no more lines over, as its window's worker would.
  if (FStop || !FOnLog) return;
  FOnLog(UploadText(key, FLangId), icon, reason);
}

void TUploader::WriteLog(std::string_view key, const QString& arg, TUploadIcon icon, const QString& reason) {
  std::lock_guard lock(FLogMutex);
  if (FStop || !FOnLog) return;
  FOnLog(UploadLine(key, FLangId, arg), icon, reason);
}

void TUploader::ConfigureClient(TFTPClient& client) const {
  client.SetHost(FSettings.Server);
  client.SetPort(FSettings.Port);
  client.SetUserName(FSettings.UserName);
  client.SetPassword(FSettings.Password);
  client.SetPassive(FSettings.Passive);
  client.SetTimeoutMs(FOptions.TimeoutMs);
  client.SetCAFile(FOptions.CAFile);
  client.SetKnownHostsFile(FOptions.KnownHostsFile);
  client.SetPrivateKeyFile(FOptions.PrivateKeyFile);
}

bool TUploader::RunTest() {
  using enum TUploadIcon;
  FStop = false;
  WriteLog("Testing", uiInformation);
  TFTPClient client;
  ConfigureClient(client);
  QString reason;
  if (!client.Connect(&reason)) {
    WriteLog("Cant_open", FSettings.Server, uiError, reason);
    return false;
  }
  WriteLog("Open", FSettings.Server, uiInformation);
  bool entered = false;
  if (FSettings.RemoteRoot.isEmpty()) {
    WriteLog("Invalid_directory", FSettings.RemoteRoot, uiError);
  } else if (client.ChangeDir(FSettings.RemoteRoot, &reason)) {
    WriteLog("Change_working_directory", FSettings.RemoteRoot, uiInformation);
    entered = true;
  } else {
    WriteLog("Invalid_directory", FSettings.RemoteRoot, uiError, reason);
  }
  WriteLog("Close", FSettings.Server, uiInformation);
  client.Disconnect();
  if (entered) WriteLog("Test_complete", uiSuccess);
  return entered;
}

bool TUploader::ScanFolder(const QString& folder, const QString& prefix,
                           const std::function<bool(const QString&)>& callback) {
  if (!QFileInfo(folder).isDir()) return true;
  QSet<QString> visited;
  return ScanFolderInto(folder, prefix, callback, visited);
}

bool TUploader::FileDigest(const QString& path, QString& digest, QString* error) {
  const std::vector<TFileDigest> result = DigestFiles({path}, TDigestEngine::deOneByOne, 1);
  if (!result[0].Readable) {
    if (error) *error = result[0].Error;
    return false;
  }
  digest = result[0].Digest;
  return true;
}

int TUploader::RecordedIndex(const QString& relativePath) const {
  if (!FIndex) return -1;
  return FIndex->Names.value(NameKey(relativePath), -1);
}

void TUploader::QueueIfChanged(const QString& relativePath) {
  QString digest;
  const bool readable = FileDigest(LocalPath(relativePath), digest);
  Queue(relativePath, digest, readable);
}

QString TUploader::LocalPath(const QString& relativePath) const {
  return QDir(FOutputFolder).filePath(QString(relativePath).replace(u'\\', u'/'));
}

void TUploader::Queue(const QString& relativePath, const QString& digest, bool readable) {
  if (!FIndex) {
    FIndex = std::make_unique<TRecordedIndex>();
    for (int i = 0; i < FUploadedFiles.size(); ++i) {
      const QString key = NameKey(EntryName(FUploadedFiles[i]));
      if (!FIndex->Names.contains(key)) FIndex->Names.insert(key, i);
    }
  }
  const int recorded = RecordedIndex(relativePath);
  // A file that cannot be read is queued whatever was recorded, so that its failure shows.
  if (!FSettings.ChangesOnly || !readable || recorded < 0 || EntryValue(FUploadedFiles[recorded]) != digest) {
    FPendingFiles.append(relativePath + u'=' + digest);
  }
}

void TUploader::QueueAll(const QStringList& files) {
  QStringList paths;
  paths.reserve(files.size());
  for (const QString& file : files) paths.append(LocalPath(file));
  const std::vector<TFileDigest> digests = DigestFiles(paths);
  for (qsizetype i = 0; i < files.size(); ++i) {
    const TFileDigest& digest = digests[static_cast<size_t>(i)];
    Queue(files[i], digest.Digest, digest.Readable);
  }
}

bool TUploader::MakeRemoteFolder(TSession& session, QString path) {
  if (path.endsWith(u'/')) path.chop(1);
  const qsizetype slash = path.lastIndexOf(u'/');
  // The walk up ends at the top: "/" (or a path without a parent) cannot be made.
  if (path.isEmpty() || slash < 0) return false;
  const QString parent = path.left(slash + 1);
  const QString name = path.mid(slash + 1);
  TFTPClient& client = session.Client;
  if (!client.ChangeDir(parent) && (!MakeRemoteFolder(session, parent) || !client.ChangeDir(parent))) return false;
  return client.MakeDir(name);
}

bool TUploader::EnterRemoteFolder(TSession& session, const QString& folderPart, QString* error) {
  const QString target = session.Base + QString(folderPart).replace(u'\\', u'/');
  if (!session.Current.isEmpty() && target == session.Current) return true;
  TFTPClient& client = session.Client;
  bool entered = client.ChangeDir(target, error);
  if (!entered) {
    MakeRemoteFolder(session, target);
    entered = client.ChangeDir(target, error);
  }
  // A folder that could not be entered leaves the client somewhere else: forget it, so that
  // the next file does not go there.
  session.Current = entered ? target : QString();
  return entered;
}

bool TUploader::SendFile(TSession& session, const QString& entry, QString* error) {
  const QString relativePath = EntryName(entry);
  const qsizetype split = LastSeparator(relativePath);
  const QString fileName = relativePath.mid(split + 1);
  const QString localPath = LocalPath(relativePath);
  if (!EnterRemoteFolder(session, relativePath.left(split + 1), error)) return false;

  TFTPClient& client = session.Client;
  client.SetOnProgress([this, &relativePath](TFTPClient&, int64_t position, int64_t size, bool&) {
    if (FOnProgress) FOnProgress(relativePath, position, size);
  });
  if (!FOptions.Atomic) {
    client.DeleteFile(fileName);  // the file may not exist yet
    return client.PutFile(localPath, fileName, error);
  }
  // Visitors see the old file until the new one is complete. Servers that refuse to rename
  // onto an existing file get the old one deleted first.
  const QString temporary = QStringLiteral(".") + fileName + QStringLiteral(".pwtmp");
  if (!client.PutFile(localPath, temporary, error)) {
    client.DeleteFile(temporary);
    return false;
  }
  if (client.RenameFile(temporary, fileName)) return true;
  client.DeleteFile(fileName);
  if (client.RenameFile(temporary, fileName, error)) return true;
  client.DeleteFile(temporary);
  return false;
}

// Takes pending files in turn until none is left, a stop was requested or a file failed.
void TUploader::SendPending(TSession& session) {
  while (!FStop) {
    const qsizetype index = FNextPending++;
    if (index >= FPendingFiles.size()) return;
    const QString& entry = FPendingFiles[index];
    const QString fileName = EntryName(entry).mid(LastSeparator(EntryName(entry)) + 1);
    QString reason;
    if (SendFile(session, entry, &reason)) {
      FSent[index] = 1;
      WriteLog("Uploaded", fileName, TUploadIcon::uiSuccess);
    } else {
      WriteLog("Upload_error", fileName, TUploadIcon::uiError, reason);
      FRunSucceeded = false;
      RequestStop();
    }
  }
}

void TUploader::RunUpload() {
  using enum TUploadIcon;
  FStop = false;
  WriteLog("Prepare_files", uiInformation);
  FPendingFiles.clear();
  FRunSucceeded = false;
  FIndex.reset();
  QStringList files;
  ScanFolder(FOutputFolder, QString(), [&files](const QString& path) {
    files.append(path);
    return true;
  });
  QueueAll(files);
  if (FPendingFiles.isEmpty()) {
    WriteLog("Files_already_uploaded", uiSuccess);
    FRunSucceeded = true;
    return;
  }
  WriteLog("Found_files", QString::number(FPendingFiles.size()), uiInformation);
  WriteLog("Uploading", uiInformation);

  std::vector<std::unique_ptr<TSession>> sessions;
  sessions.push_back(std::make_unique<TSession>());
  TFTPClient& client = sessions[0]->Client;
  ConfigureClient(client);
  client.SetBinary(true);
  QString reason;
  if (!client.Connect(&reason)) {
    WriteLog("Cant_open", FSettings.Server, uiError, reason);
    return;
  }
  WriteLog("Open", FSettings.Server, uiInformation);
  if (FSettings.RemoteRoot.isEmpty() || !client.ChangeDir(FSettings.RemoteRoot, &reason)) {
    WriteLog("Invalid_directory", FSettings.RemoteRoot, uiError, FSettings.RemoteRoot.isEmpty() ? QString() : reason);
  } else {
    WriteLog("Change_working_directory", FSettings.RemoteRoot, uiInformation);
    FRunSucceeded = true;
    // The root as the server resolved it, so that later paths mean the same from any folder.
    QString base = client.CurrentDir();
    if (!base.endsWith(u'/')) base += u'/';
    sessions[0]->Base = sessions[0]->Current = base;

    FSent.assign(static_cast<size_t>(FPendingFiles.size()), 0);
    FNextPending = 0;
    const int jobs = std::clamp(FOptions.Jobs, 1, 64);
    for (qsizetype i = 1; i < jobs && i < FPendingFiles.size(); ++i) {
      auto extra = std::make_unique<TSession>();
      ConfigureClient(extra->Client);
      extra->Client.SetBinary(true);
      sessions.push_back(std::move(extra));
    }
    // The other connections log in on their own threads while the first one is already
    // sending; a connection the server refuses leaves the work to the others.
    std::vector<std::thread> threads;
    for (size_t i = 1; i < sessions.size(); ++i) {
      threads.emplace_back([this, &session = *sessions[i], &base] {
        if (!session.Client.Connect() || !session.Client.ChangeDir(base)) return;
        session.Base = session.Current = base;
        SendPending(session);
      });
    }
    SendPending(*sessions[0]);
    for (std::thread& t : threads) t.join();

    // Recorded in the order of the pending list, whichever connection sent the file.
    for (qsizetype i = 0; i < FPendingFiles.size(); ++i) {
      if (!FSent[static_cast<size_t>(i)]) continue;
      const QString& entry = FPendingFiles[i];
      const int recorded = RecordedIndex(EntryName(entry));
      if (recorded >= 0) {
        FUploadedFiles[recorded] = EntryName(FUploadedFiles[recorded]) + u'=' + EntryValue(entry);
      } else {
        FIndex->Names.insert(NameKey(EntryName(entry)), static_cast<int>(FUploadedFiles.size()));
        FUploadedFiles.append(entry);
      }
    }
  }
  WriteLog("Close", FSettings.Server, uiInformation);
  for (auto& session : sessions) session->Client.Disconnect();
  if (FRunSucceeded) WriteLog("Upload_complete", uiSuccess);
}

}  // namespace pw
