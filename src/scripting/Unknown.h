// The base of every reference-counted script interface: result codes, interface identifiers,
// IUnknown and ComPtr, the smart pointer that holds one counted reference.
// Objects behind these interfaces free themselves when their count drops to zero; counts are
// atomic, so a reference may be dropped on any thread.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

namespace pw {

using HRESULT = std::int32_t;
using DISPID = std::int32_t;
using LCID = std::uint32_t;
using VARTYPE = std::uint16_t;

// Result codes. Success codes are >= 0.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
inline constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000Fu);
inline constexpr HRESULT DISP_E_BADCALLEE = static_cast<HRESULT>(0x80020010u);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802Bu);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Identifies an interface for QueryInterface. Two identifiers are equal when their names are.
struct IID {
  const char* Name;
  friend bool operator==(const IID& a, const IID& b) {
    return a.Name == b.Name || std::strcmp(a.Name, b.Name) == 0;
  }
};

inline constexpr IID IID_NULL{""};

// The root interface. Release frees the object when the count reaches zero; the object must not
// be touched through that pointer afterwards.
struct IUnknown {
  static constexpr IID kIID{"IUnknown"};

  // On success stores a counted pointer to the requested interface in *out (cast it to that
  // interface's type) and returns S_OK; otherwise stores null and returns E_NOINTERFACE.
  virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

inline constexpr IID IID_IUnknown = IUnknown::kIID;

// Takes and drops a counted reference when the pointer is not null. Owners that keep a raw
// interface pointer in a field hold it through these.
inline void SafeAddRef(IUnknown* object) {
  if (object) object->AddRef();
}
template <class T>
void SafeRelease(T*& object) {
  if (object) {
    T* old = object;
    object = nullptr;
    old->Release();
  }
}

// Holds one counted reference. Constructing from a raw pointer takes a new reference (objects
// are born with count 0, so `ComPtr<T>(new T)` leaves the count at 1); Adopt takes over a
// reference the caller already owns, as out parameters of interface methods hand them out.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  ComPtr(T* object) noexcept : FPointer(object) {
    if (FPointer) FPointer->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.FPointer) {}
  ComPtr(ComPtr&& other) noexcept : FPointer(std::exchange(other.FPointer, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(const ComPtr<U>& other) noexcept : ComPtr(static_cast<T*>(other.Get())) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  ComPtr(ComPtr<U>&& other) noexcept : FPointer(other.Detach()) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(FPointer, other.FPointer);
    return *this;
  }

  static ComPtr Adopt(T* owned) noexcept {
    ComPtr result;
    result.FPointer = owned;
    return result;
  }

  T* Get() const noexcept { return FPointer; }
  T* operator->() const noexcept { return FPointer; }
  T& operator*() const noexcept { return *FPointer; }
  explicit operator bool() const noexcept { return FPointer != nullptr; }

  // Gives up the reference without releasing it.
  T* Detach() noexcept { return std::exchange(FPointer, nullptr); }
  void Reset() noexcept { SafeRelease(FPointer); }

  // Releases the current reference and returns the place where an out parameter can store a
  // new counted pointer.
  T** ReleaseAndGetAddressOf() noexcept {
    Reset();
    return &FPointer;
  }

  // QueryInterface for U; null when the object does not implement it.
  template <class U>
  ComPtr<U> As() const {
    if (!FPointer) return nullptr;
    void* out = nullptr;
    if (FPointer->QueryInterface(U::kIID, &out) < 0 || !out) return nullptr;
    return ComPtr<U>::Adopt(static_cast<U*>(out));
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.FPointer == b.FPointer; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.FPointer == nullptr; }

 private:
  T* FPointer = nullptr;
};

}  // namespace pw
