// The script interfaces: IDispatch and IDispatchEx (calls by name and by dispatch identifier),
// ICustomDispatch (the provider of dynamic members) and IAutoObjectRef (from an interface back
// to the native object), with the identifiers, flags and records their methods use.
// Every method reports through its HRESULT; out places are written only where stated.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "scripting/Unknown.h"
#include "scripting/Variant.h"

namespace pw {

class TAutoTarget;
class ThreadAnchor;
using ThreadRef = std::shared_ptr<ThreadAnchor>;

// Dispatch identifiers.
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;
inline constexpr DISPID DISPID_THIS = -613;
// Dynamic members answer 6000 + the provider's index.
inline constexpr DISPID DISPID_DYNAMIC_BASE = 6000;

// Invoke flags.
inline constexpr std::uint16_t DISPATCH_METHOD = 1;
inline constexpr std::uint16_t DISPATCH_PROPERTYGET = 2;
inline constexpr std::uint16_t DISPATCH_PROPERTYPUT = 4;
inline constexpr std::uint16_t DISPATCH_PROPERTYPUTREF = 8;

// GetDispID flags.
inline constexpr std::uint32_t fdexNameCaseSensitive = 0x1;
inline constexpr std::uint32_t fdexNameEnsure = 0x2;
inline constexpr std::uint32_t fdexNameImplicit = 0x4;
inline constexpr std::uint32_t fdexNameCaseInsensitive = 0x8;

// The arguments of one call. rgvarg holds cArgs arguments in reverse order (the last argument
// first); its first cNamedArgs elements are named arguments, whose identifiers are in
// rgdispidNamedArgs (DISPID_THIS for the `this` object, DISPID_PROPERTYPUT for the value of a
// property write). The caller owns both arrays.
struct DISPPARAMS {
  Variant* rgvarg = nullptr;
  DISPID* rgdispidNamedArgs = nullptr;
  std::uint32_t cArgs = 0;
  std::uint32_t cNamedArgs = 0;
};

// What a member that failed with DISP_E_EXCEPTION reports.
struct EXCEPINFO {
  std::uint16_t wCode = 0;
  QString bstrSource;
  QString bstrDescription;
  QString bstrHelpFile;
  std::uint32_t dwHelpContext = 0;
  HRESULT scode = 0;

  void Clear() { *this = EXCEPINFO(); }
};

struct IDispatch : IUnknown {
  static constexpr IID kIID{"IDispatch"};

  // Type information is not modelled: there is none, and *info is set to null.
  virtual HRESULT GetTypeInfoCount(std::uint32_t* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  virtual HRESULT GetTypeInfo(std::uint32_t /*index*/, LCID /*lcid*/, IUnknown** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  virtual HRESULT GetIDsOfNames(const IID& iid, const QString* names, std::uint32_t count,
                                LCID lcid, DISPID* ids) = 0;
  // result may be null (no result wanted); excepInfo and argErr may be null.
  virtual HRESULT Invoke(DISPID id, const IID& iid, LCID lcid, std::uint16_t flags,
                         DISPPARAMS* params, Variant* result, EXCEPINFO* excepInfo,
                         std::uint32_t* argErr) = 0;

  // The thread whose event loop must run calls on this object; null when it may be called on
  // any thread. Script engines hand calls from other threads over to it.
  virtual ThreadRef OwnerThread() const { return nullptr; }
};

struct IDispatchEx : IDispatch {
  static constexpr IID kIID{"IDispatchEx"};

  virtual HRESULT GetDispID(const QString& name, std::uint32_t grfdex, DISPID* id) = 0;
  virtual HRESULT InvokeEx(DISPID id, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                           Variant* result, EXCEPINFO* excepInfo, IUnknown* caller) = 0;
  virtual HRESULT DeleteMemberByName(const QString& name, std::uint32_t grfdex) = 0;
  virtual HRESULT DeleteMemberByDispID(DISPID id) = 0;
  virtual HRESULT GetMemberProperties(DISPID id, std::uint32_t fetch,
                                      std::uint32_t* properties) = 0;
  virtual HRESULT GetMemberName(DISPID id, QString* name) = 0;
  virtual HRESULT GetNextDispID(std::uint32_t grfdex, DISPID id, DISPID* next) = 0;
  // Name spaces are not modelled: *parent is set to null.
  virtual HRESULT GetNameSpaceParent(IUnknown** parent) {
    if (parent) *parent = nullptr;
    return E_NOTIMPL;
  }
};

// Declares, in a class that implements IDispatchEx, the overrides every such class writes.
#define PW_IDISPATCHEX_OVERRIDES                                                                  \
  HRESULT QueryInterface(const IID& iid, void** out) override;                                    \
  std::uint32_t AddRef() override;                                                                \
  std::uint32_t Release() override;                                                               \
  HRESULT GetIDsOfNames(const IID& iid, const QString* names, std::uint32_t count, LCID lcid,     \
                        DISPID* ids) override;                                                    \
  HRESULT Invoke(DISPID id, const IID& iid, LCID lcid, std::uint16_t flags, DISPPARAMS* params,   \
                 Variant* result, EXCEPINFO* excepInfo, std::uint32_t* argErr) override;          \
  ThreadRef OwnerThread() const override;                                                         \
  HRESULT GetDispID(const QString& name, std::uint32_t grfdex, DISPID* id) override;              \
  HRESULT InvokeEx(DISPID id, LCID lcid, std::uint16_t flags, DISPPARAMS* params,                 \
                   Variant* result, EXCEPINFO* excepInfo, IUnknown* caller) override;             \
  HRESULT DeleteMemberByName(const QString& name, std::uint32_t grfdex) override;                 \
  HRESULT DeleteMemberByDispID(DISPID id) override;                                               \
  HRESULT GetMemberProperties(DISPID id, std::uint32_t fetch, std::uint32_t* properties) override; \
  HRESULT GetMemberName(DISPID id, QString* name) override;                                       \
  HRESULT GetNextDispID(std::uint32_t grfdex, DISPID id, DISPID* next) override;

// A provider of dynamic members: names outside an object's member table, served by index.
struct ICustomDispatch : IUnknown {
  static constexpr IID kIID{"ICustomDispatch"};

  // The index of the member called name (>= 0), or -1 when there is none; with ensure a
  // missing member is created.
  virtual std::int32_t GetCustomDispID(const QString& name, bool ensure) = 0;
  virtual HRESULT InvokeCustom(std::int32_t index, LCID lcid, std::uint16_t flags,
                               DISPPARAMS* params, Variant* result, EXCEPINFO* excepInfo,
                               IUnknown* caller) = 0;
};

// From an interface back to the native object that implements it (the target of an adapter).
struct IAutoObjectRef : IUnknown {
  static constexpr IID kIID{"IAutoObjectRef"};

  // Borrowed; null when the object is gone (an adapter whose component was destroyed).
  virtual TAutoTarget* GetAutoObject() = 0;
};

inline constexpr IID IID_IDispatch = IDispatch::kIID;
inline constexpr IID IID_IDispatchEx = IDispatchEx::kIID;
inline constexpr IID IID_ICustomDispatch = ICustomDispatch::kIID;
inline constexpr IID IID_IAutoObjectRef = IAutoObjectRef::kIID;

// Invokes member id of dispatch as a method (DISPATCH_METHOD, IID_NULL, locale 0) with args in
// their natural order (first argument first) and, when thisObject is given, that object as the
// named argument DISPID_THIS. The arguments are copied as they are. result may be null.
// E_POINTER when dispatch is null; otherwise what Invoke returns.
HRESULT CallDispatch(IDispatch* dispatch, DISPID id, const Variant* args, std::size_t argCount,
                     IDispatch* thisObject, Variant* result);

// The object's default value: Invoke of DISPID_VALUE with DISPATCH_PROPERTYGET, no arguments.
// For a script function this is its source text. E_POINTER when dispatch is null.
HRESULT GetDefaultValue(IDispatch* dispatch, Variant* result);

}  // namespace pw
