#include "scripting/JSDispatch.h"

#include <vector>

#include "scripting/JSBridge.h"
#include "scripting/JSEngine.h"
#include "scripting/JSUtil.h"
#include "scripting/ThreadHandOver.h"

namespace pw::js {

namespace {

std::atomic<std::int64_t> gLiveDispatches{0};

constexpr DISPID kStartEnum = -2;

}  // namespace

JSDispatch::JSDispatch(std::shared_ptr<Engine> engine, JSObjectRef object)
    : FEngine(std::move(engine)), FObject(object) {
  FEngine->Protect(FObject);
  FEngine->Register(this);
  ++gLiveDispatches;
}

JSDispatch::~JSDispatch() {
  FEngine->Unregister(this);
  --gLiveDispatches;
}

std::int64_t JSDispatch::LiveObjects() { return gLiveDispatches.load(); }

JSObjectRef JSDispatch::DetachValue() { return std::exchange(FObject, nullptr); }

JSObjectRef JSDispatch::ObjectFor(const Engine& engine) const {
  if (&engine != FEngine.get() || engine.IsClosed()) return nullptr;
  return FObject;
}

bool JSDispatch::Live() const { return FObject && !FEngine->IsClosed(); }

HRESULT JSDispatch::QueryInterface(const IID& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == kIID) {
    *out = this;
    AddRef();
    return S_OK;
  }
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IDispatchEx) {
    *out = static_cast<IDispatchEx*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

std::uint32_t JSDispatch::AddRef() { return ++FRefCount; }

std::uint32_t JSDispatch::Release() {
  std::uint32_t count = --FRefCount;
  if (count == 0) delete this;
  return count;
}

ThreadRef JSDispatch::OwnerThread() const { return FEngine->Thread(); }

DISPID JSDispatch::IdFor(const QString& name) {
  for (std::size_t i = 0; i < FNames.size(); ++i) {
    if (FNames[i] == name) return static_cast<DISPID>(i + 1);
  }
  FNames.push_back(name);
  return static_cast<DISPID>(FNames.size());
}

HRESULT JSDispatch::FindName(const QString& name, bool ensure, DISPID* id) {
  if (!Live()) return E_UNEXPECTED;
  if (!ensure) {
    Engine::Entry entry(*FEngine);
    if (!JSObjectHasProperty(FEngine->Context(), FObject, JSString(name))) {
      return DISP_E_UNKNOWNNAME;
    }
  }
  *id = IdFor(name);
  return S_OK;
}

HRESULT JSDispatch::GetIDsOfNames(const IID&, const QString* names, std::uint32_t count, LCID,
                                  DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  if (count != 1) {
    for (std::uint32_t i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  return RunOnThread(FEngine->Thread(), E_UNEXPECTED, [&]() -> HRESULT {
    *ids = DISPID_UNKNOWN;
    return FindName(names[0], false, ids);
  });
}

HRESULT JSDispatch::GetDispID(const QString& name, std::uint32_t grfdex, DISPID* id) {
  if (!id) return E_POINTER;
  return RunOnThread(FEngine->Thread(), E_UNEXPECTED, [&]() -> HRESULT {
    *id = DISPID_UNKNOWN;
    return FindName(name, (grfdex & fdexNameEnsure) != 0, id);
  });
}

HRESULT JSDispatch::Invoke(DISPID id, const IID&, LCID, std::uint16_t flags, DISPPARAMS* params,
                           Variant* result, EXCEPINFO* excepInfo, std::uint32_t*) {
  return RunOnThread(FEngine->Thread(), E_UNEXPECTED, [&] {
    return InvokeHere(id, flags, params, result, excepInfo);
  });
}

HRESULT JSDispatch::InvokeEx(DISPID id, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                             Variant* result, EXCEPINFO* excepInfo, IUnknown*) {
  return Invoke(id, IID_NULL, lcid, flags, params, result, excepInfo, nullptr);
}

HRESULT JSDispatch::InvokeHere(DISPID id, std::uint16_t flags, DISPPARAMS* params,
                               Variant* result, EXCEPINFO* excepInfo) {
  if (!Live()) return E_UNEXPECTED;
  if (id != DISPID_VALUE && (id < 1 || id > static_cast<DISPID>(FNames.size()))) {
    return DISP_E_MEMBERNOTFOUND;
  }
  if (flags & DISPATCH_PROPERTYPUTREF) flags = (flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT;

  Engine::Entry entry(*FEngine);
  // A script that is being stopped runs no more callbacks.
  if (FEngine->TakeStopBeforeRun(entry) || (entry.Nested() && FEngine->StopRequested())) {
    return E_ABORT;
  }
  return FEngine->FinishRun(entry, InvokeRun(entry, id, flags, params, result, excepInfo));
}

HRESULT JSDispatch::InvokeRun(const Engine::Entry& entry, DISPID id, std::uint16_t flags,
                              DISPPARAMS* params, Variant* result, EXCEPINFO* excepInfo) {
  Engine& engine = *FEngine;
  JSGlobalContextRef ctx = engine.Context();

  // Split the arguments: named ones come first in the vector, positional ones follow in
  // reverse order.
  std::uint32_t argCount = params ? params->cArgs : 0;
  std::uint32_t namedCount = params ? params->cNamedArgs : 0;
  if (namedCount > argCount || (argCount > 0 && !params->rgvarg) ||
      (namedCount > 0 && !params->rgdispidNamedArgs)) {
    return E_INVALIDARG;
  }
  const Variant* thisArg = nullptr;
  const Variant* putValue = nullptr;
  for (std::uint32_t i = 0; i < namedCount; ++i) {
    DISPID named = params->rgdispidNamedArgs[i];
    if (named == DISPID_THIS) {
      thisArg = &params->rgvarg[i];
    } else if (named == DISPID_PROPERTYPUT) {
      putValue = &params->rgvarg[i];
    } else {
      return DISP_E_NONAMEDARGS;
    }
  }
  std::vector<JSValueRef> args;
  for (std::uint32_t i = argCount; i > namedCount; --i) {
    args.push_back(ToJS(engine, params->rgvarg[i - 1]));
  }

  JSValueRef exception = nullptr;
  auto fail = [&] { return engine.HandleException(exception, entry.Nested(), excepInfo); };

  if (flags & DISPATCH_PROPERTYPUT) {
    if (id == DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    if (!putValue) {
      // Without the named value, the value is the last argument in the vector's order.
      if (args.empty()) return DISP_E_PARAMNOTOPTIONAL;
      JSValueRef value = args.back();
      JSObjectSetProperty(ctx, FObject, JSString(FNames[id - 1]), value, 0, &exception);
    } else {
      JSObjectSetProperty(ctx, FObject, JSString(FNames[id - 1]), ToJS(engine, *putValue), 0,
                          &exception);
    }
    return exception ? fail() : S_OK;
  }

  JSObjectRef thisObject = nullptr;
  if (thisArg) {
    JSValueRef value = ToJS(engine, thisArg->Dereferenced());
    if (JSValueIsObject(ctx, value)) thisObject = JSValueToObject(ctx, value, nullptr);
  }

  JSValueRef target = FObject;
  if (id != DISPID_VALUE) {
    target = JSObjectGetProperty(ctx, FObject, JSString(FNames[id - 1]), &exception);
    if (exception) return fail();
    if (!thisArg) thisObject = FObject;
  }
  JSObjectRef targetObject =
      JSValueIsObject(ctx, target) ? JSValueToObject(ctx, target, nullptr) : nullptr;

  if ((flags & DISPATCH_METHOD) && targetObject && JSObjectIsFunction(ctx, targetObject)) {
    JSValueRef value = JSObjectCallAsFunction(ctx, targetObject, thisObject, args.size(),
                                              args.data(), &exception);
    if (exception) return fail();
    if (result) *result = FromJS(engine, value);
    return S_OK;
  }
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;

  if (id == DISPID_VALUE) {
    if (args.size() > 1) return DISP_E_BADPARAMCOUNT;
    if (args.size() == 1) {
      JSString key = JSString::Adopt(JSValueToStringCopy(ctx, args[0], &exception));
      if (exception) return fail();
      JSValueRef value = JSObjectGetProperty(ctx, FObject, key, &exception);
      if (exception) return fail();
      if (result) *result = FromJS(engine, value);
      return S_OK;
    }
    // The default value: a function's source text, an object's string form.
    JSString text = JSString::Adopt(JSValueToStringCopy(ctx, FObject, &exception));
    if (exception) return fail();
    if (result) *result = Variant(ToQString(text));
    return S_OK;
  }
  if (!args.empty()) return DISP_E_BADPARAMCOUNT;
  if (result) *result = FromJS(engine, target);
  return S_OK;
}

HRESULT JSDispatch::DeleteMemberByName(const QString& name, std::uint32_t) {
  return RunOnThread(FEngine->Thread(), E_UNEXPECTED, [&]() -> HRESULT {
    if (!Live()) return E_UNEXPECTED;
    Engine::Entry entry(*FEngine);
    bool deleted = JSObjectDeleteProperty(FEngine->Context(), FObject, JSString(name), nullptr);
    return deleted ? S_OK : S_FALSE;
  });
}

HRESULT JSDispatch::DeleteMemberByDispID(DISPID id) {
  return RunOnThread(FEngine->Thread(), E_UNEXPECTED, [&]() -> HRESULT {
    if (id < 1 || id > static_cast<DISPID>(FNames.size())) return DISP_E_MEMBERNOTFOUND;
    QString name = FNames[id - 1];
    return DeleteMemberByName(name, 0);
  });
}

HRESULT JSDispatch::GetMemberProperties(DISPID, std::uint32_t, std::uint32_t* properties) {
  if (properties) *properties = 0;
  return E_NOTIMPL;
}

HRESULT JSDispatch::GetMemberName(DISPID id, QString* name) {
  if (!name) return E_POINTER;
  return RunOnThread(FEngine->Thread(), E_UNEXPECTED, [&]() -> HRESULT {
    if (id < 1 || id > static_cast<DISPID>(FNames.size())) return DISP_E_MEMBERNOTFOUND;
    *name = FNames[id - 1];
    return S_OK;
  });
}

HRESULT JSDispatch::GetNextDispID(std::uint32_t, DISPID id, DISPID* next) {
  if (!next) return E_POINTER;
  return RunOnThread(FEngine->Thread(), E_UNEXPECTED, [&]() -> HRESULT {
    *next = DISPID_UNKNOWN;
    if (!Live()) return E_UNEXPECTED;
    Engine::Entry entry(*FEngine);
    // The enumerable names in for-in order; the one after id's name comes next.
    JSPropertyNameArrayRef names = JSObjectCopyPropertyNames(FEngine->Context(), FObject);
    std::size_t count = JSPropertyNameArrayGetCount(names);
    std::size_t start = 0;
    if (id != kStartEnum) {
      if (id < 1 || id > static_cast<DISPID>(FNames.size())) {
        JSPropertyNameArrayRelease(names);
        return E_INVALIDARG;
      }
      start = count;
      for (std::size_t i = 0; i < count; ++i) {
        if (ToQString(JSPropertyNameArrayGetNameAtIndex(names, i)) == FNames[id - 1]) {
          start = i + 1;
          break;
        }
      }
    }
    HRESULT hr = S_FALSE;
    if (start < count) {
      *next = IdFor(ToQString(JSPropertyNameArrayGetNameAtIndex(names, start)));
      hr = S_OK;
    }
    JSPropertyNameArrayRelease(names);
    return hr;
  });
}

}  // namespace pw::js
