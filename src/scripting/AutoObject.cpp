#include "scripting/AutoObject.h"

#include <cxxabi.h>

#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "scripting/ThreadHandOver.h"
#include "scripting/VariantBuffer.h"

namespace pw {

namespace {

std::atomic<std::int64_t> gLiveObjects{0};

QString TargetGoneMessage() { return QStringLiteral("The object is no longer available"); }

// The converted arguments of one call.
constexpr std::uint32_t kInlineArgs = 8;
using TConvertedArgs = TVariantBuffer<kInlineArgs>;
}  // namespace

// ---------------------------------------------------------------------------------------------
// TAutoTarget

const TAutoClass& TAutoTarget::StaticAutoClass() {
  static const TAutoClass root("TAutoTarget", nullptr, {});
  return root;
}

HRESULT TAutoTarget::QueryTargetInterface(const IID&, void** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

// ---------------------------------------------------------------------------------------------
// TCustomAutoObject

PW_AUTO_MEMBERS(TCustomAutoObject)

TCustomAutoObject::TCustomAutoObject() : FTarget(this) { gLiveObjects.fetch_add(1); }

TCustomAutoObject::TCustomAutoObject(TAutoTarget* target) : FTarget(target) {
  gLiveObjects.fetch_add(1);
}

TCustomAutoObject::~TCustomAutoObject() { gLiveObjects.fetch_sub(1); }

std::int64_t TCustomAutoObject::LiveObjects() { return gLiveObjects.load(); }

HRESULT TCustomAutoObject::QueryInterface(const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown) {
    *out = static_cast<IUnknown*>(static_cast<IDispatchEx*>(this));
  } else if (iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
  } else if (iid == IID_IDispatchEx) {
    *out = static_cast<IDispatchEx*>(this);
  } else if (iid == IID_ICustomDispatch) {
    *out = static_cast<ICustomDispatch*>(this);
  } else if (iid == IID_IAutoObjectRef) {
    *out = static_cast<IAutoObjectRef*>(this);
  }
  if (*out) {
    AddRef();
    return S_OK;
  }
  TAutoTarget* target = Target();
  return target ? target->QueryTargetInterface(iid, out) : E_NOINTERFACE;
}

std::uint32_t TCustomAutoObject::AddRef() {
  return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t TCustomAutoObject::Release() {
  const std::uint32_t remaining = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT TCustomAutoObject::GetIDsOfNames(const IID&, const QString* names, std::uint32_t count,
                                         LCID, DISPID* ids) {
  if (count == 0) return S_OK;
  if (!names || !ids) return E_POINTER;
  if (count > 1) {
    // Named arguments are not supported.
    for (std::uint32_t i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  TAutoTarget* target = Target();
  ids[0] = target ? target->AutoClass().FindDispID(AutoMemberName(names[0])) : DISPID_UNKNOWN;
  return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT TCustomAutoObject::Invoke(DISPID id, const IID&, LCID, std::uint16_t flags,
                                  DISPPARAMS* params, Variant* result, EXCEPINFO* excepInfo,
                                  std::uint32_t* argErr) {
  if (flags & DISPATCH_PROPERTYPUTREF) {
    flags = static_cast<std::uint16_t>((flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT);
  }
  TAutoTarget* target = Target();
  if (!target) return ReportException(excepInfo, TargetGoneMessage());
  const TAutoMember* entry = target->AutoClass().FindEntry(id, flags);
  if (!entry || (entry->ResultType == 0 && result)) return DISP_E_MEMBERNOTFOUND;

  DISPPARAMS none;
  if (!params) params = &none;
  if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
  if (params->cNamedArgs > 0 && !params->rgdispidNamedArgs) return E_INVALIDARG;
  if (params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;

  // A property write names its value DISPID_PROPERTYPUT; the only other named argument is the
  // `this` object, which comes first and is dropped.
  std::uint32_t named = params->cNamedArgs;
  if ((flags & DISPATCH_PROPERTYPUT) && named > 0) --named;
  std::uint32_t offset = 0;
  if (named != 0) {
    if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_THIS) return DISP_E_NONAMEDARGS;
    offset = 1;
  }
  const std::uint32_t argCount = params->cArgs - offset;
  if (argCount != entry->ParamTypes.size()) return DISP_E_BADPARAMCOUNT;
  return InvokeEntry(*entry, *target, params->rgvarg + offset, argCount, offset, result,
                     excepInfo, argErr);
}

HRESULT TCustomAutoObject::InvokeEntry(const TAutoMember& entry, TAutoTarget& target,
                                       Variant* args, std::uint32_t argCount,
                                       std::uint32_t argOffset, Variant* result,
                                       EXCEPINFO* excepInfo, std::uint32_t* argErr) {
  TConvertedArgs converted(argCount);
  Variant* inlinePointers[kInlineArgs];
  std::vector<Variant*> heapPointers(argCount > kInlineArgs ? argCount : 0);
  Variant** pointers = argCount > kInlineArgs ? heapPointers.data() : inlinePointers;
  // Declared parameter p is element argCount - 1 - p of the argument vector.
  for (std::uint32_t p = 0; p < argCount; ++p) {
    const std::uint32_t index = argCount - 1 - p;
    Variant& arg = args[index];
    const bool byRef = (entry.ParamTypes[p] & kParamByRef) != 0;
    const VARTYPE type = entry.ParamTypes[p] & ~kParamByRef;
    const VARTYPE scriptType = type == VT_BYTESTR ? static_cast<VARTYPE>(VT_BSTR) : type;
    auto fail = [&](HRESULT hr) {
      if (argErr) *argErr = index + argOffset;
      return hr;
    };
    if (arg.Type() == VT_ERROR && (byRef || type != VT_VARIANT)) {
      return fail(DISP_E_PARAMNOTOPTIONAL);
    }
    if (byRef) {
      if (arg.Type() != (VT_BYREF | scriptType)) return fail(DISP_E_TYPEMISMATCH);
      Variant* referenced = arg.RefTarget();
      if (type == VT_VARIANT) {
        pointers[p] = referenced;
        continue;
      }
      if (referenced->Type() != scriptType) return fail(DISP_E_TYPEMISMATCH);
      converted[p] = type == VT_BYTESTR ? Variant(referenced->StringValue().toStdString())
                                        : *referenced;
    } else if (type == VT_VARIANT) {
      if (!arg.IsByRef()) {
        pointers[p] = &arg;
        continue;
      }
      converted[p] = arg.Dereferenced();
    } else if (arg.Type() == type) {
      // Already of the parameter's type: the member reads the caller's value itself.
      pointers[p] = &arg;
      continue;
    } else {
      const HRESULT hr = VariantChangeTypeEx(converted[p], arg, LOCALE_USER_DEFAULT, 0, scriptType);
      if (FAILED(hr)) return fail(hr);
      if (type == VT_BYTESTR) converted[p] = Variant(converted[p].StringValue().toStdString());
    }
    pointers[p] = &converted[p];
  }

  Variant value;
  try {
    entry.Code(target, pointers, result ? &value : nullptr);
  } catch (const abi::__forced_unwind&) {
    throw;  // thread cancellation must unwind
  } catch (const EAutoObjectError& error) {
    return ReportException(excepInfo, error.Message());
  } catch (const std::exception& error) {
    return ReportException(excepInfo, QString::fromUtf8(error.what()));
  } catch (...) {
    return ReportException(excepInfo, QStringLiteral("Unknown error"));
  }

  for (std::uint32_t p = 0; p < argCount; ++p) {
    const VARTYPE type = entry.ParamTypes[p] & ~kParamByRef;
    if (!(entry.ParamTypes[p] & kParamByRef) || type == VT_VARIANT) continue;
    Variant* referenced = args[argCount - 1 - p].RefTarget();
    if (type == VT_BYTESTR) {
      const std::string& bytes = converted[p].ByteStringValue();
      *referenced = Variant(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
    } else {
      *referenced = std::move(converted[p]);
    }
  }
  if (result) *result = std::move(value);
  return S_OK;
}

HRESULT TCustomAutoObject::ReportException(EXCEPINFO* excepInfo, const QString& description) {
  if (excepInfo) {
    excepInfo->Clear();
    FillExceptInfo(*excepInfo, description);
  }
  return DISP_E_EXCEPTION;
}

void TCustomAutoObject::FillExceptInfo(EXCEPINFO& info, const QString& description) {
  info.bstrSource = QString::fromStdString(AutoClass().Name());
  info.bstrDescription = description;
  info.scode = E_FAIL;
}

ThreadRef TCustomAutoObject::OwnerThread() const {
  const TAutoTarget* target = Target();
  if (target && target != static_cast<const TAutoTarget*>(this)) return target->OwnerThread();
  return nullptr;
}

HRESULT TCustomAutoObject::GetDispID(const QString& name, std::uint32_t grfdex, DISPID* id) {
  if (!id) return E_POINTER;
  *id = DISPID_UNKNOWN;
  if (TAutoTarget* target = Target()) {
    const DISPID found = target->AutoClass().FindDispID(AutoMemberName(name));
    if (found != DISPID_UNKNOWN) {
      *id = found;
      return S_OK;
    }
  }
  const std::int32_t index = GetDynamicDispID(name, (grfdex & fdexNameEnsure) != 0);
  if (index < 0 || index > std::numeric_limits<DISPID>::max() - DISPID_DYNAMIC_BASE) {
    return DISP_E_UNKNOWNNAME;
  }
  *id = DISPID_DYNAMIC_BASE + index;
  return S_OK;
}

HRESULT TCustomAutoObject::InvokeEx(DISPID id, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                                    Variant* result, EXCEPINFO* excepInfo, IUnknown* caller) {
  if (id < DISPID_DYNAMIC_BASE) {
    return Invoke(id, IID_NULL, lcid, flags, params, result, excepInfo, nullptr);
  }
  return InvokeDynamic(id - DISPID_DYNAMIC_BASE, lcid, flags, params, result, excepInfo, caller);
}

HRESULT TCustomAutoObject::DeleteMemberByName(const QString&, std::uint32_t) { return E_NOTIMPL; }
HRESULT TCustomAutoObject::DeleteMemberByDispID(DISPID) { return E_NOTIMPL; }
HRESULT TCustomAutoObject::GetMemberProperties(DISPID, std::uint32_t, std::uint32_t*) {
  return E_NOTIMPL;
}
HRESULT TCustomAutoObject::GetMemberName(DISPID, QString*) { return E_NOTIMPL; }
HRESULT TCustomAutoObject::GetNextDispID(std::uint32_t, DISPID, DISPID*) { return E_NOTIMPL; }

std::int32_t TCustomAutoObject::GetCustomDispID(const QString& name, bool ensure) {
  return GetDynamicDispID(name, ensure);
}

HRESULT TCustomAutoObject::InvokeCustom(std::int32_t index, LCID lcid, std::uint16_t flags,
                                        DISPPARAMS* params, Variant* result,
                                        EXCEPINFO* excepInfo, IUnknown* caller) {
  return InvokeDynamic(index, lcid, flags, params, result, excepInfo, caller);
}

TAutoTarget* TCustomAutoObject::GetAutoObject() { return Target(); }

void TCustomAutoObject::SetDynamicProvider(ICustomDispatch* provider) {
  // An object serving its own dynamic members overrides GetDynamicDispID instead; attaching
  // itself would recurse forever.
  if (provider == static_cast<ICustomDispatch*>(this)) return;
  ComPtr<ICustomDispatch> replacement(provider);
  std::lock_guard<std::mutex> lock(FProviderMutex);
  std::swap(FProvider, replacement);
  // The old provider is released after the lock, when replacement goes out of scope.
}

ComPtr<ICustomDispatch> TCustomAutoObject::DynamicProvider() const {
  std::lock_guard<std::mutex> lock(FProviderMutex);
  return FProvider;
}

std::int32_t TCustomAutoObject::GetDynamicDispID(const QString& name, bool ensure) {
  ComPtr<ICustomDispatch> provider = DynamicProvider();
  return provider ? provider->GetCustomDispID(name, ensure) : -1;
}

HRESULT TCustomAutoObject::InvokeDynamic(std::int32_t index, LCID lcid, std::uint16_t flags,
                                         DISPPARAMS* params, Variant* result,
                                         EXCEPINFO* excepInfo, IUnknown* caller) {
  ComPtr<ICustomDispatch> provider = DynamicProvider();
  if (!provider) return E_NOTIMPL;
  return provider->InvokeCustom(index, lcid, flags, params, result, excepInfo, caller);
}

// ---------------------------------------------------------------------------------------------
// TAutoController, TAutoComponent

PW_AUTO_MEMBERS(TAutoController)
PW_AUTO_MEMBERS(TAutoComponent)

TAutoComponent::TAutoComponent()
    : FController(MakeAutoObject<TAutoController>(this)), FOwnerThread(CurrentThreadRef()) {}

TAutoComponent::~TAutoComponent() {
  FController->Detach();
  FController.Reset();
}

// ---------------------------------------------------------------------------------------------
// Registry

namespace {

struct Registry {
  std::mutex Mutex;
  std::vector<std::pair<QString, TAutoFactory>> Entries;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void RegisterAutoObject(const QString& name, TAutoFactory factory) {
  if (name.isEmpty() || !factory) return;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.Mutex);
  registry.Entries.emplace_back(name, std::move(factory));
}

TAutoFactory FindAutoObject(const QString& name) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.Mutex);
  for (const auto& [registered, factory] : registry.Entries) {
    if (registered.compare(name, Qt::CaseInsensitive) == 0) return factory;
  }
  return {};
}

ComPtr<IDispatch> CreateAutoObject(const QString& name, TScriptRuntime* runtime) {
  const TAutoFactory factory = FindAutoObject(name);
  if (!factory) return nullptr;
  try {
    return factory(runtime);
  } catch (const abi::__forced_unwind&) {
    throw;
  } catch (...) {
    return nullptr;
  }
}

QStringList RegisteredAutoObjects() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.Mutex);
  QStringList names;
  for (const auto& entry : registry.Entries) names << entry.first;
  return names;
}

}  // namespace pw
