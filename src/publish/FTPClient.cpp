#include "publish/FTPClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "platform/CurlLibrary.h"

namespace pw {
namespace {

void SetError(QString* error, const QString& message) {
  if (error) *error = message;
}

struct TSList {
  curl_slist* List = nullptr;
  ~TSList() { curl_slist_free_all(List); }
  void Append(const QString& line) { List = curl_slist_append(List, line.toUtf8().constData()); }
};

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

// A line break in a name would end the command early and let the rest pass as a command of
// its own, so such names are refused before anything is sent.
bool CheckRemoteName(const QString& name, QString* error) {
  if (name.contains(u'\r') || name.contains(u'\n') || name.contains(QChar(0))) {
    SetError(error, QStringLiteral("Invalid remote name \"%1\"").arg(name.simplified()));
    return false;
  }
  return true;
}

QString NotConnected() { return QStringLiteral("Not connected"); }

QString FirstExisting(const QStringList& paths) {
  for (const QString& p : paths) {
    if (QFileInfo::exists(p)) return p;
  }
  return QString();
}

}  // namespace

// The state of one PutFile, seen by libcurl's read callback.
struct TFTPClient::TTransfer {
  TFTPClient* Client = nullptr;
  QFile* File = nullptr;
  int64_t Position = 0;
  int64_t Size = 0;
  bool Finished = false;   // a short read ended the file: the next call reports the end
  bool Cancelled = false;  // OnProgress asked to stop: the next call aborts the transfer
  bool ReadFailed = false;
};

TFTPClient::TFTPClient() = default;

TFTPClient::~TFTPClient() { Disconnect(); }

TFTPProtocol TFTPClient::Protocol() const {
  const QString host = FHost.trimmed();
  if (host.startsWith(QLatin1String("sftp://"), Qt::CaseInsensitive)) return TFTPProtocol::fpSFTP;
  if (host.startsWith(QLatin1String("ftps://"), Qt::CaseInsensitive)) return TFTPProtocol::fpFTPS;
  return TFTPProtocol::fpFTP;
}

int TFTPClient::EffectivePort() const {
  bool ok = false;
  const int port = FPort.trimmed().toInt(&ok, 10);
  // The 16-bit port field would wrap larger values around to some unrelated port.
  if (ok && port >= 1 && port <= 65535) return port;
  return Protocol() == TFTPProtocol::fpSFTP ? 22 : 21;
}

QString TFTPClient::BaseUrl() const {
  QString host = FHost.trimmed();
  const qsizetype scheme = host.indexOf(QLatin1String("://"));
  if (scheme >= 0) host = host.mid(scheme + 3);
  while (host.endsWith(u'/')) host.chop(1);
  // An IPv6 literal needs its brackets inside a URL.
  if (host.contains(u':') && !host.startsWith(u'[')) host = u'[' + host + u']';
  const char* prefix = Protocol() == TFTPProtocol::fpSFTP ? "sftp://" : "ftp://";
  return QLatin1String(prefix) + host + u':' + QString::number(EffectivePort());
}

// The path the server sees for a path relative to the current folder.
QString TFTPClient::Resolve(const QString& path) const {
  if (path.startsWith(u'/') || FCurrentDir.isEmpty()) return path;
  if (path.isEmpty()) return FCurrentDir;
  return FCurrentDir.endsWith(u'/') ? FCurrentDir + path : FCurrentDir + u'/' + path;
}

QString TFTPClient::UrlOf(const QString& resolvedPath, bool folder) const {
  QString path = resolvedPath;
  QString prefix;
  if (path.startsWith(u'/')) {
    // FTP URLs are relative to the log-in folder; %2F makes the path absolute. SFTP URLs are
    // absolute already.
    prefix = FSftp ? QStringLiteral("/") : QStringLiteral("/%2F");
    while (path.startsWith(u'/')) path.remove(0, 1);
  } else {
    prefix = FSftp ? QStringLiteral("/~/") : QStringLiteral("/");
  }
  QString url = FBaseUrl + prefix + QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
  if (folder && !url.endsWith(u'/')) url += u'/';
  return url;
}

// A path as an argument of an SFTP command: home-relative paths start with "/~/", and the
// whole is quoted so that blanks and quotes in names survive.
QString TFTPClient::RemoteArgument(const QString& resolvedPath) const {
  QString path = resolvedPath.startsWith(u'/') ? resolvedPath : QStringLiteral("/~/") + resolvedPath;
  path.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
  return u'"' + path + u'"';
}

bool TFTPClient::Connect(QString* error) {
  Disconnect();
  QString reason;
  if (!platform::LoadCurl(&reason)) {
    SetError(error, QStringLiteral("Cannot load the network library: ") + reason);
    return false;
  }
  FCurl = curl_easy_init();
  FMulti = curl_multi_init();
  if (!FCurl || !FMulti) {
    Disconnect();
    SetError(error, QStringLiteral("Cannot start the network library"));
    return false;
  }
  CURL* curl = static_cast<CURL*>(FCurl);
  // The connection keeps the server it was opened to, whatever the setters say later.
  const TFTPProtocol protocol = Protocol();
  FSftp = protocol == TFTPProtocol::fpSFTP;
  FBaseUrl = BaseUrl();
  const QByteArray user = FUserName.toUtf8(), password = FPassword.toUtf8();
  curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
  curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  if (qEnvironmentVariableIsSet("PAGEWICK_CURL_VERBOSE")) curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(FTimeoutMs));
  curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>((FTimeoutMs + 999) / 1000));
  // A data connection that stalls completely for the time-out fails the transfer.
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>((FTimeoutMs + 999) / 1000));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, DiscardBody);
  if (protocol == TFTPProtocol::fpSFTP) {
    curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES,
                     static_cast<long>(CURLSSH_AUTH_PUBLICKEY | CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
    const QString ssh = QDir::homePath() + QStringLiteral("/.ssh/");
    const QString knownHosts = FKnownHostsFile.isEmpty() ? ssh + QStringLiteral("known_hosts") : FKnownHostsFile;
    // Without a known-hosts file libcurl would accept any server key; an unlisted key fails.
    curl_easy_setopt(curl, CURLOPT_SSH_KNOWNHOSTS, QFile::encodeName(knownHosts).constData());
    const QString key = FPrivateKeyFile.isEmpty()
                            ? FirstExisting({ssh + QStringLiteral("id_ed25519"), ssh + QStringLiteral("id_ecdsa"),
                                             ssh + QStringLiteral("id_rsa")})
                            : FPrivateKeyFile;
    if (!key.isEmpty()) {
      curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, QFile::encodeName(key).constData());
      curl_easy_setopt(curl, CURLOPT_KEYPASSWD, password.constData());
    }
  } else {
    if (protocol == TFTPProtocol::fpFTPS) {
      curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
      if (!FCAFile.isEmpty()) curl_easy_setopt(curl, CURLOPT_CAINFO, QFile::encodeName(FCAFile).constData());
    }
    // One CWD per folder change instead of one per path component.
    curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    if (FPassive) {
      curl_easy_setopt(curl, CURLOPT_FTPPORT, nullptr);
    } else {
      curl_easy_setopt(curl, CURLOPT_FTPPORT, "-");
    }
  }
  FCurrentDir.clear();
  FConnected = true;
  if (!Perform(UrlOf(QString(), true), false, {}, error)) {
    Disconnect();
    return false;
  }
  // Relative paths are kept resolved against the log-in folder, so that they mean the same
  // whatever folder the last operation left the server in.
  char* entry = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry && entry[0] == '/') {
    FCurrentDir = QString::fromUtf8(entry);
  }
  return true;
}

void TFTPClient::Disconnect() {
  // The multi handle holds the connection cache: closing it logs out.
  if (FMulti) curl_multi_cleanup(static_cast<CURLM*>(FMulti));
  if (FCurl) curl_easy_cleanup(static_cast<CURL*>(FCurl));
  FMulti = nullptr;
  FCurl = nullptr;
  FConnected = false;
  FCurrentDir.clear();
}

// Drives the transfer through the multi interface instead of curl_easy_perform: libcurl
// sometimes starts the FTP data connection without a socket event to wake its own wait, which
// then sleeps for a whole second; waking up every few milliseconds keeps each file quick.
int TFTPClient::RunTransfer() {
  CURLM* multi = static_cast<CURLM*>(FMulti);
  CURL* curl = static_cast<CURL*>(FCurl);
  if (curl_multi_add_handle(multi, curl) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode code = CURLE_OK;
  for (int running = 1; running;) {
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      code = CURLE_FAILED_INIT;
      break;
    }
    if (running) curl_multi_poll(multi, nullptr, 0, 5, nullptr);
  }
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == curl) code = message->data.result;
  }
  curl_multi_remove_handle(multi, curl);
  return code;
}

bool TFTPClient::Perform(const QString& url, bool upload, const QStringList& commands, QString* error) {
  if (!FConnected || !FCurl) {
    SetError(error, NotConnected());
    return false;
  }
  CURL* curl = static_cast<CURL*>(FCurl);
  char message[CURL_ERROR_SIZE] = {};
  TSList quote;
  for (const QString& c : commands) quote.Append(c);
  const QByteArray urlBytes = url.toUtf8();
  curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, upload ? 1L : 0L);
  // FTP commands run after the CWD into the URL's folder, so that relative names mean that
  // folder; SFTP has no working folder and takes its commands before the transfer.
  const bool sftp = FSftp;
  curl_easy_setopt(curl, sftp ? CURLOPT_QUOTE : CURLOPT_POSTQUOTE, quote.List);
  // A folder URL without commands is a check that the folder can be entered. FTP does that
  // with CWD alone; SFTP has to open the folder, which lists it.
  curl_easy_setopt(curl, CURLOPT_NOBODY, (!upload && (!sftp || !commands.isEmpty())) ? 1L : 0L);
  const auto code = static_cast<CURLcode>(RunTransfer());
  if (FFreshConnect) {
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 0L);
    FFreshConnect = false;
  }
  curl_easy_setopt(curl, CURLOPT_QUOTE, nullptr);
  curl_easy_setopt(curl, CURLOPT_POSTQUOTE, nullptr);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  if (code != CURLE_OK) {
    SetError(error, QString::fromUtf8(message[0] ? message : curl_easy_strerror(code)));
    return false;
  }
  return true;
}

bool TFTPClient::ChangeDir(const QString& path, QString* error) {
  if (!FConnected) return SetError(error, NotConnected()), false;
  if (!CheckRemoteName(path, error)) return false;
  const QString target = Resolve(path);
  if (!Perform(UrlOf(target, true), false, {}, error)) return false;
  FCurrentDir = target;
  return true;
}

bool TFTPClient::MakeDir(const QString& path, QString* error) {
  if (!FConnected) return SetError(error, NotConnected()), false;
  if (!CheckRemoteName(path, error)) return false;
  const QString command = FSftp ? QStringLiteral("mkdir ") + RemoteArgument(Resolve(path))
                                                                : QStringLiteral("MKD ") + path;
  return Perform(UrlOf(FCurrentDir, true), false, {command}, error);
}

bool TFTPClient::DeleteFile(const QString& name, QString* error) {
  if (!FConnected) return SetError(error, NotConnected()), false;
  if (!CheckRemoteName(name, error)) return false;
  const QString command = FSftp ? QStringLiteral("rm ") + RemoteArgument(Resolve(name))
                                                                : QStringLiteral("DELE ") + name;
  return Perform(UrlOf(FCurrentDir, true), false, {command}, error);
}

bool TFTPClient::RenameFile(const QString& from, const QString& to, QString* error) {
  if (!FConnected) return SetError(error, NotConnected()), false;
  if (!CheckRemoteName(from, error) || !CheckRemoteName(to, error)) return false;
  QStringList commands;
  if (FSftp) {
    commands << QStringLiteral("rename ") + RemoteArgument(Resolve(from)) + u' ' + RemoteArgument(Resolve(to));
  } else {
    commands << QStringLiteral("RNFR ") + from << QStringLiteral("RNTO ") + to;
  }
  return Perform(UrlOf(FCurrentDir, true), false, commands, error);
}

// Fills libcurl's buffer with as many blocks as it holds, raising OnProgress after each: one
// block per call would make every kilobyte a packet of its own and a wake-up of the server.
// A cancel stops the filling at once, so nothing after the cancelled block goes out.
size_t TFTPClient::ReadBlock(char* buffer, size_t size, size_t count, void* data) {
  auto* t = static_cast<TTransfer*>(data);
  if (t->Cancelled) return CURL_READFUNC_ABORT;
  const qint64 room = static_cast<qint64>(size * count);
  qint64 filled = 0;
  while (!t->Finished && !t->Cancelled && filled < room) {
    const qint64 want = std::min<qint64>(kBlockSize, room - filled);
    if (want < kBlockSize && filled > 0) break;
    const qint64 got = t->File->read(buffer + filled, want);
    if (got < 0) {
      t->ReadFailed = true;
      return CURL_READFUNC_ABORT;
    }
    filled += got;
    t->Position += got;
    // A file that ends on a block boundary takes one more read, which finds nothing; libcurl,
    // knowing the size, asks no more, so that read is counted here.
    const bool end = got < want || t->Position >= t->Size;
    const int reads = got == want && end ? 2 : 1;
    t->Finished = end;
    for (int i = 0; i < reads && !t->Cancelled && t->Client->FOnProgress; ++i) {
      bool cancel = false;
      t->Client->FOnProgress(*t->Client, t->Position, t->Size, cancel);
      t->Cancelled = cancel;
    }
  }
  return static_cast<size_t>(filled);
}

bool TFTPClient::PutFile(const QString& localPath, const QString& remoteName, QString* error) {
  if (!FConnected) return SetError(error, NotConnected()), false;
  if (!CheckRemoteName(remoteName, error)) return false;
  QFileInfo info(localPath);
  if (!info.exists() || info.isDir()) {
    SetError(error, QStringLiteral("No such local file \"%1\"").arg(localPath));
    return false;
  }
  QFile file(localPath);
  if (!file.open(QIODevice::ReadOnly)) {
    SetError(error, QStringLiteral("Cannot open \"%1\": %2").arg(localPath, file.errorString()));
    return false;
  }
  TTransfer transfer;
  transfer.Client = this;
  transfer.File = &file;
  transfer.Size = file.size();
  CURL* curl = static_cast<CURL*>(FCurl);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadBlock);
  curl_easy_setopt(curl, CURLOPT_READDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(transfer.Size));
  // The type is that of the moment the file is sent, as with the other settings of a transfer.
  if (!FSftp) curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, FBinary ? 0L : 1L);
  QString reason;
  const bool sent = Perform(UrlOf(Resolve(remoteName), false), true, {}, &reason);
  curl_easy_setopt(curl, CURLOPT_READDATA, nullptr);
  if (!sent || transfer.Cancelled) {
    // A transfer that broke off may leave the server's answers out of step with libcurl's
    // commands; the next operation logs in again rather than trusting that connection.
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    FFreshConnect = true;
  }
  if (transfer.ReadFailed) {
    SetError(error, QStringLiteral("Cannot read \"%1\": %2").arg(localPath, file.errorString()));
    return false;
  }
  if (transfer.Cancelled) {
    SetError(error, QStringLiteral("Cancelled"));
    return false;
  }
  if (!sent) {
    SetError(error, reason);
    return false;
  }
  return true;
}

}  // namespace pw
