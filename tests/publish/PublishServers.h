// Real servers on loopback for the publishing tests: pyftpdlib (plain FTP, or explicit TLS with
// a certificate made for the run), a throwaway sshd with its own host and client keys on a free
// port, and a listener that never answers. Each one lives in its own temporary folder and is
// stopped by its destructor. Works as root and as an ordinary user.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <ostream>

// gtest prints QString values as text.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace pw::tests {

// Runs a program to its end; true when it exited with 0.
inline bool RunTool(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) return false;
  if (out) *out = p.readAllStandardOutput();
  return p.exitCode() == 0;
}

// A Python that has pyftpdlib: the one on PATH, or else the system's.
inline QString PythonWithFtpServer() {
  for (const QString& python : {QStringLiteral("python3"), QStringLiteral("/usr/bin/python3")}) {
    if (RunTool(python, {"-c", "import pyftpdlib"})) return python;
  }
  return QString();
}

inline sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

// Binds a socket to a free loopback port, listening when asked; the port, or 0.
inline int BindFree(int fd, bool listen) {
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || (listen && ::listen(fd, 8) != 0) ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return 0;
  }
  return ntohs(address.sin_port);
}

inline int FreeTcpPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const int port = BindFree(fd, false);
  ::close(fd);
  return port;
}

inline bool PortAccepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// A server process in a temporary folder of its own; both go when their owner does.
class TServerProcess {
 public:
  // The temporary folder goes below parent, the system's temporary folder by default.
  explicit TServerProcess(const QString& parent = QDir::tempPath()) : FDir(parent + "/pw-server-XXXXXX") {}
  ~TServerProcess() { Stop(); }
  int Port() const { return FPort; }
  qint64 ProcessId() const { return FProcess.processId(); }
  void Stop() {
    if (FProcess.state() == QProcess::NotRunning) return;
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000)) Kill();
  }
  // The server dies at once, mid-transfer if need be.
  void Kill() {
    FProcess.kill();
    FProcess.waitForFinished(5000);
  }

 protected:
  static bool Fail(QString* why, const char* text) {
    if (why) *why = QString::fromUtf8(text);
    return false;
  }
  QTemporaryDir FDir;
  QProcess FProcess;
  int FPort = 0;
};

struct TFtpServerOptions {
  bool Tls = false;
  QStringList ReadOnly;  // folders below the root where writing is refused
  bool Multiprocess = false;
  int LatencyMs = 0;  // every reply is delayed by this much
};

// pyftpdlib serving Root() to "user"/"secret".
class TFtpServer : public TServerProcess {
 public:
  static constexpr const char* kUser = "user";
  static constexpr const char* kPassword = "secret";

  using TServerProcess::TServerProcess;

  // False with a message when the server cannot run here.
  bool Start(const TFtpServerOptions& options = {}, QString* why = nullptr) {
    const QString python = PythonWithFtpServer();
    if (python.isEmpty()) return Fail(why, "no python3 with pyftpdlib (scripts/install-deps.sh installs it)");
    QDir().mkpath(Root());
    QStringList args{QStringLiteral(PW_SOURCE_DIR "/tests/publish/ftp_server.py"), "--root", Root()};
    if (options.Tls) {
      if (!RunTool("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                               "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", CertFile(), "-out", CertFile()})) {
        return Fail(why, "openssl cannot make a certificate");
      }
      args << "--tls" << CertFile();
    }
    for (const QString& folder : options.ReadOnly) {
      QDir().mkpath(Root() + "/" + folder);
      args << "--read-only" << folder;
    }
    if (options.Multiprocess) args << "--multiprocess";
    if (options.LatencyMs > 0) args << "--latency-ms" << QString::number(options.LatencyMs);
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.start(python, args);
    if (!FProcess.waitForReadyRead(15000)) return Fail(why, "the FTP server did not start");
    FPort = FProcess.readLine().trimmed().toInt();
    return FPort > 0 || Fail(why, "the FTP server gave no port");
  }

  QString Root() const { return FDir.path() + "/root"; }
  // The certificate (with its key) that FTPS clients are told to trust.
  QString CertFile() const { return FDir.path() + "/cert.pem"; }

};

// sshd on a free loopback port that lets the current user in with a key made for the run.
class TSshServer : public TServerProcess {
 public:
  bool Start(QString* why = nullptr) {
    const QString sshd = QStringLiteral("/usr/sbin/sshd");
    if (!QFile::exists(sshd)) return Fail(why, "no /usr/sbin/sshd (scripts/install-deps.sh installs openssh-server)");
    const QString d = FDir.path();
    if (!RunTool("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", d + "/host_key"}) ||
        !RunTool("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", d + "/client_key"})) {
      return Fail(why, "ssh-keygen failed");
    }
    QFile::copy(d + "/client_key.pub", d + "/authorized_keys");
    // Privilege separation wants its empty folder when sshd runs as root.
    if (::geteuid() == 0) QDir().mkpath("/run/sshd");
    FPort = FreeTcpPort();
    QFile config(d + "/sshd_config");
    if (!config.open(QIODevice::WriteOnly)) return Fail(why, "cannot write sshd_config");
    config.write(QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2/host_key\nPidFile %2/sshd.pid\n"
                                "AuthorizedKeysFile %2/authorized_keys\nStrictModes no\nUsePAM no\n"
                                "PasswordAuthentication no\nKbdInteractiveAuthentication no\nPubkeyAuthentication yes\n"
                                "PermitRootLogin prohibit-password\nSubsystem sftp internal-sftp\nLogLevel ERROR\n")
                     .arg(FPort)
                     .arg(d)
                     .toUtf8());
    config.close();
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.start(sshd, {"-D", "-e", "-f", d + "/sshd_config"});
    for (int i = 0; i < 100 && !PortAccepts(FPort); ++i) {
      if (FProcess.state() == QProcess::NotRunning) return Fail(why, "sshd did not start");
      QThread::msleep(50);
    }
    if (!PortAccepts(FPort)) return Fail(why, "sshd does not listen");
    QByteArray hostKey;
    QFile pub(d + "/host_key.pub");
    if (!pub.open(QIODevice::ReadOnly)) return Fail(why, "no host key");
    hostKey = pub.readAll().trimmed();
    QFile known(KnownHostsFile());
    if (!known.open(QIODevice::WriteOnly)) return Fail(why, "cannot write known_hosts");
    // Only the type and the key: the comment would not parse as a known-hosts field.
    const QList<QByteArray> fields = hostKey.split(' ');
    known.write(QStringLiteral("[127.0.0.1]:%1 ").arg(FPort).toUtf8() + fields.value(0) + ' ' + fields.value(1) + '\n');
    return true;
  }

  QString KnownHostsFile() const { return FDir.path() + "/known_hosts"; }
  QString ClientKeyFile() const { return FDir.path() + "/client_key"; }
  QString UserName() const { return qEnvironmentVariable("USER", ::geteuid() == 0 ? "root" : ""); }
  // A folder the tests may write into, by its absolute path.
  QString Root() const {
    QDir().mkpath(FDir.path() + "/root");
    return FDir.path() + "/root";
  }

};

// A listener whose connections complete but never hear a word: a server that never answers.
class TSilentServer {
 public:
  TSilentServer() : FSocket(::socket(AF_INET, SOCK_STREAM, 0)), FPort(BindFree(FSocket, true)) {}
  ~TSilentServer() { ::close(FSocket); }
  int Port() const { return FPort; }

 private:
  int FSocket;
  int FPort;
};

}  // namespace pw::tests
