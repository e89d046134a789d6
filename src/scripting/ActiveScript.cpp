#include "scripting/ActiveScript.h"

#include "scripting/JSEngine.h"

namespace pw {

namespace {

// Runs body on the host's thread; nothing happens when that thread has ended.
template <class Body>
void OnHostThread(const ThreadRef& thread, Body body) {
  if (thread->IsCurrent()) {
    body();
  } else {
    thread->Run(body);
  }
}

// The started script's globals and the identifier of name among them; false when the script
// has not started or has no such name. On the host's thread.
bool FindGlobal(TActiveScript& host, const QString& name, ComPtr<IDispatch>& global, DISPID& id) {
  if (!host.IsStarted()) return false;
  if (FAILED(host.GetScriptDispatch(QString(), global)) || !global) return false;
  return SUCCEEDED(global->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
}

}  // namespace

void TActiveScriptItemList::Put(const QString& name, IUnknown* object, std::uint32_t flags) {
  for (TActiveScriptItem& item : FItems) {
    if (item.Name == name) {
      item.Item = ComPtr<IUnknown>(object);
      item.Flags = flags;
      return;
    }
  }
  FItems.push_back(TActiveScriptItem{name, ComPtr<IUnknown>(object), flags});
}

const TActiveScriptItem* TActiveScriptItemList::Find(const QString& name) const {
  for (const TActiveScriptItem& item : FItems) {
    if (item.Name == name) return &item;
  }
  return nullptr;
}

TActiveScript::TActiveScript() : FThread(CurrentThreadRef()) {}

TActiveScript::~TActiveScript() {
  Interrupt();
  Close();
  FItems.Clear();
}

std::int64_t TActiveScript::LiveEngines() { return js::Engine::LiveEngines(); }

std::shared_ptr<js::Engine> TActiveScript::CurrentEngine() const {
  std::lock_guard lock(FEngineMutex);
  return FEngine;
}

void TActiveScript::ReportError(const TScriptError& error) {
  // Copied first: the handler may replace itself or close the host.
  TScriptErrorHandler handler = OnScriptError;
  if (handler) handler(error);
}

HRESULT TActiveScript::PassItem(js::Engine& engine, const TActiveScriptItem& item) {
  ComPtr<IDispatch> dispatch = item.Item.As<IDispatch>();
  if (!dispatch) return E_NOINTERFACE;
  return engine.AddNamedItem(item.Name, dispatch.Get(), item.Flags);
}

HRESULT TActiveScript::SetLanguage(const QString& language) {
  return RunOnThread(FThread, E_UNEXPECTED, [&]() -> HRESULT {
    if (language.compare(QLatin1String(kJavaScript), Qt::CaseInsensitive) != 0) {
      return CO_E_CLASSSTRING;
    }
    Close();
    QString reason;
    std::shared_ptr<js::Engine> engine = js::Engine::Create(&reason);
    if (!engine) {
      TScriptError error;
      error.Source = QStringLiteral("Error");
      error.Description = QStringLiteral("cannot load the JavaScript engine: ") + reason;
      ReportError(error);
      return SCRIPT_E_REPORTED;
    }
    engine->SetErrorSink([this](const TScriptError& error) { ReportError(error); });
    for (const TActiveScriptItem& item : FItems) PassItem(*engine, item);
    std::lock_guard lock(FEngineMutex);
    FEngine = std::move(engine);
    return S_OK;
  });
}

HRESULT TActiveScript::AddItem(const QString& name, IUnknown* object, bool globalMembers) {
  return RunOnThread(FThread, E_UNEXPECTED, [&]() -> HRESULT {
    if (name.isEmpty() || !object) return E_INVALIDARG;
    std::uint32_t flags = globalMembers ? SCRIPTITEM_GLOBALMEMBERS
                                        : SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE;
    FItems.Put(name, object, flags);
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return S_OK;
    return PassItem(*engine, *FItems.Find(name));
  });
}

void TActiveScript::CopyItems(const TActiveScript& other) {
  if (&other == this) return;
  // The other host's list is read on its own thread.
  TActiveScriptItemList copy;
  OnHostThread(other.FThread, [&] { copy = other.FItems; });
  OnHostThread(FThread, [&] { FItems = std::move(copy); });
}

void TActiveScript::ClearItems() {
  OnHostThread(FThread, [&] { FItems.Clear(); });
}

HRESULT TActiveScript::AddCode(const QString& code) {
  return RunOnThread(FThread, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return E_FAIL;
    return engine->ParseScriptText(code, false, nullptr);
  });
}

HRESULT TActiveScript::Evaluate(const QString& expression, Variant* result) {
  return RunOnThread(FThread, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return E_FAIL;
    return engine->ParseScriptText(expression, true, result);
  });
}

HRESULT TActiveScript::Start() {
  return RunOnThread(FThread, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return E_FAIL;
    return engine->Start();
  });
}

bool TActiveScript::IsStarted() const {
  return RunOnThread(FThread, false, [&] {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    return engine && engine->IsStarted();
  });
}

HRESULT TActiveScript::GetScriptDispatch(const QString& itemName, ComPtr<IDispatch>& dispatch) {
  dispatch.Reset();
  return RunOnThread(FThread, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return E_FAIL;
    if (!itemName.isEmpty() && !FItems.Find(itemName)) return E_INVALIDARG;
    engine->Start();
    return engine->GetScriptDispatch(dispatch);
  });
}

bool TActiveScript::FunctionExists(const QString& name) {
  return RunOnThread(FThread, false, [&] {
    ComPtr<IDispatch> global;
    DISPID id = DISPID_UNKNOWN;
    return FindGlobal(*this, name, global, id);
  });
}

bool TActiveScript::CallFunction(const QString& name, const Variant* args, int lastIndex,
                                 IDispatch* thisObject, Variant* result) {
  return RunOnThread(FThread, false, [&] {
    ComPtr<IDispatch> global;
    DISPID id = DISPID_UNKNOWN;
    if (!FindGlobal(*this, name, global, id)) return false;
    std::size_t count = lastIndex >= 0 && args ? static_cast<std::size_t>(lastIndex) + 1 : 0;
    const HRESULT hr = CallDispatch(global.Get(), id, args, count, thisObject, result);
    // Called while a script runs, the engine keeps the exception for a native caller that
    // might pass it on; this caller only answers false, so the report is made here.
    if (hr == DISP_E_EXCEPTION) {
      if (std::shared_ptr<js::Engine> engine = CurrentEngine()) engine->ReportPendingException();
    }
    return SUCCEEDED(hr);
  });
}

bool TActiveScript::CallFunction(const QString& name, const std::vector<Variant>& args,
                                 IDispatch* thisObject, Variant* result) {
  return CallFunction(name, args.data(), static_cast<int>(args.size()) - 1, thisObject, result);
}

HRESULT TActiveScript::Close() {
  return RunOnThread(FThread, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine;
    {
      std::lock_guard lock(FEngineMutex);
      engine = std::move(FEngine);
      FEngine.reset();
    }
    if (!engine) return E_FAIL;
    engine->Close();
    return S_OK;
  });
}

HRESULT TActiveScript::Interrupt() {
  std::shared_ptr<js::Engine> engine = CurrentEngine();
  if (!engine) return E_FAIL;
  engine->Interrupt();
  return S_OK;
}

}  // namespace pw
