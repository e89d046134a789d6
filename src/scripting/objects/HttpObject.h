// THTTPObject ("Inet.HTTP"): HTTP GET and POST for scripts over libcurl, returning text, bytes
// or files. Redirects (301, 302, 303, 307) are followed by hand with the same method, at most
// kMaxRedirects times; a longer chain fails like a network error. Network failures are never
// raised to the script: text members give empty text, byte members null, GetFile false; only a
// network library that cannot be loaded is raised, with its reason. An HTTP error status still
// counts as a completed exchange, with its body and ResultCode.
// A response body larger than kMaxBodyBytes is refused (the request fails), and the timeout
// bounds both the connection and every stretch without incoming data.
// The proxy starts as the environment's (http_proxy, https_proxy, no_proxy); assigning Proxy
// ("user:pass@host:port", empty for none) replaces it.
// Reference-counted; calls are serialised by a mutex, so an object handed to a script thread
// blocks the other side while a request runs.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <mutex>

#include "scripting/AutoObject.h"

namespace pw {

class THTTPObject : public TCustomAutoObject {
  PW_AUTO_CLASS(THTTPObject, TCustomAutoObject)

 public:
  // A chain of redirects longer than this is a loop or a misconfigured server.
  static constexpr int kMaxRedirects = 20;
  // Far above any page or feed a site script fetches; keeps a hostile server from filling memory.
  static constexpr qint64 kMaxBodyBytes = qint64{64} << 20;

  THTTPObject();

  bool GetFile(const QString& url, const QString& fileName);
  QString GetString(const QString& url);
  Variant GetData(const QString& url);
  Variant PostData(const QString& url, const Variant& bytes);
  QString PostString(const QString& url, const QString& text);
  QString MimeType();
  void SetMimeType(const QString& value);
  QString Proxy();
  void SetProxy(const QString& value);
  QString UserAgent();
  void SetUserAgent(const QString& value);
  std::int32_t Timeout();
  void SetTimeout(std::int32_t value);
  std::int32_t ResultCode();
  QString Response();

  // Host-side use (the XML object's Get and Post, feeds): the whole exchange. True when it
  // completed, whatever the status; *body then holds the response body. Throws
  // EAutoObjectError when the network library cannot be loaded.
  bool Request(const QByteArray& method, const QString& url, const QByteArray& requestBody,
               QByteArray* body);
  // The response text of the last request, decoded by its charset.
  QString ResponseText();

  // The charset name a response declares: the Content-Type header's, else an XML
  // declaration's, else a charset= inside the head element; empty when none. Lower case.
  static QString DeclaredCharset(const QByteArray& contentType, const QByteArray& body);
  // The body decoded by its declared charset (the ANSI code page when none or unknown).
  static QString DecodeBody(const QByteArray& contentType, const QByteArray& body);

 protected:
  ~THTTPObject() override;

 private:
  // With FMutex held.
  bool RequestLocked(const QByteArray& method, const QString& url, const QByteArray& requestBody);

  std::mutex FMutex;
  QString FUserAgent;
  QString FMimeType;
  std::int32_t FTimeout = 90000;
  QString FProxyText;
  // True while the proxy is the environment's: curl then applies http_proxy, https_proxy and
  // no_proxy itself, each for its own scheme.
  bool FSystemProxy = true;
  QString FProxyHost;
  int FProxyPort = 0;
  QString FProxyUser;
  QString FProxyPassword;
  std::int32_t FResultCode = 0;
  QByteArray FContentType;
  QByteArray FBody;
};

// The "host:port" of the environment's HTTP proxy (http_proxy, else HTTP_PROXY); empty when
// none is set.
QString SystemHttpProxy();

}  // namespace pw
