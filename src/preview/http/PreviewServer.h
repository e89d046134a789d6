// TPreviewServer: serves the preview module's folder over HTTP on the loopback address, each
// request through its own `preview:` protocol object, so pages get the same file mapping,
// includes and confinement as in the built-in preview. Unlike the built-in preview it answers
// a missing file with status 404 (the error page as its body), serves HEAD, and, with live
// reload on, adds to every HTML page a small script that reloads the page when
// NotifyRebuilt is called (server-sent events on kEventsPath).
//
// Ownership: the caller owns the server and the module, which must outlive it.
// Thread-safety: lives on the thread that created it; it needs that thread's event loop.
#pragma once

#include "preview/SSIPreviewModule.h"

#include <QAbstractHttpServer>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpSocket>

#include <vector>

namespace pw {

class TPreviewServer : public QAbstractHttpServer {
 public:
  // The path of the event stream the reload script listens to.
  static constexpr const char* kEventsPath = "/__pagewick/events";

  explicit TPreviewServer(TSSIPreviewModule& module, QObject* parent = nullptr);
  ~TPreviewServer() override;

  // Listens on 127.0.0.1:port (0 picks a free port); port then holds the port taken.
  bool Listen(quint16& port, QString* error);

  void SetLiveReload(bool enabled) { FLiveReload = enabled; }
  // Pages shown since the last rebuild reload themselves.
  void NotifyRebuilt();
  int Generation() const { return FGeneration; }

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

 private:
  void ServeEvents(const QHttpServerRequest& request, QTcpSocket* socket);
  void ServeFile(const QHttpServerRequest& request, QTcpSocket* socket, const QString& path);
  static void WriteWhole(const QHttpServerRequest& request, QTcpSocket* socket,
                         QHttpServerResponder::StatusCode status, const QByteArray& mimeType, const QByteArray& body,
                         QHttpServerResponder::HeaderList headers = {});
  QByteArray ReloadScript() const;
  void ForgetClosedListeners();

  TSSIPreviewModule& FModule;
  bool FLiveReload = false;
  int FGeneration = 1;
  std::vector<QPointer<QTcpSocket>> FListeners;
};

}  // namespace pw
