// TFTPClient: a small synchronous client for publishing over FTP, FTPS (explicit TLS) or SFTP,
// built on libcurl. It offers what publishing needs: connect, change the remote working
// folder, create a folder, delete, rename and store a file. A server written as
// "ftps://host" or "sftp://host" selects the secure protocols; a plain host name means FTP.
//
// The client owns one libcurl handle, whose cache keeps the control connection open between
// operations. Remote paths are relative to the current remote folder unless they begin with
// "/"; the client keeps that folder itself, because libcurl addresses everything by URL.
//
// Every operation answers with a success flag and, when asked, the reason of a failure.
// Not thread-safe: one thread at a time uses a client (each parallel upload job has its own).
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace pw {

enum class TFTPProtocol { fpFTP, fpFTPS, fpSFTP };

class TFTPClient {
 public:
  // Raised after every block of PutFile: bytes sent so far and the local file's size.
  // Setting cancel ends the transfer after this block.
  using TProgressEvent = std::function<void(TFTPClient& sender, int64_t position, int64_t size, bool& cancel)>;

  static constexpr int kBlockSize = 1024;

  TFTPClient();
  ~TFTPClient();
  TFTPClient(const TFTPClient&) = delete;
  TFTPClient& operator=(const TFTPClient&) = delete;

  // Plain assignments; an open connection is not affected. The host may carry an "ftp://",
  // "ftps://" or "sftp://" prefix.
  void SetHost(const QString& host) { FHost = host; }
  void SetPort(const QString& port) { FPort = port; }
  void SetUserName(const QString& userName) { FUserName = userName; }
  void SetPassword(const QString& password) { FPassword = password; }
  void SetBinary(bool binary) { FBinary = binary; }
  void SetPassive(bool passive) { FPassive = passive; }
  void SetOnProgress(TProgressEvent handler) { FOnProgress = std::move(handler); }

  // How long connecting, and waiting for any answer of the server, may take before the
  // operation fails. A server that stops answering fails the operation rather than hanging it.
  void SetTimeoutMs(int timeoutMs) { FTimeoutMs = timeoutMs; }
  // Certificates that FTPS trusts besides the system's (a file of PEM certificates).
  void SetCAFile(const QString& path) { FCAFile = path; }
  // SFTP: the known-hosts file that must list the server's key (default ~/.ssh/known_hosts)
  // and the private key to log in with (default the first of ~/.ssh/id_ed25519, id_ecdsa,
  // id_rsa that exists); the password serves for password log-in and as the key's passphrase.
  void SetKnownHostsFile(const QString& path) { FKnownHostsFile = path; }
  void SetPrivateKeyFile(const QString& path) { FPrivateKeyFile = path; }

  const QString& Host() const { return FHost; }
  TFTPProtocol Protocol() const;
  // The port that Connect uses: the port text as a decimal number from 1 to 65535, else the
  // protocol's default (21 for FTP and FTPS, 22 for SFTP).
  int EffectivePort() const;
  // The current remote folder as the client keeps it: after Connect the log-in folder as the
  // server names it (empty when it does not say).
  const QString& CurrentDir() const { return FCurrentDir; }

  // Logs in; a second Connect replaces the first connection. False leaves the client closed.
  bool Connect(QString* error = nullptr);
  // Closes the connection; harmless when nothing is open.
  void Disconnect();
  bool Connected() const { return FConnected; }

  // Each of these is false when not connected, without touching the network.
  bool ChangeDir(const QString& path, QString* error = nullptr);
  bool MakeDir(const QString& path, QString* error = nullptr);
  bool DeleteFile(const QString& name, QString* error = nullptr);
  bool RenameFile(const QString& from, const QString& to, QString* error = nullptr);

  // Stores the local file under the remote name in blocks of kBlockSize, raising OnProgress
  // after every block. False when the local file is missing or unreadable (nothing remote is
  // opened then), when the server refuses or the connection breaks (a partial file may
  // remain), or when the transfer was cancelled.
  bool PutFile(const QString& localPath, const QString& remoteName, QString* error = nullptr);

 private:
  struct TTransfer;

  bool Perform(const QString& url, bool upload, const QStringList& commands, QString* error);
  QString BaseUrl() const;
  QString Resolve(const QString& path) const;
  QString UrlOf(const QString& resolvedPath, bool folder) const;
  QString RemoteArgument(const QString& resolvedPath) const;
  static size_t ReadBlock(char* buffer, size_t size, size_t count, void* transfer);

  int RunTransfer();

  void* FCurl = nullptr;   // CURL*, created by Connect
  void* FMulti = nullptr;  // CURLM* that runs it and keeps its connection
  bool FConnected = false;
  bool FFreshConnect = false;  // the next operation opens a new connection
  bool FSftp = false;          // of the open connection
  QString FBaseUrl;            // of the open connection: scheme, host and port
  QString FHost, FPort, FUserName, FPassword;
  bool FBinary = false;
  bool FPassive = false;
  int FTimeoutMs = 30000;
  QString FCAFile, FKnownHostsFile, FPrivateKeyFile;
  QString FCurrentDir;
  TProgressEvent FOnProgress;
};

}  // namespace pw
