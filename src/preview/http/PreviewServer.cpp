#include "preview/http/PreviewServer.h"

#include "preview/SSIPreviewProtocol.h"

#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>

#include <memory>

namespace pw {

using TStatus = QHttpServerResponder::StatusCode;

namespace {

// Bodies up to this size are written in one go; larger ones are read from the protocol
// object as the socket drains, so a big picture never sits in memory whole.
constexpr qint64 kWholeBodyLimit = 1 << 20;
constexpr qint64 kChunkSize = 64 * 1024;

// What the protocol object told about the request.
class TResponseSink : public IProtocolSink {
 public:
  void ReportProgress(TBindStatus status, const QString& text) override {
    // The preview protocol names a type only for a file it found; the error page has none.
    if (status == bsMimeTypeAvailable) {
      FMimeType = text;
      FFound = true;
    }
  }
  void ReportData(unsigned, uint64_t, uint64_t progressMax) override { FSize = static_cast<qint64>(progressMax); }
  void ReportResult(TProtocolResult, int, const QString&) override {}

  QString FMimeType;
  bool FFound = false;
  qint64 FSize = 0;
};

// Feeds a large body to its socket chunk by chunk. A child of the socket, so a client that
// goes away mid-response takes the rest of its response with it.
class TBodyPump : public QObject {
 public:
  TBodyPump(QTcpSocket* socket, std::unique_ptr<TInternetProtocol> protocol, std::unique_ptr<TResponseSink> sink,
            bool closeAfter)
      : QObject(socket),
        FSocket(socket),
        FProtocol(std::move(protocol)),
        FSink(std::move(sink)),
        FCloseAfter(closeAfter) {
    connect(socket, &QTcpSocket::bytesWritten, this, [this] { Fill(); });
  }

  void Fill() {
    QByteArray chunk(kChunkSize, Qt::Uninitialized);
    while (FSocket->bytesToWrite() < 4 * kChunkSize) {
      qint64 count = 0;
      if (FProtocol->Read(chunk.data(), chunk.size(), count) != prOk || count <= 0) {
        FProtocol->Terminate(0);
        if (FCloseAfter) FSocket->disconnectFromHost();
        deleteLater();
        disconnect(FSocket, nullptr, this, nullptr);
        return;
      }
      FSocket->write(chunk.constData(), count);
    }
  }

 private:
  QTcpSocket* FSocket;
  std::unique_ptr<TInternetProtocol> FProtocol;
  std::unique_ptr<TResponseSink> FSink;
  bool FCloseAfter;
};

QByteArray ReadAll(TInternetProtocol& protocol) {
  QByteArray body;
  QByteArray chunk(kChunkSize, Qt::Uninitialized);
  qint64 count = 0;
  while (protocol.Read(chunk.data(), chunk.size(), count) == prOk && count > 0) body.append(chunk.constData(), count);
  protocol.Terminate(0);
  return body;
}

bool WantsClose(const QHttpServerRequest& request) {
  return request.value("Connection").compare("close", Qt::CaseInsensitive) == 0;
}

bool IsHtml(const QString& mimeType) {
  return mimeType == u"text/html" || mimeType == u"application/xhtml+xml";
}

// Puts script before the page's last "</body>", or at its end when it has none.
void InjectScript(QByteArray& page, const QByteArray& script) {
  const qsizetype at = page.toLower().lastIndexOf("</body>");
  if (at >= 0) {
    page.insert(at, script);
  } else {
    page.append(script);
  }
}

void WriteHead(QHttpServerResponder& responder, TStatus status, const QByteArray& mimeType, qint64 length) {
  responder.writeStatusLine(status);
  responder.writeHeader("Content-Type", mimeType);
  responder.writeHeader("Content-Length", QByteArray::number(length));
  // A preview shows the latest build, never a cached one.
  responder.writeHeader("Cache-Control", "no-cache");
}

}  // namespace

TPreviewServer::TPreviewServer(TSSIPreviewModule& module, QObject* parent)
    : QAbstractHttpServer(parent), FModule(module) {}

TPreviewServer::~TPreviewServer() = default;

bool TPreviewServer::Listen(quint16& port, QString* error) {
  auto* server = new QTcpServer(this);
  // Browsers open several connections per page; a burst of clients should queue, not fail.
  server->setListenBacklogSize(256);
  if (!server->listen(QHostAddress::LocalHost, port)) {
    if (error) *error = server->errorString();
    delete server;
    return false;
  }
  port = server->serverPort();
  bind(server);
  return true;
}

void TPreviewServer::WriteWhole(const QHttpServerRequest& request, QTcpSocket* socket, TStatus status,
                                const QByteArray& mimeType, const QByteArray& body,
                                QHttpServerResponder::HeaderList headers) {
  QHttpServerResponder responder = makeResponder(request, socket);
  WriteHead(responder, status, mimeType, body.size());
  responder.writeHeaders(headers);
  if (request.method() == QHttpServerRequest::Method::Head) {
    responder.writeBody("", 0);
  } else {
    responder.writeBody(body);
  }
  if (WantsClose(request)) socket->disconnectFromHost();
}

void TPreviewServer::ForgetClosedListeners() {
  std::erase_if(FListeners, [](const QPointer<QTcpSocket>& socket) {
    return !socket || socket->state() != QAbstractSocket::ConnectedState;
  });
}

void TPreviewServer::NotifyRebuilt() {
  ++FGeneration;
  const QByteArray event = "data: " + QByteArray::number(FGeneration) + "\n\n";
  ForgetClosedListeners();
  for (const QPointer<QTcpSocket>& socket : FListeners) socket->write(event);
}

QByteArray TPreviewServer::ReloadScript() const {
  // The page remembers the build it came from; the stream names the current build when it
  // connects and after every rebuild, so a rebuild that happens while the page loads is not
  // missed either.
  return QByteArrayLiteral("<script>(function(){var b=\"") + QByteArray::number(FGeneration) +
         QByteArrayLiteral("\";var s=new EventSource(\"") + kEventsPath +
         QByteArrayLiteral("\");s.onmessage=function(e){if(e.data!==b){s.close();location.reload();}};})();"
                           "</script>");
}

bool TPreviewServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  // A response is written whole; waiting to fill a packet only delays the next request.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  const auto method = request.method();
  if (method != QHttpServerRequest::Method::Get && method != QHttpServerRequest::Method::Head) {
    WriteWhole(request, socket, TStatus::MethodNotAllowed, "text/plain", "Only GET and HEAD are served\n",
               {{"Allow", "GET, HEAD"}});
    return true;
  }
  const QString path = request.url().path(QUrl::FullyDecoded);
  if (FLiveReload && path == QLatin1String(kEventsPath)) {
    ServeEvents(request, socket);
  } else {
    ServeFile(request, socket, path);
  }
  return true;
}

void TPreviewServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
  WriteWhole(request, socket, TStatus::NotFound, "text/html; charset=utf-8", FModule.ErrorPage());
}

void TPreviewServer::ServeEvents(const QHttpServerRequest& request, QTcpSocket* socket) {
  QHttpServerResponder responder = makeResponder(request, socket);
  responder.writeStatusLine(TStatus::Ok);
  responder.writeHeader("Content-Type", "text/event-stream");
  responder.writeHeader("Cache-Control", "no-cache");
  if (request.method() == QHttpServerRequest::Method::Head) {
    responder.writeBody("", 0);
    return;
  }
  // The stream stays open until the page goes away; it carries the number of the build.
  responder.writeBody("retry: 1000\ndata: " + QByteArray::number(FGeneration) + "\n\n");
  // Pages reloaded many times between two builds leave closed streams behind.
  ForgetClosedListeners();
  FListeners.emplace_back(socket);
}

void TPreviewServer::ServeFile(const QHttpServerRequest& request, QTcpSocket* socket, const QString& path) {
  std::unique_ptr<TInternetProtocol> protocol = FModule.Factory().CreateInstance();
  auto sink = std::make_unique<TResponseSink>();
  QString error;
  const TProtocolResult started =
      protocol->Start(TSSIPreviewModule::Scheme() + u':' + path, sink.get(), TBindInfo{}, &error);
  if (started != prOk) {
    const TStatus status = started == prAccessDenied ? TStatus::Forbidden : TStatus::InternalServerError;
    WriteWhole(request, socket, status, "text/plain; charset=utf-8", error.toUtf8() + '\n');
    return;
  }

  if (!sink->FFound) {
    QByteArray page = ReadAll(*protocol);
    if (FLiveReload) InjectScript(page, ReloadScript());
    WriteWhole(request, socket, TStatus::NotFound, "text/html; charset=utf-8", page);
    return;
  }

  const QByteArray mimeType = sink->FMimeType.toUtf8();
  const bool inject = FLiveReload && IsHtml(sink->FMimeType);
  const bool head = request.method() == QHttpServerRequest::Method::Head;
  if (inject || (!head && sink->FSize <= kWholeBodyLimit)) {
    QByteArray body = ReadAll(*protocol);
    if (inject) InjectScript(body, ReloadScript());
    WriteWhole(request, socket, TStatus::Ok, mimeType, body);
    return;
  }

  QHttpServerResponder responder = makeResponder(request, socket);
  WriteHead(responder, TStatus::Ok, mimeType, sink->FSize);
  responder.writeBody("", 0);
  if (head) {
    protocol->Terminate(0);
    if (WantsClose(request)) socket->disconnectFromHost();
    return;
  }
  auto* pump = new TBodyPump(socket, std::move(protocol), std::move(sink), WantsClose(request));
  pump->Fill();
}

}  // namespace pw
