// TWhoIsObject ("Inet.WhoIs"): sends a WHOIS query over TCP and returns the server's whole
// answer, each line preceded by "\n". Host may carry a port ("host:port"; 43 otherwise). The
// timeout bounds the connection and every wait for data; an answer is cut at kMaxAnswerBytes
// so that a server that never stops cannot fill memory. Failures give what was received so far
// (nothing when the connection fails).
// Reference-counted; calls are serialised by a mutex.
#pragma once

#include <QString>

#include <cstdint>
#include <mutex>

#include "scripting/AutoObject.h"

namespace pw {

class TWhoIsObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TWhoIsObject, TCustomAutoObject)

 public:
  // The WHOIS server of the registry of .com and .net.
  static constexpr const char* kDefaultHost = "whois.verisign-grs.com";
  static constexpr int kDefaultPort = 43;
  static constexpr int kDefaultTimeoutMs = 15000;
  static constexpr qint64 kMaxAnswerBytes = qint64{4} << 20;

  TWhoIsObject();

  QString WhoIs(const QString& query);
  QString Host();
  void SetHost(const QString& value);

  // Host-side: the timeout of the connection and of every read (tests shorten it).
  void SetTimeoutMs(int value);

 protected:
  ~TWhoIsObject() override = default;

 private:
  std::mutex FMutex;
  QString FHost;
  int FTimeoutMs = kDefaultTimeoutMs;
};

}  // namespace pw
