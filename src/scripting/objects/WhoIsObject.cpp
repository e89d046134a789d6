#include "scripting/objects/WhoIsObject.h"

#include <QByteArray>

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "platform/TextDecoding.h"

namespace pw {

PW_AUTO_MEMBERS(TWhoIsObject,
    AutoMethod(1, "WhoIs", &TWhoIsObject::WhoIs),
    AutoProperty(2, "Host", &TWhoIsObject::Host, &TWhoIsObject::SetHost))

namespace {

using TLock = std::lock_guard<std::mutex>;

class TSocket {
 public:
  TSocket() = default;
  ~TSocket() {
    if (FFd >= 0) ::close(FFd);
  }
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;

  // Connects within the timeout to any address of the host.
  bool Connect(const QByteArray& host, const QByteArray& port, int timeoutMs) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0) return false;
    bool connected = false;
    for (addrinfo* a = found; a && !connected; a = a->ai_next) {
      const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
      if (fd < 0) continue;
      if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0 || (errno == EINPROGRESS && WaitConnected(fd, timeoutMs))) {
        FFd = fd;
        connected = true;
      } else {
        ::close(fd);
      }
    }
    freeaddrinfo(found);
    return connected;
  }

  bool SendAll(const QByteArray& bytes, int timeoutMs) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
      if (!Wait(POLLOUT, timeoutMs)) return false;
      const ssize_t n = ::send(FFd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (n > 0) sent += n;
    }
    return true;
  }

  // Appends what arrives until the peer closes, an error, a wait longer than the timeout, or
  // the limit.
  void ReceiveAll(QByteArray& into, int timeoutMs, qint64 limit) {
    char buffer[65536];
    while (into.size() < limit) {
      if (!Wait(POLLIN, timeoutMs)) return;
      const ssize_t n = ::recv(FFd, buffer, sizeof buffer, 0);
      if (n == 0) return;
      if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) continue;
        return;
      }
      into.append(buffer, static_cast<qsizetype>(std::min<qint64>(n, limit - into.size())));
    }
  }

 private:
  static bool WaitConnected(int fd, int timeoutMs) {
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return false;
    int error = 0;
    socklen_t length = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }

  bool Wait(short events, int timeoutMs) {
    pollfd p{FFd, events, 0};
    int ready;
    do {
      ready = ::poll(&p, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready == 1;
  }

  int FFd = -1;
};

}  // namespace

TWhoIsObject::TWhoIsObject() : FHost(QString::fromLatin1(kDefaultHost)) {}

QString TWhoIsObject::WhoIs(const QString& query) {
  QString host;
  int timeoutMs;
  {
    TLock lock(FMutex);
    host = FHost.trimmed();
    timeoutMs = FTimeoutMs;
  }
  QByteArray port = QByteArray::number(kDefaultPort);
  // "host:port", but not a bare IPv6 address; "[::1]:4343" names both.
  const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
  if (colon > 0 && (host.count(QLatin1Char(':')) == 1 || host.startsWith(QLatin1Char('[')))) {
    port = host.mid(colon + 1).toLatin1();
    host = host.left(colon);
  }
  if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) host = host.mid(1, host.size() - 2);

  TSocket socket;
  if (host.isEmpty() || !socket.Connect(host.toUtf8(), port, timeoutMs)) return {};
  QByteArray answer;
  if (socket.SendAll(query.toUtf8() + "\r\n", timeoutMs)) socket.ReceiveAll(answer, timeoutMs, kMaxAnswerBytes);
  QString result;
  const QList<QByteArray> lines = answer.split('\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    QByteArray line = lines[i];
    if (line.endsWith('\r')) line.chop(1);
    // The text after the last line end is a line only when it holds something.
    if (i == lines.size() - 1 && line.isEmpty()) break;
    // Servers answer in UTF-8 or in a legacy single-byte charset.
    result += QLatin1Char('\n') + platform::DecodeUnmarkedText(std::string_view(line.constData(), static_cast<size_t>(line.size())));
  }
  return result;
}

QString TWhoIsObject::Host() {
  TLock lock(FMutex);
  return FHost;
}

void TWhoIsObject::SetHost(const QString& value) {
  TLock lock(FMutex);
  FHost = value;
}

void TWhoIsObject::SetTimeoutMs(int value) {
  TLock lock(FMutex);
  FTimeoutMs = value;
}

}  // namespace pw
