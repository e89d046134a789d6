// TByteArrayObject ("Bytes"): a growable byte buffer for scripts. Positions are zero-based byte
// offsets and a negative position means the current end; multi-byte values are little-endian.
// Writes beyond the end grow the buffer (skipped bytes are zero); reads beyond it are script
// errors. File operations fail silently, leaving the buffer as it was.
// Reference-counted; the buffer is guarded by a mutex, so a buffer handed to a script thread may
// be used from both sides. Methods that give the object back allow chained calls.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <mutex>

#include "scripting/AutoObject.h"

namespace pw {

class TByteArrayObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TByteArrayObject, TCustomAutoObject)

 public:
  TByteArrayObject() = default;

  ComPtr<TByteArrayObject> Load(const QString& file);
  ComPtr<TByteArrayObject> Save(const QString& file);
  ComPtr<TByteArrayObject> Clear();
  // The buffer becomes the bytes of a byte array (or of an array of numbers, each taken modulo
  // 256); any other value empties it.
  ComPtr<TByteArrayObject> SetData(const Variant& bytes);
  Variant GetData();
  ComPtr<TByteArrayObject> PushByte(std::int32_t value);
  // The low 32 bits of the value, so that 0xFFFFFFFF and -1 push the same bytes.
  ComPtr<TByteArrayObject> PushLong(std::int64_t value);
  ComPtr<TByteArrayObject> Push(const Variant& bytes);
  std::int32_t Byte(std::int32_t position);
  void SetByte(std::int32_t position, std::int32_t value);
  std::int32_t Word(std::int32_t position);
  void SetWord(std::int32_t position, std::int32_t value);
  std::int32_t Long(std::int32_t position);
  void SetLong(std::int32_t position, std::int32_t value);
  // count bytes from position; count <= 0 reads to the end.
  Variant Bytes(std::int32_t position, std::int32_t count);
  // Copies the first count bytes of the array (all of it when count <= 0 or larger).
  void SetBytes(std::int32_t position, std::int32_t count, const Variant& bytes);
  std::int32_t Length();
  void SetLength(std::int32_t length);

  QByteArray Data();

 protected:
  ~TByteArrayObject() override = default;

 private:
  ComPtr<TByteArrayObject> Self() { return ComPtr<TByteArrayObject>(this); }
  // The position with a negative one meaning the end. With the lock held.
  qsizetype Resolve(std::int32_t position) const;
  // Reads size bytes at position, little-endian; a script error past the end.
  std::uint32_t ReadLittleEndian(std::int32_t position, int size);
  void WriteLittleEndian(std::int32_t position, std::uint32_t value, int size);
  // Writes bytes at the position, growing the buffer. With the lock held.
  void WriteAt(qsizetype at, const QByteArray& bytes);

  std::mutex FMutex;
  QByteArray FData;
};

// The bytes of a script value: a byte array as it is, an array of numbers each taken modulo
// 256; empty for anything else. Sets *isArray to whether the value was an array at all.
QByteArray BytesOfValue(const Variant& value, bool* isArray = nullptr);

}  // namespace pw
