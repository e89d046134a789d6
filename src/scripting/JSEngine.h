// One JavaScript engine: a JavaScriptCore context in a context group of its own, with the named
// items it was given, the code parsed into it and the means to interrupt it. TActiveScript
// creates one per SetLanguage and closes it; dispatch objects over the engine's values share
// ownership of this object (not of the context), so they outlive it safely: once the engine is
// closed they answer E_UNEXPECTED.
// An engine belongs to the thread that created it; only Interrupt may be called elsewhere.
// Errors reach the error sink (see ScriptError.h); operations return HRESULTs.
#pragma once

#include "scripting/JSLibrary.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "scripting/Dispatch.h"
#include "scripting/ScriptError.h"
#include "scripting/ThreadHandOver.h"

namespace pw::js {

class JSDispatch;

// Named-item flags, as the host passes them.
inline constexpr std::uint32_t kItemIsVisible = 0x2;
inline constexpr std::uint32_t kItemIsSource = 0x4;
inline constexpr std::uint32_t kItemGlobalMembers = 0x8;

class Engine : public std::enable_shared_from_this<Engine> {
 public:
  // A fresh engine on the calling thread, with no items and no code, not started. Null with the
  // reason when JavaScriptCore cannot be loaded (it is opened by the first engine).
  static std::shared_ptr<Engine> Create(QString* error);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Engines alive in the process (leak checks).
  static std::int64_t LiveEngines();

  // Where script errors go; an empty sink drops them.
  void SetErrorSink(TScriptErrorHandler sink);

  // Adds the item, or replaces the item of that name (names compare exactly). A visible item
  // becomes a global variable; a global-members item lends its members to the global scope,
  // after the script's own globals. E_INVALIDARG without an object or a name.
  HRESULT AddNamedItem(const QString& name, IDispatch* object, std::uint32_t flags);

  // Parses text whose first line is line 0. Before Start the code waits (a syntax error is
  // reported now); once started it runs at once. With isExpression the engine starts first and
  // the value of the text lands in *result (which may be null). SCRIPT_E_REPORTED after a
  // reported error, E_ABORT when an interrupt stopped the code.
  HRESULT ParseScriptText(const QString& text, bool isExpression, Variant* result);

  // Runs the waiting code in the order it was parsed; later parsed code runs at once.
  HRESULT Start();
  bool IsStarted() const { return FStarted; }

  // The global object as a dispatch object: its names are the script's globals and the
  // members of global-members items.
  HRESULT GetScriptDispatch(ComPtr<IDispatch>& out);

  // Stops the script running now on the engine's thread, or, when none runs, the next script
  // run (parsed code, Start, a call of a script function); the stop is not a script error and
  // the stopped run answers E_ABORT. A running script sees the request within 30 ms of CPU
  // time, and at the latest when a native call it made returns. One request stops one
  // outermost run. Any thread.
  void Interrupt();

  // Ends the engine: the context and every value handed out are released (their dispatch
  // objects then fail). Called from inside a running script (a native call closing its own
  // engine), that script stops at its next step, as if interrupted, and the release waits
  // until the outermost script call has returned. A second Close is a no-op.
  void Close();
  bool IsClosed() const { return FClosed; }

  // --- For the bridge and the dispatch objects; owner thread only unless stated.
  JSGlobalContextRef Context() const { return FContext; }
  const ThreadRef& Thread() const { return FThread; }  // any thread

  struct Item {
    QString Name;
    ComPtr<IDispatch> Object;
    std::uint32_t Flags = 0;
    std::shared_ptr<const void> Face;  // what the bridge looked up about Object, once
  };
  const std::vector<Item>& Items() const { return FItems; }
  bool HasGlobalMembers() const { return FHasGlobalMembers; }
  // Keeps the bridge's face of item index (until the item gets another object).
  void SetItemFace(std::size_t index, std::shared_ptr<const void> face) {
    FItems[index].Face = std::move(face);
  }

  // Marks a call into script code; the outermost one finishes a Close that was asked for
  // meanwhile.
  class Entry {
   public:
    explicit Entry(Engine& engine);
    ~Entry();
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    // True when this entry is nested in another call into the same engine.
    bool Nested() const { return FNested; }

   private:
    std::shared_ptr<Engine> FEngine;
    bool FNested;
  };

  // A script run (ParseScriptText, Start, a call of a script function) begins: at the
  // outermost level a stop requested meanwhile is taken, and the run must not start (true).
  bool TakeStopBeforeRun(const Entry& entry);
  // A script run ends with hr: at the outermost level a stop requested during the run is taken
  // and makes the result E_ABORT.
  HRESULT FinishRun(const Entry& entry, HRESULT hr);
  // True when the running script must stop: an interrupt is pending or the engine was closed
  // under it.
  bool StopRequested() const { return FInterrupted.load() || FClosed; }
  // For a native callback that finds StopRequested: makes the running script stop at its next
  // step and returns the exception the callback raises meanwhile.
  JSValueRef StopScript();

  // What becomes of an exception that leaves script code called from native code: at the
  // outermost level it is reported and SCRIPT_E_REPORTED is returned; nested in a running
  // script it is kept (DISP_E_EXCEPTION) until the native call that made the call returns:
  // when that call fails passing the exception on, the script that called it gets the very
  // same exception back; otherwise it is reported then (see SettlePendingException). Either
  // way it is reported once. E_ABORT, unreported, when a stop was requested. excepInfo (may be
  // null) receives the description.
  HRESULT HandleException(JSValueRef exception, bool nested, EXCEPINFO* excepInfo);
  // After a native call made by a script returned hr: the kept exception when the call failed
  // passing it on (DISP_E_EXCEPTION with its description or none), taken out, for the script to
  // receive; otherwise the kept exception, if any, is reported, and null is returned.
  JSValueRef SettlePendingException(HRESULT hr, const EXCEPINFO& info);
  // Reports the kept exception, if any: native code that received it will not pass it on.
  void ReportPendingException();
  // Reports an exception through the error sink; nothing when the engine was interrupted or
  // the exception stands for an error another engine reported already. chunkHint names the
  // parsed text when the exception does not.
  void ReportException(JSValueRef exception, int chunkHint = -1);
  // Marks exception as one whose error was reported already (until the outermost call ends).
  void SetReportedMarker(JSValueRef exception);
  void DropPendingException();

  // The one script face of each native object in this engine, while scripts can reach it:
  // null when there is none. key is the object's IUnknown identity, face the bridge's data of
  // the wrapper; DropWrapper is for the wrapper's finalizer.
  JSObjectRef FindWrapper(IUnknown* key) const;
  void AddWrapper(IUnknown* key, JSObjectRef wrapper, const void* face);
  void DropWrapper(IUnknown* key, const void* face);


  // A value kept alive for a dispatch object; any thread may hand it back.
  void Protect(JSValueRef value);
  void Unprotect(JSValueRef value);
  // Unprotects value when the outermost script call ends; any thread, and from finalizers.
  void DeferRelease(JSValueRef value);
  void Register(JSDispatch* dispatch);
  void Unregister(JSDispatch* dispatch);

  // True while the global-scope lookup must not consult the items (own-property probes).
  bool FItemLookupSuspended = false;

 private:
  void DeclareGlobal(const QString& name);
  Engine();
  // Reports the exception of parsed text chunk; E_ABORT when the run was interrupted.
  HRESULT Failure(JSValueRef exception, int chunk);
  // The zero-based position of a syntax error in its line, found by parsing ever longer parts
  // of the line; 0 when the chunk does not reproduce the error.
  int SyntaxErrorPosition(int chunk, int line, const QString& message);
  void ReleaseDeferred();
  void DestroyContext();
  TScriptError ErrorFromException(JSValueRef exception, int chunkHint = -1);
  static bool ShouldTerminate(JSContextRef ctx, void* engine);

  ThreadRef FThread;
  JSContextGroupRef FGroup = nullptr;
  JSGlobalContextRef FContext = nullptr;
  TScriptErrorHandler FSink;
  std::vector<Item> FItems;
  std::vector<QString> FChunks;  // every text parsed, by index; errors name their chunk
  std::vector<int> FWaiting;     // chunks parsed before Start
  bool FStarted = false;
  bool FClosed = false;
  bool FClosePending = false;
  int FDepth = 0;
  std::atomic<bool> FInterrupted{false};
  bool FStopArmed = false;
  bool FHasGlobalMembers = false;  // an item lends its members to the global scope  // StopScript set the watchdog to fire at once
  JSValueRef FPendingException = nullptr;
  QString FPendingDescription;
  JSValueRef FReportedMarker = nullptr;
  // Native identity -> the weak reference to its script face (the engine's thread only).
  struct TWrapper {
    JSWeakRef Weak;
    const void* Face;
  };
  std::unordered_map<IUnknown*, TWrapper> FWrappers;
  std::vector<JSWeakRef> FDeadWeaks;  // released when the script call ends

  std::mutex FReleaseMutex;  // guards the two members below
  std::unordered_set<JSDispatch*> FDispatches;
  std::vector<JSValueRef> FDeferredReleases;
};

}  // namespace pw::js
