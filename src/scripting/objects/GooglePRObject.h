// TGooglePRObject ("Inet.GooglePR"): an HTTP object that also asks the toolbar ranking service
// for the rank of an address. The service no longer answers, so against the real host every
// lookup gives -1; the host is kept in one place so tests can point it at a local server.
// Reference-counted; thread-safety as THTTPObject.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

#include "scripting/objects/HttpObject.h"

namespace pw {

class TGooglePRObject : public THTTPObject {
  PW_AUTO_CLASS(TGooglePRObject, THTTPObject)

 public:
  // The address of the service's query path, to which "search?..." is appended.
  static constexpr const char* kDefaultServiceBase = "http://toolbarqueries.google.com/";

  TGooglePRObject() = default;

  // The rank 0 to 10 of the address, or -1 when the service fails or gives none.
  std::int32_t GooglePR(const QString& address);

  // The service base used by new lookups (tests point it at a local server); empty restores
  // the default. Any thread.
  static void SetServiceBase(const QString& base);
  static QString ServiceBase();

  // The query text of an address ("info:http://..."), the checksum the service expects of it,
  // and the rank an answer carries (-1 without one).
  static QByteArray QueryText(const QString& address);
  static std::uint32_t Checksum(const QByteArray& text);
  static std::int32_t ParseRank(const QByteArray& body);

 protected:
  ~TGooglePRObject() override = default;
};

// Bob Jenkins' 1996 32-bit hash ("lookup2") of the bytes, initval as the third state word.
std::uint32_t Lookup2Hash(const QByteArray& bytes, std::uint32_t initval);

}  // namespace pw
