// TActiveScript: the host of one JavaScript engine and of the named items its scripts see.
// The items outlive the engine, so SetLanguage can throw the engine away and make a fresh one
// that gets every item again. Owned by its creator (the runtime, a script thread, a synchronised
// call); it holds one counted reference to each item's object and owns the engine.
// A host belongs to the thread that made it: calls from other threads are handed over to that
// thread and wait (ThreadHandOver.h), except Interrupt, which any thread may call.
// Operations return HRESULTs (E_FAIL when they need an engine and there is none); script errors
// are not returned as text but reported to OnScriptError.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "scripting/Dispatch.h"
#include "scripting/ScriptError.h"
#include "scripting/ThreadHandOver.h"

namespace pw {

namespace js {
class Engine;
}

// Item flags as the engine receives them.
inline constexpr std::uint32_t SCRIPTITEM_ISVISIBLE = 0x2;
inline constexpr std::uint32_t SCRIPTITEM_ISSOURCE = 0x4;
inline constexpr std::uint32_t SCRIPTITEM_GLOBALMEMBERS = 0x8;

// SetLanguage with a language this host does not know.
inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);

struct TActiveScriptItem {
  QString Name;
  ComPtr<IUnknown> Item;
  std::uint32_t Flags = 0;  // SCRIPTITEM_GLOBALMEMBERS, or SCRIPTITEM_ISVISIBLE | ISSOURCE
};

// The named items in the order they were added; names compare exactly (case-sensitive).
class TActiveScriptItemList {
 public:
  // Replaces the flags and object of the item called name, or appends a new item.
  void Put(const QString& name, IUnknown* object, std::uint32_t flags);
  const TActiveScriptItem* Find(const QString& name) const;
  void Clear() { FItems.clear(); }
  int Count() const { return static_cast<int>(FItems.size()); }
  const TActiveScriptItem& operator[](int index) const { return FItems[index]; }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  std::vector<TActiveScriptItem> FItems;
};

class TActiveScript {
 public:
  // The one language name the host knows (compared without regard to case).
  static constexpr const char* kJavaScript = "JavaScript";

  TActiveScript();
  // Interrupts and closes the engine, then frees the items.
  virtual ~TActiveScript();
  TActiveScript(const TActiveScript&) = delete;
  TActiveScript& operator=(const TActiveScript&) = delete;

  // A fresh engine that has every item and no code; the old engine is closed first.
  // CO_E_CLASSSTRING for an unknown language, and then nothing changes. When JavaScriptCore
  // cannot be loaded the old engine is gone, none replaces it, and the reason is reported to
  // OnScriptError (SCRIPT_E_REPORTED).
  HRESULT SetLanguage(const QString& language);

  // Adds or replaces the item (a global-members item lends its members to the global scope and
  // is itself invisible; any other item is a global variable) and passes it to the live
  // engine. E_NOINTERFACE, with the item kept, when the object is no dispatch object.
  HRESULT AddItem(const QString& name, IUnknown* object, bool globalMembers);
  // Replaces this host's items by copies of other's, in order.
  void CopyItems(const TActiveScript& other);
  // Empties the item list; the live engine keeps what it was given.
  void ClearItems();
  const TActiveScriptItemList& Items() const { return FItems; }

  // Parses code whose first line is line 0; before Start it waits, afterwards it runs at once.
  HRESULT AddCode(const QString& code);
  // Starts the engine and evaluates an expression; its value lands in *result (may be null).
  HRESULT Evaluate(const QString& expression, Variant* result);
  // Runs the code parsed so far; code parsed later runs at once.
  HRESULT Start();
  bool IsStarted() const;

  // The script's global object (starting the engine first). itemName may be empty; any other
  // name must be an item's (every item shares the one global scope). E_INVALIDARG otherwise.
  HRESULT GetScriptDispatch(const QString& itemName, ComPtr<IDispatch>& dispatch);
  // True when the engine has started and the global scope has that name (a function, a
  // variable, or a member of a global-members item).
  bool FunctionExists(const QString& name);
  // Calls a global function with args[0..lastIndex] (lastIndex -1: none) and, when thisObject
  // is given, that object as `this`; the return value goes to *result (may be null). False
  // when the engine has not started (this never starts it), the name is unknown, or the call
  // failed (a script error is reported to OnScriptError as well).
  bool CallFunction(const QString& name, const Variant* args, int lastIndex,
                    IDispatch* thisObject, Variant* result);
  bool CallFunction(const QString& name, const std::vector<Variant>& args,
                    IDispatch* thisObject = nullptr, Variant* result = nullptr);

  // Ends the engine; the items stay.
  HRESULT Close();
  // Stops the script running on the host's thread: the current call into the engine is
  // abandoned (E_ABORT, false from CallFunction) without an error report, and `try`/`catch`
  // cannot hold it; a script waiting in a native call stops when the call returns. A request
  // made while no script runs applies to the next call into the engine, so a request racing
  // with a script's start is not lost. Closing the engine (Close, SetLanguage) from inside a
  // native call stops the running script the same way. Any thread.
  HRESULT Interrupt();

  // Receives every parse and run-time error of the engine, on the host's thread. May be empty.
  TScriptErrorHandler OnScriptError;

  const ThreadRef& Thread() const { return FThread; }

  // Engines alive in the process (leak checks).
  static std::int64_t LiveEngines();

 private:
  std::shared_ptr<js::Engine> CurrentEngine() const;
  void ReportError(const TScriptError& error);
  HRESULT PassItem(js::Engine& engine, const TActiveScriptItem& item);

  ThreadRef FThread;
  TActiveScriptItemList FItems;
  mutable std::mutex FEngineMutex;  // guards FEngine for Interrupt from other threads
  std::shared_ptr<js::Engine> FEngine;
};

}  // namespace pw
