// TVariantBuffer: a run of Variants, default-constructed, kept on the stack when there are at
// most Inline of them. Every script call of a native member fills one or two, so they must not
// cost a heap allocation each. Owned by the caller's frame; not thread-safe.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "scripting/Variant.h"

namespace pw {

template <std::size_t Inline>
class TVariantBuffer {
 public:
  explicit TVariantBuffer(std::size_t count) : FCount(count) {
    if (count > Inline) {
      FHeap.resize(count);
      FData = FHeap.data();
    } else {
      FData = reinterpret_cast<Variant*>(FInline);
      for (std::size_t i = 0; i < count; ++i) new (FData + i) Variant();
    }
  }
  ~TVariantBuffer() {
    if (FCount <= Inline) std::destroy_n(FData, FCount);
  }
  TVariantBuffer(const TVariantBuffer&) = delete;
  TVariantBuffer& operator=(const TVariantBuffer&) = delete;

  Variant* Data() { return FData; }
  std::size_t Size() const { return FCount; }
  Variant& operator[](std::size_t index) { return FData[index]; }

 private:
  std::size_t FCount;
  Variant* FData;
  alignas(Variant) unsigned char FInline[Inline * sizeof(Variant)];
  std::vector<Variant> FHeap;
};

}  // namespace pw
