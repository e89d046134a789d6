// The dispatch object that native code receives for a JavaScript object or function: a hook
// handed to AddPreBuild, a callback, the engine's global object. Reference-counted like every
// script interface; it keeps its value alive until its last Release or until its engine closes,
// after which every call answers E_UNEXPECTED.
//
// How it answers:
//  - DISPID_VALUE as a method calls the function, with the named argument DISPID_THIS (when
//    given) as `this`; as a property read it gives the function's source text (an object's
//    string form), or with one argument the object's property of that name.
//  - other names get identifiers from GetIDsOfNames/GetDispID (case-sensitive, as JavaScript
//    is; only names the object has, unless fdexNameEnsure); reading gives the property, a
//    method call calls it with the object as `this`, a write sets it.
//  - an exception thrown by the script is reported to the engine's error handler and answered
//    with SCRIPT_E_REPORTED, unless the call came from native code that a script of the same
//    engine is running, which gets DISP_E_EXCEPTION (see Engine::HandleException).
// Calls on another thread than the engine's are handed over to it and wait (ThreadHandOver.h).
#pragma once

#include "scripting/JSLibrary.h"

#include <atomic>
#include <memory>
#include <vector>

#include "scripting/Dispatch.h"
#include "scripting/JSEngine.h"

namespace pw::js {

class JSDispatch final : public IDispatchEx {
 public:
  static constexpr IID kIID{"pw.JSDispatch"};

  // On the engine's thread; takes a reference on the value. Born with count 0.
  JSDispatch(std::shared_ptr<Engine> engine, JSObjectRef object);

  PW_IDISPATCHEX_OVERRIDES

  // The wrapped object when this belongs to engine and is still live; else null. On the
  // engine's thread.
  JSObjectRef ObjectFor(const Engine& engine) const;

  // Gives up the value for the engine to release; called under the engine's release lock.
  JSObjectRef DetachValue();

  // Dispatch objects of this class alive in the process (leak checks).
  static std::int64_t LiveObjects();

 private:
  ~JSDispatch() override;

  // The bodies, run on the engine's thread.
  HRESULT InvokeHere(DISPID id, std::uint16_t flags, DISPPARAMS* params, Variant* result,
                     EXCEPINFO* excepInfo);
  HRESULT InvokeRun(const Engine::Entry& entry, DISPID id, std::uint16_t flags,
                    DISPPARAMS* params, Variant* result, EXCEPINFO* excepInfo);
  HRESULT FindName(const QString& name, bool ensure, DISPID* id);
  DISPID IdFor(const QString& name);
  bool Live() const;

  std::atomic<std::uint32_t> FRefCount{0};
  std::shared_ptr<Engine> FEngine;
  JSObjectRef FObject;          // protected while not null
  std::vector<QString> FNames;  // the name of identifier i + 1
};

}  // namespace pw::js
