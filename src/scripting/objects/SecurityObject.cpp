#include "scripting/objects/SecurityObject.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/CredentialCipher.h"
#include "scripting/objects/ByteArrayObject.h"
#include "scripting/objects/RsaKey.h"

namespace pw {

PW_AUTO_MEMBERS(TSecurityObject,
    AutoMethod(1, "CreateContainer", &TSecurityObject::CreateContainer),
    AutoMethod(2, "DeleteContainer", &TSecurityObject::DeleteContainer),
    AutoMethod(3, "CreateSignKey", &TSecurityObject::CreateSignKey),
    AutoMethod(4, "ExportSignPublicKey", &TSecurityObject::ExportSignPublicKey),
    AutoMethod(5, "ExportSignPrivateKey", &TSecurityObject::ExportSignPrivateKey),
    AutoMethod(6, "ImportSignPublicKey", &TSecurityObject::ImportSignPublicKey),
    AutoMethod(7, "ImportSignPrivateKey", &TSecurityObject::ImportSignPrivateKey),
    AutoMethod(8, "Sign", &TSecurityObject::Sign),
    AutoMethod(9, "VerifySign", &TSecurityObject::VerifySign),
    AutoMethod(10, "TwoFishEncrypt", &TSecurityObject::TwoFishEncrypt),
    AutoMethod(11, "TwoFishDecrypt", &TSecurityObject::TwoFishDecrypt),
    AutoMethod(12, "MD5", &TSecurityObject::MD5),
    AutoMethod(13, "GetHWID", &TSecurityObject::GetHWID))

namespace {

// A container holds one key blob; anything larger is not one of ours.
constexpr qint64 kMaxContainerSize = 64 * 1024;
// Encoded names stay well below the file-name limit of 255 bytes.
constexpr qsizetype kMaxFileNameSize = 200;

// Script values given as bytes: byte arrays and arrays of numbers, and text as its UTF-8 bytes.
QByteArray BytesOf(const Variant& value) {
  const Variant v = value.Dereferenced();
  if (v.Type() == VT_BSTR) return v.StringValue().toUtf8();
  try {
    return BytesOfValue(v);
  } catch (const EAutoObjectError&) {
    return {};  // an array holding other things than numbers is no byte value
  }
}

std::string_view View(const QByteArray& bytes) {
  return std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// The container's content; false when it does not exist or is not a small regular file.
bool ReadContainer(const QString& container, QByteArray& content) {
  const QString file = TSecurityObject::ContainerFile(container);
  if (file.isEmpty()) return false;
  const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxContainerSize;
  if (ok) {
    content.resize(static_cast<qsizetype>(st.st_size));
    qsizetype done = 0;
    while (ok && done < content.size()) {
      const ssize_t got = ::read(fd, content.data() + done, static_cast<size_t>(content.size() - done));
      if (got < 0 && errno == EINTR) continue;
      ok = got > 0;
      if (ok) done += got;
    }
  }
  ::close(fd);
  return ok;
}

// Replaces the content of an existing container through a private temporary and a rename.
bool WriteContainer(const QString& container, const QByteArray& content) {
  const QString file = TSecurityObject::ContainerFile(container);
  QByteArray existing;
  if (file.isEmpty() || !ReadContainer(container, existing)) return false;
  const QByteArray target = QFile::encodeName(file);
  const QByteArray temporary = target + ".tmp" + QByteArray::number(::getpid());
  const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, 0600) == 0;
  qsizetype done = 0;
  while (ok && done < content.size()) {
    const ssize_t wrote = ::write(fd, content.constData() + done, static_cast<size_t>(content.size() - done));
    if (wrote < 0 && errno == EINTR) continue;
    ok = wrote > 0;
    if (ok) done += wrote;
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.constData(), target.constData()) == 0;
  if (!ok) ::unlink(temporary.constData());
  return ok;
}

bool ReadKey(const QString& container, TRsaKey& key) {
  QByteArray content;
  return ReadContainer(container, content) && !content.isEmpty() && key.FromBlob(content);
}

}  // namespace

QString TSecurityObject::ContainerFolder() {
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  // Without a data folder there is no private place for keys: no container can exist.
  return data.isEmpty() ? QString() : data + QStringLiteral("/pagewick/keys/");
}

QString TSecurityObject::ContainerFile(const QString& container) {
  if (container.isEmpty() || ContainerFolder().isEmpty()) return {};
  const QByteArray encoded = container.toUtf8().toPercentEncoding(QByteArray(), QByteArrayLiteral(".~"));
  if (encoded.size() > kMaxFileNameSize) return {};
  return ContainerFolder() + QString::fromLatin1(encoded) + QStringLiteral(".key");
}

bool TSecurityObject::CreateContainer(const QString& container) {
  const QString file = ContainerFile(container);
  if (file.isEmpty()) return false;
  const QByteArray folder = QFile::encodeName(ContainerFolder());
  // Only the owner may list the containers; parents are made as the user's umask says.
  QDir().mkpath(QFileInfo(ContainerFolder()).absolutePath());
  ::chmod(folder.constData(), 0700);
  const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::fchmod(fd, 0600);
  return ::close(fd) == 0;
}

bool TSecurityObject::DeleteContainer(const QString& container) {
  const QString file = ContainerFile(container);
  return !file.isEmpty() && ::unlink(QFile::encodeName(file).constData()) == 0;
}

bool TSecurityObject::CreateSignKey(const QString& container, std::int32_t bits) {
  QByteArray content;
  if (!ReadContainer(container, content)) return false;
  TRsaKey key;
  return key.Generate(bits == 0 ? 1024 : bits) && WriteContainer(container, key.PrivateBlob());
}

Variant TSecurityObject::ExportSignPublicKey(const QString& container) {
  TRsaKey key;
  if (!ReadKey(container, key)) return Variant();
  return Variant::FromBytes(key.PublicBlob());
}

Variant TSecurityObject::ExportSignPrivateKey(const QString& container, const QString& password) {
  TRsaKey key;
  if (!ReadKey(container, key) || !key.HasPrivate()) return Variant();
  return Variant::FromBytes(key.PrivateBlob(password));
}

bool TSecurityObject::ImportSignPublicKey(const QString& container, const Variant& blob) {
  QByteArray content;
  if (!ReadContainer(container, content)) return false;
  TRsaKey key;
  if (!key.FromBlob(BytesOf(blob)) || key.HasPrivate()) return false;
  // A public key never replaces a key pair: the private half would be lost for good.
  TRsaKey stored;
  if (!content.isEmpty() && stored.FromBlob(content) && stored.HasPrivate()) return true;
  return WriteContainer(container, key.PublicBlob());
}

bool TSecurityObject::ImportSignPrivateKey(const QString& container, const Variant& blob, const QString& password) {
  QByteArray content;
  if (!ReadContainer(container, content)) return false;
  TRsaKey key;
  return key.FromBlob(BytesOf(blob), password) && key.HasPrivate() && WriteContainer(container, key.PrivateBlob());
}

Variant TSecurityObject::Sign(const QString& container, const Variant& data) {
  TRsaKey key;
  if (!ReadKey(container, key)) return Variant();
  const QByteArray signature = key.Sign(BytesOf(data));
  return signature.isEmpty() ? Variant() : Variant::FromBytes(signature);
}

bool TSecurityObject::VerifySign(const Variant& data, const Variant& signature, const Variant& publicKey) {
  return VerifyMd5Signature(BytesOf(data), BytesOf(signature), BytesOf(publicKey));
}

Variant TSecurityObject::TwoFishEncrypt(const Variant& key, const Variant& iv, const Variant& data) {
  std::string out;
  if (!TwofishCfb8(View(BytesOf(key)), View(BytesOf(iv)), View(BytesOf(data)), true, out)) return Variant();
  return Variant::FromBytes(QByteArray(out.data(), static_cast<qsizetype>(out.size())));
}

Variant TSecurityObject::TwoFishDecrypt(const Variant& key, const Variant& iv, const Variant& data) {
  std::string out;
  if (!TwofishCfb8(View(BytesOf(key)), View(BytesOf(iv)), View(BytesOf(data)), false, out)) return Variant();
  return Variant::FromBytes(QByteArray(out.data(), static_cast<qsizetype>(out.size())));
}

QString TSecurityObject::MD5(const Variant& data) {
  return QString::fromLatin1(QCryptographicHash::hash(BytesOf(data), QCryptographicHash::Md5).toHex().toUpper());
}

QString TSecurityObject::GetHWID() { return MachineIdentifier(); }

QString MachineIdentifier() {
  QByteArray source;
  QFile machineId(QStringLiteral("/etc/machine-id"));
  if (machineId.open(QIODevice::ReadOnly)) source = machineId.read(256).trimmed();
  struct statvfs fs {};
  if (::statvfs("/", &fs) == 0) source += ':' + QByteArray::number(static_cast<qulonglong>(fs.f_fsid));
  return QString::fromLatin1(QCryptographicHash::hash(source, QCryptographicHash::Md5).left(8).toHex().toUpper());
}

}  // namespace pw
