// TRsaKey: an RSA signature key pair (or a public key alone) held for the security object,
// read from and written to the key blobs of the classic Windows cryptographic API, which signed
// packaged documents carry:
//   header (8 bytes): type (6 public, 7 private), version 2, two reserved zero bytes, the
//     algorithm identifier 0x2400 (RSA signature; 0xA400, key exchange, is read too);
//   RSA header (12 bytes): magic "RSA1" (public) or "RSA2" (private), the modulus length in
//     bits, the public exponent; all 32-bit little-endian;
//   the modulus (bits/8 bytes), and for a private key: prime 1, prime 2, exponent 1,
//     exponent 2, coefficient (bits/16 bytes each), private exponent (bits/8 bytes);
//   every number little-endian.
// Signatures are PKCS #1 v1.5 over an MD5 digest, written least significant byte first, as that
// API gives them. A private blob made with a password has everything after its 8-byte header
// enciphered with RC4 under the first 16 bytes of the SHA-1 digest of the password's UTF-8
// bytes; since RC4 has no integrity check, an imported private key must prove consistent
// (p·q = n, e·d = 1 modulo p-1 and q-1, and the CRT values), which also refuses a wrong password.
// A value type; not shared between threads while being changed.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace pw {

class TRsaKey {
 public:
  TRsaKey();
  ~TRsaKey();
  TRsaKey(TRsaKey&&) noexcept;
  TRsaKey& operator=(TRsaKey&&) noexcept;

  // Key lengths Generate accepts: multiples of 16 bits (the halves must be whole bytes).
  static constexpr int kMinBits = 512;
  static constexpr int kMaxBits = 4096;

  // A fresh key pair with public exponent 65537; false with the reason for a length outside
  // kMinBits..kMaxBits or not a multiple of 16.
  bool Generate(int bits, QString* error = nullptr);
  // Reads a public or private blob; a private one is deciphered with the password first when
  // there is one (an empty password is a password too). False with the reason, the key then
  // empty, for anything malformed or inconsistent.
  bool FromBlob(const QByteArray& blob, const std::optional<QString>& password = std::nullopt,
                QString* error = nullptr);

  bool IsEmpty() const;
  bool HasPrivate() const { return FHasPrivate; }
  int Bits() const { return FBits; }

  QByteArray PublicBlob() const;
  // The private blob, enciphered when there is a password; empty without a private key.
  QByteArray PrivateBlob(const std::optional<QString>& password = std::nullopt) const;

  // The signature of the MD5 digest of data, least significant byte first; empty without a
  // private key.
  QByteArray Sign(const QByteArray& data) const;
  bool Verify(const QByteArray& data, const QByteArray& signature) const;

 private:
  struct TNumbers;
  std::unique_ptr<TNumbers> FNumbers;
  int FBits = 0;
  bool FHasPrivate = false;
};

// The signature check that needs no stored key: data, its signature as Sign gives it, and the
// signer's public (or private) blob.
bool VerifyMd5Signature(const QByteArray& data, const QByteArray& signature, const QByteArray& publicBlob);

// A signed block is the payload, then its signature, then the signature's length as a 32-bit
// little-endian number at the very end. True with the payload when the signature verifies
// against the public blob; false with the payload empty otherwise.
bool VerifySignedBlock(const QByteArray& block, const QByteArray& publicBlob, QByteArray& payload);

}  // namespace pw
