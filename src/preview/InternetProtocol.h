// TInternetProtocol: the frame of the URL schemes the program serves itself (the preview of
// the site being built, packaged documents). One protocol object serves one request: the
// browser adapter (or a test, or the HTTP server of `pagewick-cli serve`) creates it through
// the scheme's factory, calls Start once, pulls the data with Read until it answers prFalse,
// and calls Terminate. Subclasses override the virtual operations only.
//
// Ownership: the caller owns the protocol object; the sink is borrowed from Start until the
// last Read or Terminate. Thread-safety: none; one object is used by one thread.
#pragma once

#include <QString>

#include <cstdint>

namespace pw {

// What an operation answers the browser. Not errors in the program's sense: a request that
// cannot be served answers prFail or prAccessDenied, with the reason in the error text.
enum TProtocolResult {
  prOk,                  // done
  prFalse,               // nothing (more) to do: no data, or the URLs do not combine
  prNotImplemented,      // the operation is not offered
  prFail,                // the request was refused (a verb other than GET)
  prAccessDenied,        // the resource exists but cannot be read
  prDefaultAction,       // the browser should do what it does for ordinary URLs
  prQueryOptionUnknown,  // QueryInfo has nothing to say about that option
};

// Progress a protocol reports while it opens a resource, in the order it finds things out.
// The numbers are those the browser's URL library uses.
enum TBindStatus {
  bsFindingResource = 1,
  bsConnecting = 2,
  bsSendingRequest = 11,
  bsMimeTypeAvailable = 13,
  bsCacheFileNameAvailable = 14,
};

// Flags of ReportData.
enum : unsigned {
  bscfFirstDataNotification = 0x01,
  bscfLastDataNotification = 0x04,
  bscfDataFullyAvailable = 0x08,
};

// Bind flags the caller may set.
enum : unsigned {
  bindfNeedFile = 0x40,  // the caller wants the resource's file name (bsCacheFileNameAvailable)
};

enum TBindVerb { bvGet = 0, bvPost = 1, bvPut = 2, bvCustom = 3 };

// What the caller tells about its request.
struct TBindInfo {
  TBindVerb Verb = bvGet;
  unsigned Flags = 0;
};

// The browser's side of a request: told what the protocol finds, that the data is there, and
// that it has all been read.
class IProtocolSink {
 public:
  virtual ~IProtocolSink() = default;
  virtual void ReportProgress(TBindStatus status, const QString& text) = 0;
  virtual void ReportData(unsigned flags, uint64_t progress, uint64_t progressMax) = 0;
  virtual void ReportResult(TProtocolResult result, int errorCode, const QString& text) = 0;
};

class TInternetProtocol {
 public:
  TInternetProtocol() = default;
  virtual ~TInternetProtocol() = default;
  TInternetProtocol(const TInternetProtocol&) = delete;
  TInternetProtocol& operator=(const TInternetProtocol&) = delete;

  // Combines a link with the URL of the page it stands on into `result`. prOk when they
  // combine, prFalse otherwise. By default the rules of ordinary web URLs (RFC 3986).
  virtual TProtocolResult CombineUrl(const QString& baseUrl, const QString& relativeUrl, unsigned flags,
                                     QString& result);
  virtual TProtocolResult CompareUrl(const QString& url1, const QString& url2, unsigned flags);
  virtual TProtocolResult ParseUrl(const QString& url, int action, unsigned flags, QString& result);
  virtual TProtocolResult QueryInfo(const QString& url, int option, unsigned flags, QString& result);

  // Serves a GET request: the subclass's OpenUrl prepares all the data, then the sink is told
  // it is fully available. Anything but GET answers prFail. On failure the sink is dropped and
  // `error` (when given) says why.
  TProtocolResult Start(const QString& url, IProtocolSink* sink, const TBindInfo& bindInfo,
                        QString* error = nullptr);
  virtual TProtocolResult Continue();
  virtual TProtocolResult Abort(TProtocolResult reason);
  // Ends the request: drops the sink.
  virtual TProtocolResult Terminate(unsigned options);
  virtual TProtocolResult Suspend();
  virtual TProtocolResult Resume();
  // Copies up to `size` bytes of the data into buffer; prOk while there was data, prFalse at
  // the end (readCount 0).
  virtual TProtocolResult Read(char* buffer, qint64 size, qint64& readCount);
  virtual TProtocolResult Seek(qint64 move, int origin, qint64& newPosition);
  virtual TProtocolResult LockRequest(unsigned options);
  virtual TProtocolResult UnlockRequest();

 protected:
  // Opens the resource `url` names (scheme included), prepares what Read hands out, reports
  // progress to FSink and sets dataSize to the number of bytes.
  virtual TProtocolResult OpenUrl(const QString& url, unsigned bindFlags, const TBindInfo& bindInfo,
                                  qint64& dataSize, QString* error);

  IProtocolSink* FSink = nullptr;
};

}  // namespace pw
