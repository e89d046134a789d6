#include "preview/InternetProtocol.h"

#include <QUrl>

namespace pw {

TProtocolResult TInternetProtocol::CombineUrl(const QString& baseUrl, const QString& relativeUrl, unsigned,
                                              QString& result) {
  const QUrl base(baseUrl);
  const QUrl relative(relativeUrl);
  if (!base.isValid() || !relative.isValid()) return prFalse;
  result = base.resolved(relative).toString();
  return prOk;
}

TProtocolResult TInternetProtocol::CompareUrl(const QString&, const QString&, unsigned) { return prNotImplemented; }

TProtocolResult TInternetProtocol::ParseUrl(const QString&, int, unsigned, QString&) { return prDefaultAction; }

TProtocolResult TInternetProtocol::QueryInfo(const QString&, int, unsigned, QString&) {
  return prQueryOptionUnknown;
}

TProtocolResult TInternetProtocol::Start(const QString& url, IProtocolSink* sink, const TBindInfo& bindInfo,
                                         QString* error) {
  if (bindInfo.Verb != bvGet) {
    if (error) *error = QStringLiteral("Only GET requests are served");
    return prFail;
  }
  FSink = sink;
  qint64 dataSize = 0;
  const TProtocolResult result = OpenUrl(url, bindInfo.Flags, bindInfo, dataSize, error);
  if (result != prOk) {
    FSink = nullptr;
    return result;
  }
  // The whole resource is ready at once; the sink may start reading right away.
  if (FSink) {
    FSink->ReportData(bscfFirstDataNotification | bscfLastDataNotification | bscfDataFullyAvailable,
                      static_cast<uint64_t>(dataSize), static_cast<uint64_t>(dataSize));
  }
  return result;
}

TProtocolResult TInternetProtocol::Continue() { return prNotImplemented; }

TProtocolResult TInternetProtocol::Abort(TProtocolResult) { return prNotImplemented; }

TProtocolResult TInternetProtocol::Terminate(unsigned) {
  FSink = nullptr;
  return prOk;
}

TProtocolResult TInternetProtocol::Suspend() { return prOk; }

TProtocolResult TInternetProtocol::Resume() { return prOk; }

TProtocolResult TInternetProtocol::Read(char*, qint64, qint64& readCount) {
  readCount = 0;
  return prFalse;
}

TProtocolResult TInternetProtocol::Seek(qint64, int, qint64&) { return prNotImplemented; }

TProtocolResult TInternetProtocol::LockRequest(unsigned) { return prOk; }

TProtocolResult TInternetProtocol::UnlockRequest() { return prOk; }

TProtocolResult TInternetProtocol::OpenUrl(const QString&, unsigned, const TBindInfo&, qint64&, QString* error) {
  if (error) *error = QStringLiteral("This scheme serves nothing");
  return prNotImplemented;
}

}  // namespace pw
