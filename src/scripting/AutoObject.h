// Automation objects: the dispatch machinery that makes a native object callable from scripts
// by name, driven by its class's member table (see AutoMember.h).
//  - TAutoTarget: any object with a member table (script objects, components).
//  - TCustomAutoObject: the reference-counted base of free-standing script objects; it answers
//    IDispatchEx for itself, or, as TAutoController, for another target.
//  - TAutoComponent: a component (owned by its owner, not counted) that keeps a TAutoController
//    on itself and hands that out as its script face.
//  - the registry of creatable object names.
// Failures reach callers as HRESULTs; an exception thrown by a member becomes DISP_E_EXCEPTION
// with its message in the EXCEPINFO record.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>

#include "scripting/AutoMember.h"
#include "scripting/Dispatch.h"

namespace pw {

class TScriptRuntime;

// An error a member reports to the script; its message becomes the exception's description.
// Members may throw any std::exception (its what() is read as UTF-8).
class EAutoObjectError : public std::runtime_error {
 public:
  explicit EAutoObjectError(const QString& message)
      : std::runtime_error(message.toStdString()), FMessage(message) {}
  const QString& Message() const { return FMessage; }

 private:
  QString FMessage;
};

// An object whose members scripts can reach: it names its member table. Not counted itself;
// destroyed by its owner (or, for TCustomAutoObject, by its last Release).
class TAutoTarget {
 public:
  // The root table: no members.
  static const TAutoClass& StaticAutoClass();
  virtual const TAutoClass& AutoClass() const { return StaticAutoClass(); }

  // The thread whose event loop must run calls on this object; null: any thread.
  virtual ThreadRef OwnerThread() const { return nullptr; }

  // Interfaces beyond the dispatch ones that an adapter on this object answers in
  // QueryInterface. Stores a counted pointer and returns S_OK, or null and E_NOINTERFACE.
  virtual HRESULT QueryTargetInterface(const IID& iid, void** out);

 protected:
  TAutoTarget() = default;
  TAutoTarget(const TAutoTarget&) = delete;
  TAutoTarget& operator=(const TAutoTarget&) = delete;
  virtual ~TAutoTarget() = default;
};

class TCustomAutoObject : public IDispatchEx,
                          public ICustomDispatch,
                          public IAutoObjectRef,
                          public TAutoTarget {
  PW_AUTO_CLASS(TCustomAutoObject, TAutoTarget)

 public:
  // IUnknown, IDispatch and IDispatchEx. QueryInterface answers IUnknown, IDispatch,
  // IDispatchEx, ICustomDispatch and IAutoObjectRef, then whatever the target answers in
  // QueryTargetInterface. An adapter's calls belong to its target's thread (OwnerThread); an
  // object that is its own target is free-threaded unless a descendant says otherwise.
  PW_IDISPATCHEX_OVERRIDES

  // ICustomDispatch: this object as another object's dynamic-member provider.
  std::int32_t GetCustomDispID(const QString& name, bool ensure) override;
  HRESULT InvokeCustom(std::int32_t index, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                       Variant* result, EXCEPINFO* excepInfo, IUnknown* caller) override;

  // IAutoObjectRef: the target.
  TAutoTarget* GetAutoObject() override;

  // Attaches (or replaces, or with null removes) the dynamic-member provider; holds one
  // counted reference to it.
  void SetDynamicProvider(ICustomDispatch* provider);
  ComPtr<ICustomDispatch> DynamicProvider() const;

  // The object whose table is searched and whose methods are called; null once detached.
  TAutoTarget* Target() const { return FTarget.load(std::memory_order_acquire); }
  // This object as its IDispatchEx (not counted), e.g. to put it in a Variant.
  IDispatchEx* AsDispatch() { return this; }
  std::uint32_t RefCount() const { return FRefCount.load(std::memory_order_acquire); }

  // Objects of this class and its descendants alive in the process (leak checks).
  static std::int64_t LiveObjects();

 protected:
  // An object that is its own target. Born with count 0.
  TCustomAutoObject();
  // An adapter onto target, which must outlive it or detach it first.
  explicit TCustomAutoObject(TAutoTarget* target);
  ~TCustomAutoObject() override;

  // Fills a zeroed record for an exception raised by a member: source = the class name of this
  // dispatching object, description = the message, scode = E_FAIL.
  virtual void FillExceptInfo(EXCEPINFO& info, const QString& description);
  // The dynamic members: default ones ask the provider (-1 / E_NOTIMPL without one).
  virtual std::int32_t GetDynamicDispID(const QString& name, bool ensure);
  virtual HRESULT InvokeDynamic(std::int32_t index, LCID lcid, std::uint16_t flags,
                                DISPPARAMS* params, Variant* result, EXCEPINFO* excepInfo,
                                IUnknown* caller);

  // Cuts the link to the target: later calls fail with a script exception.
  void DetachTarget() { FTarget.store(nullptr, std::memory_order_release); }

 private:
  HRESULT InvokeEntry(const TAutoMember& entry, TAutoTarget& target, Variant* args,
                      std::uint32_t argCount, std::uint32_t argOffset, Variant* result,
                      EXCEPINFO* excepInfo, std::uint32_t* argErr);
  HRESULT ReportException(EXCEPINFO* excepInfo, const QString& description);

  std::atomic<std::uint32_t> FRefCount{0};
  std::atomic<TAutoTarget*> FTarget;
  mutable std::mutex FProviderMutex;
  ComPtr<ICustomDispatch> FProvider;
};

// Creates a script object with count 1 held by the returned pointer.
template <class T, class... Args>
ComPtr<T> MakeAutoObject(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

// An adapter that dispatches onto another object. Its life is bound to its target's: the target
// (or its owner) holds one reference and calls Detach when the target is destroyed; a script
// that still holds the adapter then gets an exception from every call.
class TAutoController final : public TCustomAutoObject {
  PW_AUTO_CLASS(TAutoController, TCustomAutoObject)

 public:
  explicit TAutoController(TAutoTarget* target) : TCustomAutoObject(target) {}
  void Detach() { DetachTarget(); }

 private:
  ~TAutoController() override = default;
};

// A component with a script face: it creates a TAutoController on itself, keeps one reference
// and hands the adapter out as its IDispatch. Owned by its owner like any component; destroying
// it detaches and releases the adapter. Calls belong to the thread that created the component.
class TAutoComponent : public TAutoTarget {
  PW_AUTO_CLASS(TAutoComponent, TAutoTarget)

 public:
  TAutoComponent();
  ~TAutoComponent() override;

  // The adapter (not counted; valid while the component lives).
  TAutoController* Controller() const { return FController.Get(); }
  IDispatchEx* Dispatch() const { return FController.Get(); }
  // A counted reference to the adapter, for handing to scripts.
  ComPtr<IDispatch> DispatchRef() const { return ComPtr<IDispatch>(Dispatch()); }
  void SetDynamicProvider(ICustomDispatch* provider) { FController->SetDynamicProvider(provider); }

  ThreadRef OwnerThread() const override { return FOwnerThread; }

 private:
  ComPtr<TAutoController> FController;
  ThreadRef FOwnerThread;
};

// The object registry: the names scripts pass to CreateObject. A factory makes a new object for
// the calling runtime (which may be null) and returns its IDispatch, or null on failure.
// Registration and lookup may happen on any thread.
using TAutoFactory = std::function<ComPtr<IDispatch>(TScriptRuntime* runtime)>;

// Appends (name, factory); a name registered before keeps its first factory.
void RegisterAutoObject(const QString& name, TAutoFactory factory);
// The factory registered under name, compared without regard to case; empty when none.
TAutoFactory FindAutoObject(const QString& name);
// Calls the factory registered under name; null when the name is unknown or the factory fails.
ComPtr<IDispatch> CreateAutoObject(const QString& name, TScriptRuntime* runtime);
// The registered names in registration order.
QStringList RegisteredAutoObjects();

}  // namespace pw
