#include "scripting/objects/HttpObject.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <memory>

#include "platform/Charsets.h"
#include "platform/CodePage.h"
#include "platform/CurlLibrary.h"
#include "scripting/objects/ByteArrayObject.h"

namespace pw {

PW_AUTO_MEMBERS(THTTPObject,
    AutoMethod(1, "GetFile", &THTTPObject::GetFile),
    AutoMethod(2, "GetString", &THTTPObject::GetString),
    AutoMethod(3, "GetData", &THTTPObject::GetData),
    AutoMethod(4, "PostData", &THTTPObject::PostData),
    AutoMethod(5, "PostString", &THTTPObject::PostString),
    AutoProperty(6, "MimeType", &THTTPObject::MimeType, &THTTPObject::SetMimeType),
    AutoProperty(7, "Proxy", &THTTPObject::Proxy, &THTTPObject::SetProxy),
    AutoProperty(8, "UserAgent", &THTTPObject::UserAgent, &THTTPObject::SetUserAgent),
    AutoProperty(9, "Timeout", &THTTPObject::Timeout, &THTTPObject::SetTimeout),
    AutoGetter(10, "ResultCode", &THTTPObject::ResultCode),
    AutoGetter(11, "Response", &THTTPObject::Response))

namespace {

using TLock = std::lock_guard<std::mutex>;

struct TCurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct TSlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the callbacks of one exchange share.
struct TExchange {
  QByteArray* Body = nullptr;
  bool TooLarge = false;
  qint64 TimeoutMs = 0;
  curl_off_t LastBytes = -1;
  QElapsedTimer SinceData;
};

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  auto* exchange = static_cast<TExchange*>(user);
  const size_t bytes = size * count;
  if (exchange->Body->size() + static_cast<qint64>(bytes) > THTTPObject::kMaxBodyBytes) {
    exchange->TooLarge = true;
    return 0;  // curl stops with a write error
  }
  exchange->Body->append(data, static_cast<qsizetype>(bytes));
  return bytes;
}

// Aborts an exchange that has gone without data for longer than the timeout: a server that
// stalls mid-answer must not hold the script forever, yet a slow large download may go on.
int WatchProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* exchange = static_cast<TExchange*>(user);
  const curl_off_t moved = downloaded + uploaded;
  if (moved != exchange->LastBytes) {
    exchange->LastBytes = moved;
    exchange->SinceData.restart();
    return 0;
  }
  return exchange->SinceData.elapsed() > exchange->TimeoutMs ? 1 : 0;
}

bool IsFollowedRedirect(long status) { return status == 301 || status == 302 || status == 303 || status == 307; }

QString LowerTrimmed(const QByteArray& bytes) { return QString::fromLatin1(bytes).trimmed().toLower(); }

// A charset value as written: quotes and whatever follows the name dropped.
QByteArray CharsetValue(QByteArray value) {
  value = value.trimmed();
  while (!value.isEmpty() && (value.front() == '"' || value.front() == '\'')) value.remove(0, 1);
  qsizetype end = 0;
  while (end < value.size() && !QByteArrayView("\"'; \t\r\n>/").contains(value[end])) ++end;
  return value.left(end);
}

}  // namespace

QString SystemHttpProxy() {
  QByteArray value = qgetenv("http_proxy");
  if (value.isEmpty()) value = qgetenv("HTTP_PROXY");
  if (value.trimmed().isEmpty()) return {};
  QString text = QString::fromLocal8Bit(value).trimmed();
  if (!text.contains(QLatin1String("://"))) text.prepend(QLatin1String("http://"));
  const QUrl url(text);
  if (url.host().isEmpty()) return {};
  return url.host() + QLatin1Char(':') + QString::number(url.port(80));
}

THTTPObject::THTTPObject()
    : FUserAgent(QStringLiteral("Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1)")),
      FMimeType(QStringLiteral("text/html")),
      FProxyText(SystemHttpProxy()) {}

THTTPObject::~THTTPObject() = default;

QString THTTPObject::DeclaredCharset(const QByteArray& contentType, const QByteArray& body) {
  const qsizetype equals = contentType.indexOf('=');
  if (equals >= 0) return LowerTrimmed(CharsetValue(contentType.mid(equals + 1)));
  // Markup names its charset near its start; a search of the whole of a large body is waste.
  const QByteArray head = body.left(64 * 1024).toLower();
  const qsizetype declStart = head.indexOf("<?xml");
  if (declStart >= 0) {
    const qsizetype declEnd = head.indexOf("?>", declStart);
    const QByteArray decl = head.mid(declStart, declEnd < 0 ? -1 : declEnd - declStart);
    const qsizetype encoding = decl.indexOf("encoding=");
    if (encoding >= 0) return LowerTrimmed(CharsetValue(decl.mid(encoding + 9)));
  }
  const qsizetype headStart = head.indexOf("<head");
  if (headStart >= 0) {
    const qsizetype headEnd = head.indexOf("</head>", headStart);
    const QByteArray part = head.mid(headStart, headEnd < 0 ? -1 : headEnd - headStart);
    const qsizetype charset = part.indexOf("charset=");
    if (charset >= 0) return LowerTrimmed(CharsetValue(part.mid(charset + 8)));
  }
  return {};
}

QString THTTPObject::DecodeBody(const QByteArray& contentType, const QByteArray& body) {
  const unsigned codePage = CharsetToCodePage(DeclaredCharset(contentType, body).toStdString());
  return platform::BytesToText(std::string_view(body.constData(), static_cast<size_t>(body.size())), codePage);
}

bool THTTPObject::Request(const QByteArray& method, const QString& url, const QByteArray& requestBody,
                          QByteArray* body) {
  TLock lock(FMutex);
  const bool ok = RequestLocked(method, url, requestBody);
  if (body) *body = ok ? FBody : QByteArray();
  return ok;
}

bool THTTPObject::RequestLocked(const QByteArray& method, const QString& url, const QByteArray& requestBody) {
  FResultCode = 0;
  FContentType.clear();
  FBody.clear();
  // Not a network failure but a broken installation: the script hears why.
  QString reason;
  if (!platform::LoadCurl(&reason)) {
    throw EAutoObjectError(QStringLiteral("Cannot load the network library: ") + reason);
  }
  std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
  if (!curl) return false;
  CURL* handle = curl.get();
  const QByteArray agent = FUserAgent.toUtf8();
  const QByteArray proxy = FProxyHost.isEmpty() ? QByteArray()
                                                : "http://" + FProxyHost.toUtf8() + ':' +
                                                      QByteArray::number(FProxyPort > 0 ? FProxyPort : 8080);
  const QByteArray proxyUser = FProxyUser.toUtf8();
  const QByteArray proxyPassword = FProxyPassword.toUtf8();
  std::unique_ptr<curl_slist, TSlistDeleter> headers;
  if (method == "POST") {
    headers.reset(curl_slist_append(nullptr, ("Content-Type: " + FMimeType.toUtf8()).constData()));
  }
  TExchange exchange;
  exchange.Body = &FBody;
  exchange.TimeoutMs = FTimeout > 0 ? FTimeout : 90000;

  QByteArray address = url.trimmed().toUtf8();
  for (int redirects = 0;; ++redirects) {
    curl_easy_reset(handle);
    FBody.clear();
    curl_easy_setopt(handle, CURLOPT_URL, address.constData());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, agent.constData());
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(exchange.TimeoutMs));
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, WatchProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &exchange);
    if (!FSystemProxy) {
      // An assigned proxy replaces the environment's, and an empty one means none.
      curl_easy_setopt(handle, CURLOPT_PROXY, proxy.constData());
      curl_easy_setopt(handle, CURLOPT_NOPROXY, "");
      if (!proxyUser.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, proxyUser.constData());
        curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, proxyPassword.constData());
      }
    }
    if (method == "POST") {
      curl_easy_setopt(handle, CURLOPT_POST, 1L);
      curl_easy_setopt(handle, CURLOPT_POSTFIELDS, requestBody.constData());
      curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(requestBody.size()));
      curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    }
    exchange.LastBytes = -1;
    exchange.TooLarge = false;
    exchange.SinceData.start();
    const CURLcode code = curl_easy_perform(handle);
    if (code != CURLE_OK) {
      FBody.clear();
      return false;
    }
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    FResultCode = static_cast<std::int32_t>(status);
    char* contentType = nullptr;
    curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType);
    FContentType = contentType ? QByteArray(contentType) : QByteArray();
    if (!IsFollowedRedirect(status)) return true;
    // curl resolves a relative Location against the address it asked.
    char* location = nullptr;
    curl_easy_getinfo(handle, CURLINFO_REDIRECT_URL, &location);
    if (!location || !*location) return true;
    if (redirects >= kMaxRedirects) {
      FBody.clear();
      FContentType.clear();
      return false;
    }
    address = QByteArray(location).trimmed();
  }
}

QString THTTPObject::ResponseText() {
  TLock lock(FMutex);
  return DecodeBody(FContentType, FBody);
}

bool THTTPObject::GetFile(const QString& url, const QString& fileName) {
  QString path = fileName;
  path.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const QString folder = QFileInfo(path).path();
  if (!folder.isEmpty() && folder != QLatin1String(".") && !QDir().mkpath(folder)) return false;
  // The file exists, empty, whatever the request gives.
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  TLock lock(FMutex);
  if (!RequestLocked("GET", url, {})) return false;
  return file.write(FBody) == FBody.size() && file.flush();
}

QString THTTPObject::GetString(const QString& url) {
  TLock lock(FMutex);
  return RequestLocked("GET", url, {}) ? DecodeBody(FContentType, FBody) : QString();
}

Variant THTTPObject::GetData(const QString& url) {
  TLock lock(FMutex);
  return RequestLocked("GET", url, {}) ? Variant::FromBytes(FBody) : Variant::Null();
}

Variant THTTPObject::PostData(const QString& url, const Variant& bytes) {
  const QByteArray body = BytesOfValue(bytes);
  TLock lock(FMutex);
  return RequestLocked("POST", url, body) ? Variant::FromBytes(FBody) : Variant::Null();
}

QString THTTPObject::PostString(const QString& url, const QString& text) {
  const QByteArray body = text.toUtf8();
  TLock lock(FMutex);
  return RequestLocked("POST", url, body) ? DecodeBody(FContentType, FBody) : QString();
}

QString THTTPObject::MimeType() {
  TLock lock(FMutex);
  return FMimeType;
}

void THTTPObject::SetMimeType(const QString& value) {
  TLock lock(FMutex);
  FMimeType = value;
}

QString THTTPObject::Proxy() {
  TLock lock(FMutex);
  return FProxyText;
}

void THTTPObject::SetProxy(const QString& value) {
  TLock lock(FMutex);
  if (value == FProxyText) return;
  FProxyText = value;
  FSystemProxy = false;
  FProxyHost.clear();
  FProxyPort = 0;
  FProxyUser.clear();
  FProxyPassword.clear();
  const QString text = value.trimmed();
  if (text.isEmpty()) return;
  const QUrl parsed(text.contains(QLatin1String("://")) ? text : QStringLiteral("http://") + text);
  FProxyHost = parsed.host();
  FProxyPort = parsed.port(0);
  FProxyUser = parsed.userName(QUrl::FullyDecoded);
  FProxyPassword = parsed.password(QUrl::FullyDecoded);
}

QString THTTPObject::UserAgent() {
  TLock lock(FMutex);
  return FUserAgent;
}

void THTTPObject::SetUserAgent(const QString& value) {
  TLock lock(FMutex);
  FUserAgent = value;
}

std::int32_t THTTPObject::Timeout() {
  TLock lock(FMutex);
  return FTimeout;
}

void THTTPObject::SetTimeout(std::int32_t value) {
  TLock lock(FMutex);
  FTimeout = value;
}

std::int32_t THTTPObject::ResultCode() {
  TLock lock(FMutex);
  return FResultCode;
}

QString THTTPObject::Response() { return ResponseText(); }

}  // namespace pw
