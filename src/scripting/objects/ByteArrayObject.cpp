#include "scripting/objects/ByteArrayObject.h"

#include <string>

#include "platform/FileIO.h"

namespace pw {

PW_AUTO_MEMBERS(TByteArrayObject,
    AutoMethod(1, "Load", &TByteArrayObject::Load),
    AutoMethod(2, "Save", &TByteArrayObject::Save),
    AutoMethod(3, "Clear", &TByteArrayObject::Clear),
    AutoMethod(4, "SetData", &TByteArrayObject::SetData),
    AutoMethod(5, "GetData", &TByteArrayObject::GetData),
    AutoMethod(6, "PushByte", &TByteArrayObject::PushByte),
    AutoMethod(7, "PushLong", &TByteArrayObject::PushLong),
    AutoMethod(8, "Push", &TByteArrayObject::Push),
    AutoProperty(9, "Byte", &TByteArrayObject::Byte, &TByteArrayObject::SetByte),
    AutoProperty(10, "Word", &TByteArrayObject::Word, &TByteArrayObject::SetWord),
    AutoProperty(11, "Long", &TByteArrayObject::Long, &TByteArrayObject::SetLong),
    AutoProperty(DISPID_VALUE, "Bytes", &TByteArrayObject::Bytes, &TByteArrayObject::SetBytes),
    AutoProperty(12, "Length", &TByteArrayObject::Length, &TByteArrayObject::SetLength))

namespace {

using TLock = std::lock_guard<std::mutex>;

// A write far beyond the end would allocate gigabytes of zeros; past this size it is refused.
constexpr qint64 kMaxLength = qint64{1} << 30;

void CheckLength(qint64 length) {
  if (length > kMaxLength) {
    throw EAutoObjectError(
        QStringLiteral("A byte buffer cannot grow to %1 bytes (at most %2)").arg(length).arg(kMaxLength));
  }
}

// Reads of size bytes at a position must stay inside the buffer.
void CheckRead(qint64 at, qint64 size, qsizetype length) {
  if (at + size > length) {
    throw EAutoObjectError(QStringLiteral("Reading %1 byte(s) at %2 passes the end of the buffer (%3 bytes)")
                               .arg(size)
                               .arg(at)
                               .arg(length));
  }
}

}  // namespace

QByteArray BytesOfValue(const Variant& value, bool* isArray) {
  const Variant v = value.Dereferenced();
  if (isArray) *isArray = v.IsArray();
  if (v.Type() == (VT_ARRAY | VT_UI1)) return v.Bytes();
  if (v.Type() != (VT_ARRAY | VT_VARIANT)) return {};
  QByteArray bytes;
  bytes.reserve(static_cast<qsizetype>(v.Elements().size()));
  for (const Variant& element : v.Elements()) {
    Variant number;
    if (FAILED(VariantChangeTypeEx(number, element, LOCALE_USER_DEFAULT, 0, VT_I8))) {
      throw EAutoObjectError(QStringLiteral("A byte array holds numbers only, not %1")
                                 .arg(element.DebugString()));
    }
    bytes.append(static_cast<char>(number.IntValue() & 0xFF));
  }
  return bytes;
}

qsizetype TByteArrayObject::Resolve(std::int32_t position) const {
  return position < 0 ? FData.size() : static_cast<qsizetype>(position);
}

void TByteArrayObject::WriteAt(qsizetype at, const QByteArray& bytes) {
  const qint64 end = static_cast<qint64>(at) + bytes.size();
  CheckLength(end);
  if (end > FData.size()) FData.resize(static_cast<qsizetype>(end), '\0');
  std::copy(bytes.begin(), bytes.end(), FData.begin() + at);
}

std::uint32_t TByteArrayObject::ReadLittleEndian(std::int32_t position, int size) {
  TLock lock(FMutex);
  const qsizetype at = Resolve(position);
  CheckRead(at, size, FData.size());
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<std::uint8_t>(FData[at + i]);
  }
  return value;
}

void TByteArrayObject::WriteLittleEndian(std::int32_t position, std::uint32_t value, int size) {
  QByteArray bytes;
  for (int i = 0; i < size; ++i) bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
  TLock lock(FMutex);
  WriteAt(Resolve(position), bytes);
}

ComPtr<TByteArrayObject> TByteArrayObject::Load(const QString& file) {
  std::string bytes;
  if (platform::ReadWholeFile(file, bytes)) {
    TLock lock(FMutex);
    FData = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  return Self();
}

ComPtr<TByteArrayObject> TByteArrayObject::Save(const QString& file) {
  const QByteArray data = Data();
  platform::WriteWholeFile(file, std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
  return Self();
}

ComPtr<TByteArrayObject> TByteArrayObject::Clear() {
  TLock lock(FMutex);
  FData.clear();
  return Self();
}

ComPtr<TByteArrayObject> TByteArrayObject::SetData(const Variant& bytes) {
  QByteArray data = BytesOfValue(bytes);
  TLock lock(FMutex);
  FData = std::move(data);
  return Self();
}

Variant TByteArrayObject::GetData() { return Variant::FromBytes(Data()); }

ComPtr<TByteArrayObject> TByteArrayObject::PushByte(std::int32_t value) {
  WriteLittleEndian(-1, static_cast<std::uint32_t>(value), 1);
  return Self();
}

ComPtr<TByteArrayObject> TByteArrayObject::PushLong(std::int64_t value) {
  WriteLittleEndian(-1, static_cast<std::uint32_t>(value & 0xFFFFFFFF), 4);
  return Self();
}

ComPtr<TByteArrayObject> TByteArrayObject::Push(const Variant& bytes) {
  const QByteArray data = BytesOfValue(bytes);
  TLock lock(FMutex);
  WriteAt(FData.size(), data);
  return Self();
}

std::int32_t TByteArrayObject::Byte(std::int32_t position) {
  return static_cast<std::int32_t>(ReadLittleEndian(position, 1));
}

void TByteArrayObject::SetByte(std::int32_t position, std::int32_t value) {
  WriteLittleEndian(position, static_cast<std::uint32_t>(value), 1);
}

std::int32_t TByteArrayObject::Word(std::int32_t position) {
  return static_cast<std::int32_t>(ReadLittleEndian(position, 2));
}

void TByteArrayObject::SetWord(std::int32_t position, std::int32_t value) {
  WriteLittleEndian(position, static_cast<std::uint32_t>(value), 2);
}

std::int32_t TByteArrayObject::Long(std::int32_t position) {
  return static_cast<std::int32_t>(ReadLittleEndian(position, 4));
}

void TByteArrayObject::SetLong(std::int32_t position, std::int32_t value) {
  WriteLittleEndian(position, static_cast<std::uint32_t>(value), 4);
}

Variant TByteArrayObject::Bytes(std::int32_t position, std::int32_t count) {
  TLock lock(FMutex);
  const qsizetype at = Resolve(position);
  const qint64 size = count <= 0 ? std::max<qint64>(0, FData.size() - at) : count;
  CheckRead(at, size, FData.size());
  return Variant::FromBytes(FData.mid(at, static_cast<qsizetype>(size)));
}

void TByteArrayObject::SetBytes(std::int32_t position, std::int32_t count, const Variant& bytes) {
  QByteArray data = BytesOfValue(bytes);
  if (count > 0 && count < data.size()) data.truncate(count);
  TLock lock(FMutex);
  WriteAt(Resolve(position), data);
}

std::int32_t TByteArrayObject::Length() {
  TLock lock(FMutex);
  return static_cast<std::int32_t>(FData.size());
}

void TByteArrayObject::SetLength(std::int32_t length) {
  if (length < 0) throw EAutoObjectError(QStringLiteral("A length cannot be negative (%1)").arg(length));
  CheckLength(length);
  TLock lock(FMutex);
  FData.resize(length, '\0');
}

QByteArray TByteArrayObject::Data() {
  TLock lock(FMutex);
  return FData;
}

}  // namespace pw
