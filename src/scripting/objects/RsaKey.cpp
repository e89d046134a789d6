#include "scripting/objects/RsaKey.h"

#include <nettle/arcfour.h>
#include <nettle/bignum.h>
#include <nettle/md5.h>
#include <nettle/rsa.h>
#include <nettle/sha1.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstdint>

namespace pw {

namespace {

constexpr std::uint8_t kPublicBlob = 6;
constexpr std::uint8_t kPrivateBlob = 7;
constexpr std::uint32_t kSignatureAlgorithm = 0x2400;
constexpr std::uint32_t kExchangeAlgorithm = 0xA400;
constexpr std::uint32_t kPublicMagic = 0x31415352;   // "RSA1"
constexpr std::uint32_t kPrivateMagic = 0x32415352;  // "RSA2"
constexpr int kHeaderSize = 8;
constexpr int kRsaHeaderSize = 12;
// Verification takes the older short keys too; nothing larger than this is read.
constexpr std::uint32_t kMinReadBits = 384;
constexpr std::uint32_t kMaxReadBits = 16384;

void Random(void*, size_t length, std::uint8_t* dst) {
  while (length > 0) {
    ssize_t got = getrandom(dst, length, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      // Kernels without getrandom still have the device; a key from a weak source would be
      // worse than no key, so a machine with neither stops here.
      const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
      got = fd < 0 ? -1 : ::read(fd, dst, length);
      if (fd >= 0) ::close(fd);
      if (got <= 0) std::abort();
    }
    dst += got;
    length -= static_cast<size_t>(got);
  }
}

void PutU32(QByteArray& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t GetU32(const QByteArray& in, qsizetype at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(in[at + i]);
  return value;
}

// A number as exactly size little-endian bytes.
void PutNumber(QByteArray& out, const mpz_t x, size_t size) {
  QByteArray bytes(static_cast<qsizetype>(size), '\0');
  nettle_mpz_get_str_256(size, reinterpret_cast<std::uint8_t*>(bytes.data()), x);
  std::reverse(bytes.begin(), bytes.end());
  out.append(bytes);
}

void GetNumber(mpz_t x, const QByteArray& in, qsizetype at, qsizetype size) {
  QByteArray bytes = in.mid(at, size);
  std::reverse(bytes.begin(), bytes.end());
  nettle_mpz_set_str_256_u(x, static_cast<size_t>(bytes.size()), reinterpret_cast<const std::uint8_t*>(bytes.constData()));
}

// RC4 under the password's key; its own inverse.
QByteArray PasswordCipher(const QByteArray& data, const QString& password) {
  const QByteArray utf8 = password.toUtf8();
  sha1_ctx sha;
  sha1_init(&sha);
  sha1_update(&sha, static_cast<size_t>(utf8.size()), reinterpret_cast<const std::uint8_t*>(utf8.constData()));
  std::uint8_t digest[SHA1_DIGEST_SIZE];
  sha1_digest(&sha, sizeof digest, digest);
  arcfour_ctx rc4;
  arcfour_set_key(&rc4, 16, digest);
  QByteArray out(data.size(), '\0');
  arcfour_crypt(&rc4, static_cast<size_t>(data.size()), reinterpret_cast<std::uint8_t*>(out.data()),
                reinterpret_cast<const std::uint8_t*>(data.constData()));
  return out;
}

void Md5(const QByteArray& data, std::uint8_t (&digest)[MD5_DIGEST_SIZE]) {
  md5_ctx md5;
  md5_init(&md5);
  md5_update(&md5, static_cast<size_t>(data.size()), reinterpret_cast<const std::uint8_t*>(data.constData()));
  md5_digest(&md5, MD5_DIGEST_SIZE, digest);
}

bool Fail(QString* error, const QString& reason) {
  if (error) *error = reason;
  return false;
}

}  // namespace

struct TRsaKey::TNumbers {
  TNumbers() {
    rsa_public_key_init(&Public);
    rsa_private_key_init(&Private);
  }
  ~TNumbers() {
    rsa_public_key_clear(&Public);
    rsa_private_key_clear(&Private);
  }
  rsa_public_key Public;
  rsa_private_key Private;
};

TRsaKey::TRsaKey() = default;
TRsaKey::~TRsaKey() = default;
TRsaKey::TRsaKey(TRsaKey&&) noexcept = default;
TRsaKey& TRsaKey::operator=(TRsaKey&&) noexcept = default;

bool TRsaKey::IsEmpty() const { return !FNumbers; }

bool TRsaKey::Generate(int bits, QString* error) {
  FNumbers.reset();
  FBits = 0;
  FHasPrivate = false;
  if (bits < kMinBits || bits > kMaxBits || bits % 16 != 0) {
    return Fail(error, QStringLiteral("A signature key has %1 to %2 bits, a multiple of 16, not %3")
                           .arg(kMinBits)
                           .arg(kMaxBits)
                           .arg(bits));
  }
  auto numbers = std::make_unique<TNumbers>();
  // The blob layout needs the modulus to fill its bytes exactly.
  for (;;) {
    mpz_set_ui(numbers->Public.e, 65537);
    if (!rsa_generate_keypair(&numbers->Public, &numbers->Private, nullptr, &Random, nullptr, nullptr,
                              static_cast<unsigned>(bits), 0)) {
      return Fail(error, QStringLiteral("The key pair could not be generated"));
    }
    if (mpz_sizeinbase(numbers->Public.n, 2) == static_cast<size_t>(bits) &&
        mpz_sizeinbase(numbers->Private.p, 2) <= static_cast<size_t>(bits / 2) &&
        mpz_sizeinbase(numbers->Private.q, 2) <= static_cast<size_t>(bits / 2)) {
      break;
    }
  }
  FNumbers = std::move(numbers);
  FBits = bits;
  FHasPrivate = true;
  return true;
}

bool TRsaKey::FromBlob(const QByteArray& input, const std::optional<QString>& password, QString* error) {
  FNumbers.reset();
  FBits = 0;
  FHasPrivate = false;
  if (input.size() < kHeaderSize + kRsaHeaderSize) return Fail(error, QStringLiteral("The key blob is too short"));
  const auto type = static_cast<std::uint8_t>(input[0]);
  const std::uint32_t algorithm = GetU32(input, 4);
  if ((type != kPublicBlob && type != kPrivateBlob) || input[1] != 2 ||
      (algorithm != kSignatureAlgorithm && algorithm != kExchangeAlgorithm)) {
    return Fail(error, QStringLiteral("The data is not an RSA key blob"));
  }
  QByteArray blob = input;
  if (type == kPrivateBlob && password) {
    blob = input.left(kHeaderSize) + PasswordCipher(input.mid(kHeaderSize), *password);
  }
  const bool isPrivate = type == kPrivateBlob;
  const std::uint32_t magic = GetU32(blob, kHeaderSize);
  const std::uint32_t bits = GetU32(blob, kHeaderSize + 4);
  const std::uint32_t exponent = GetU32(blob, kHeaderSize + 8);
  const QString wrong = isPrivate && password
                            ? QStringLiteral("The private key blob is damaged or the password is wrong")
                            : QStringLiteral("The key blob is damaged");
  if (magic != (isPrivate ? kPrivateMagic : kPublicMagic) || bits < kMinReadBits || bits > kMaxReadBits ||
      bits % 16 != 0 || exponent < 3 || exponent % 2 == 0) {
    return Fail(error, wrong);
  }
  const qsizetype full = bits / 8;
  const qsizetype half = bits / 16;
  const qsizetype size = kHeaderSize + kRsaHeaderSize + full + (isPrivate ? 5 * half + full : 0);
  if (blob.size() != size) return Fail(error, wrong);

  auto numbers = std::make_unique<TNumbers>();
  qsizetype at = kHeaderSize + kRsaHeaderSize;
  mpz_set_ui(numbers->Public.e, exponent);
  GetNumber(numbers->Public.n, blob, at, full);
  at += full;
  if (mpz_sizeinbase(numbers->Public.n, 2) != bits || !rsa_public_key_prepare(&numbers->Public)) {
    return Fail(error, wrong);
  }
  if (isPrivate) {
    rsa_private_key& k = numbers->Private;
    for (mpz_ptr x : {k.p, k.q, k.a, k.b, k.c}) {
      GetNumber(x, blob, at, half);
      at += half;
    }
    GetNumber(k.d, blob, at, full);
    // Every relation a real key satisfies; random bytes or a wrong password fail them.
    mpz_t t, p1, q1;
    mpz_inits(t, p1, q1, nullptr);
    bool consistent = mpz_cmp_ui(k.p, 1) > 0 && mpz_cmp_ui(k.q, 1) > 0;
    if (consistent) {
      mpz_mul(t, k.p, k.q);
      consistent = mpz_cmp(t, numbers->Public.n) == 0;
    }
    if (consistent) {
      mpz_sub_ui(p1, k.p, 1);
      mpz_sub_ui(q1, k.q, 1);
      mpz_mul(t, numbers->Public.e, k.d);
      mpz_mod(t, t, p1);
      consistent = mpz_cmp_ui(t, 1) == 0;
      mpz_mul(t, numbers->Public.e, k.d);
      mpz_mod(t, t, q1);
      consistent = consistent && mpz_cmp_ui(t, 1) == 0;
      mpz_mod(t, k.d, p1);
      consistent = consistent && mpz_cmp(t, k.a) == 0;
      mpz_mod(t, k.d, q1);
      consistent = consistent && mpz_cmp(t, k.b) == 0;
      mpz_mul(t, k.c, k.q);
      mpz_mod(t, t, k.p);
      consistent = consistent && mpz_cmp_ui(t, 1) == 0;
    }
    mpz_clears(t, p1, q1, nullptr);
    if (!consistent || !rsa_private_key_prepare(&k)) return Fail(error, wrong);
  }
  FNumbers = std::move(numbers);
  FBits = static_cast<int>(bits);
  FHasPrivate = isPrivate;
  return true;
}

QByteArray TRsaKey::PublicBlob() const {
  if (!FNumbers) return {};
  QByteArray out;
  out.append(static_cast<char>(kPublicBlob)).append(static_cast<char>(2)).append(2, '\0');
  PutU32(out, kSignatureAlgorithm);
  PutU32(out, kPublicMagic);
  PutU32(out, static_cast<std::uint32_t>(FBits));
  PutU32(out, static_cast<std::uint32_t>(mpz_get_ui(FNumbers->Public.e)));
  PutNumber(out, FNumbers->Public.n, static_cast<size_t>(FBits / 8));
  return out;
}

QByteArray TRsaKey::PrivateBlob(const std::optional<QString>& password) const {
  if (!FNumbers || !FHasPrivate) return {};
  const rsa_private_key& k = FNumbers->Private;
  QByteArray out;
  out.append(static_cast<char>(kPrivateBlob)).append(static_cast<char>(2)).append(2, '\0');
  PutU32(out, kSignatureAlgorithm);
  QByteArray body;
  PutU32(body, kPrivateMagic);
  PutU32(body, static_cast<std::uint32_t>(FBits));
  PutU32(body, static_cast<std::uint32_t>(mpz_get_ui(FNumbers->Public.e)));
  PutNumber(body, FNumbers->Public.n, static_cast<size_t>(FBits / 8));
  for (mpz_srcptr x : {k.p, k.q, k.a, k.b, k.c}) PutNumber(body, x, static_cast<size_t>(FBits / 16));
  PutNumber(body, k.d, static_cast<size_t>(FBits / 8));
  return out + (password ? PasswordCipher(body, *password) : body);
}

QByteArray TRsaKey::Sign(const QByteArray& data) const {
  if (!FNumbers || !FHasPrivate) return {};
  std::uint8_t digest[MD5_DIGEST_SIZE];
  Md5(data, digest);
  mpz_t s;
  mpz_init(s);
  QByteArray out;
  if (rsa_md5_sign_digest_tr(&FNumbers->Public, &FNumbers->Private, nullptr, &Random, digest, s)) {
    PutNumber(out, s, FNumbers->Public.size);
  }
  mpz_clear(s);
  return out;
}

bool TRsaKey::Verify(const QByteArray& data, const QByteArray& signature) const {
  if (!FNumbers || signature.isEmpty() || static_cast<size_t>(signature.size()) > FNumbers->Public.size) {
    return false;
  }
  std::uint8_t digest[MD5_DIGEST_SIZE];
  Md5(data, digest);
  mpz_t s;
  mpz_init(s);
  GetNumber(s, signature, 0, signature.size());
  const bool ok = rsa_md5_verify_digest(&FNumbers->Public, digest, s) != 0;
  mpz_clear(s);
  return ok;
}

bool VerifyMd5Signature(const QByteArray& data, const QByteArray& signature, const QByteArray& publicBlob) {
  TRsaKey key;
  return key.FromBlob(publicBlob) && key.Verify(data, signature);
}

bool VerifySignedBlock(const QByteArray& block, const QByteArray& publicBlob, QByteArray& payload) {
  payload.clear();
  if (block.size() < 4) return false;
  const qint64 length = GetU32(block, block.size() - 4);
  if (length + 4 >= block.size()) return false;
  const qsizetype payloadSize = block.size() - 4 - static_cast<qsizetype>(length);
  const QByteArray data = block.left(payloadSize);
  if (!VerifyMd5Signature(data, block.mid(payloadSize, static_cast<qsizetype>(length)), publicBlob)) return false;
  payload = data;
  return true;
}

}  // namespace pw
