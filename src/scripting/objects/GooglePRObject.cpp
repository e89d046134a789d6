#include "scripting/objects/GooglePRObject.h"

#include <mutex>

namespace pw {

PW_AUTO_MEMBERS(TGooglePRObject, AutoMethod(12, "GooglePR", &TGooglePRObject::GooglePR))

namespace {

std::mutex& BaseMutex() {
  static std::mutex mutex;
  return mutex;
}

QString& BaseOverride() {
  static QString base;
  return base;
}

void Mix(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) {
  a -= b; a -= c; a ^= (c >> 13);
  b -= c; b -= a; b ^= (a << 8);
  c -= a; c -= b; c ^= (b >> 13);
  a -= b; a -= c; a ^= (c >> 12);
  b -= c; b -= a; b ^= (a << 16);
  c -= a; c -= b; c ^= (b >> 5);
  a -= b; a -= c; a ^= (c >> 3);
  b -= c; b -= a; b ^= (a << 10);
  c -= a; c -= b; c ^= (b >> 15);
}

std::uint32_t Word(const unsigned char* k) {
  return k[0] + (std::uint32_t{k[1]} << 8) + (std::uint32_t{k[2]} << 16) + (std::uint32_t{k[3]} << 24);
}

}  // namespace

std::uint32_t Lookup2Hash(const QByteArray& bytes, std::uint32_t initval) {
  const auto* k = reinterpret_cast<const unsigned char*>(bytes.constData());
  const std::uint32_t length = static_cast<std::uint32_t>(bytes.size());
  std::uint32_t a = 0x9E3779B9u, b = 0x9E3779B9u, c = initval;
  std::uint32_t left = length;
  while (left >= 12) {
    a += Word(k);
    b += Word(k + 4);
    c += Word(k + 8);
    Mix(a, b, c);
    k += 12;
    left -= 12;
  }
  c += length;
  // The tail: the low byte of c is taken by the length, so its bytes go in from the second.
  switch (left) {
    case 11: c += std::uint32_t{k[10]} << 24; [[fallthrough]];
    case 10: c += std::uint32_t{k[9]} << 16; [[fallthrough]];
    case 9: c += std::uint32_t{k[8]} << 8; [[fallthrough]];
    case 8: b += std::uint32_t{k[7]} << 24; [[fallthrough]];
    case 7: b += std::uint32_t{k[6]} << 16; [[fallthrough]];
    case 6: b += std::uint32_t{k[5]} << 8; [[fallthrough]];
    case 5: b += k[4]; [[fallthrough]];
    case 4: a += std::uint32_t{k[3]} << 24; [[fallthrough]];
    case 3: a += std::uint32_t{k[2]} << 16; [[fallthrough]];
    case 2: a += std::uint32_t{k[1]} << 8; [[fallthrough]];
    case 1: a += k[0]; break;
    default: break;
  }
  Mix(a, b, c);
  return c;
}

void TGooglePRObject::SetServiceBase(const QString& base) {
  std::lock_guard<std::mutex> lock(BaseMutex());
  BaseOverride() = base;
}

QString TGooglePRObject::ServiceBase() {
  std::lock_guard<std::mutex> lock(BaseMutex());
  return BaseOverride().isEmpty() ? QString::fromLatin1(kDefaultServiceBase) : BaseOverride();
}

QByteArray TGooglePRObject::QueryText(const QString& address) {
  // The service hashes single-byte text; characters beyond Latin-1 have no such byte.
  QByteArray text = address.toLatin1();
  if (text.left(7).toLower() != "http://") text.prepend("http://");
  return "info:" + text;
}

std::uint32_t TGooglePRObject::Checksum(const QByteArray& text) { return Lookup2Hash(text, 0x5C1D47B3u); }

std::int32_t TGooglePRObject::ParseRank(const QByteArray& body) {
  const QByteArray upper = body.toUpper();
  qsizetype at = upper.indexOf("RANK_");
  if (at < 0) return -1;
  at += 5 + 2;
  const qsizetype colon = upper.indexOf(':', at);
  if (colon < 0 || colon + 1 >= upper.size()) return -1;
  QByteArray digits(1, upper[colon + 1]);
  if (colon + 2 < upper.size() && upper[colon + 2] == '0') digits.append('0');
  bool ok = false;
  const int rank = digits.toInt(&ok);
  return ok ? rank : -1;
}

std::int32_t TGooglePRObject::GooglePR(const QString& address) {
  try {
    const QByteArray text = QueryText(address);
    const QString url = ServiceBase() + QStringLiteral("search?client=navclient-auto&ch=6") +
                        QString::number(static_cast<std::int32_t>(Checksum(text))) +
                        QStringLiteral("&features=Rank&q=") + QString::fromLatin1(text);
    QByteArray body;
    if (!Request("GET", url, {}, &body)) return -1;
    return ParseRank(body);
  } catch (...) {
    return -1;
  }
}

}  // namespace pw
