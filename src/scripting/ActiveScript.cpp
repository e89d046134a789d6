#include "scripting/ActiveScript.h"

#include "scripting/JSEngine.h"

namespace pw {

namespace {

// Runs body on the host's thread; failed is the answer when that thread has ended.
template <class Result, class Body>
Result OnHostThread(const ThreadRef& thread, Result failed, Body body) {
  if (thread->IsCurrent()) return body();
  Result result = failed;
  if (!thread->Run([&] { result = body(); })) return failed;
  return result;
}

template <class Body>
void OnHostThread(const ThreadRef& thread, Body body) {
  if (thread->IsCurrent()) {
    body();
  } else {
    thread->Run(body);
  }
}

}  // namespace

void TActiveScriptItemList::Put(const QString& name, IUnknown* object, std::uint32_t flags) {
  for (TActiveScriptItem& item : items_) {
    if (item.Name == name) {
      item.Item = ComPtr<IUnknown>(object);
      item.Flags = flags;
      return;
    }
  }
  items_.push_back(TActiveScriptItem{name, ComPtr<IUnknown>(object), flags});
}

const TActiveScriptItem* TActiveScriptItemList::Find(const QString& name) const {
  for (const TActiveScriptItem& item : items_) {
    if (item.Name == name) return &item;
  }
  return nullptr;
}

TActiveScript::TActiveScript() : thread_(CurrentThreadRef()) {}

TActiveScript::~TActiveScript() {
  Interrupt();
  Close();
  items_.Clear();
}

std::int64_t TActiveScript::LiveEngines() { return js::Engine::LiveEngines(); }

std::shared_ptr<js::Engine> TActiveScript::CurrentEngine() const {
  std::lock_guard lock(engineMutex_);
  return engine_;
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
  return OnHostThread(thread_, E_UNEXPECTED, [&]() -> HRESULT {
    if (language.compare(QLatin1String(kJavaScript), Qt::CaseInsensitive) != 0) {
      return CO_E_CLASSSTRING;
    }
    Close();
    std::shared_ptr<js::Engine> engine = js::Engine::Create();
    engine->SetErrorSink([this](const TScriptError& error) { ReportError(error); });
    for (const TActiveScriptItem& item : items_) PassItem(*engine, item);
    std::lock_guard lock(engineMutex_);
    engine_ = std::move(engine);
    return S_OK;
  });
}

HRESULT TActiveScript::AddItem(const QString& name, IUnknown* object, bool globalMembers) {
  return OnHostThread(thread_, E_UNEXPECTED, [&]() -> HRESULT {
    if (name.isEmpty() || !object) return E_INVALIDARG;
    std::uint32_t flags = globalMembers ? SCRIPTITEM_GLOBALMEMBERS
                                        : SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE;
    items_.Put(name, object, flags);
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return S_OK;
    return PassItem(*engine, *items_.Find(name));
  });
}

void TActiveScript::CopyItems(const TActiveScript& other) {
  if (&other == this) return;
  // The other host's list is read on its own thread.
  TActiveScriptItemList copy;
  OnHostThread(other.thread_, [&] { copy = other.items_; });
  OnHostThread(thread_, [&] { items_ = std::move(copy); });
}

void TActiveScript::ClearItems() {
  OnHostThread(thread_, [&] { items_.Clear(); });
}

HRESULT TActiveScript::AddCode(const QString& code) {
  return OnHostThread(thread_, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return E_FAIL;
    return engine->ParseScriptText(code, false, nullptr);
  });
}

HRESULT TActiveScript::Evaluate(const QString& expression, Variant* result) {
  return OnHostThread(thread_, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return E_FAIL;
    return engine->ParseScriptText(expression, true, result);
  });
}

HRESULT TActiveScript::Start() {
  return OnHostThread(thread_, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return E_FAIL;
    return engine->Start();
  });
}

bool TActiveScript::IsStarted() const {
  return OnHostThread(thread_, false, [&] {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    return engine && engine->IsStarted();
  });
}

HRESULT TActiveScript::GetScriptDispatch(const QString& itemName, ComPtr<IDispatch>& dispatch) {
  dispatch.Reset();
  return OnHostThread(thread_, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine = CurrentEngine();
    if (!engine) return E_FAIL;
    if (!itemName.isEmpty() && !items_.Find(itemName)) return E_INVALIDARG;
    engine->Start();
    return engine->GetScriptDispatch(dispatch);
  });
}

bool TActiveScript::FunctionExists(const QString& name) {
  return OnHostThread(thread_, false, [&] {
    if (!IsStarted()) return false;
    ComPtr<IDispatch> global;
    if (FAILED(GetScriptDispatch(QString(), global)) || !global) return false;
    DISPID id = DISPID_UNKNOWN;
    return SUCCEEDED(global->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
  });
}

bool TActiveScript::CallFunction(const QString& name, const Variant* args, int lastIndex,
                                 IDispatch* thisObject, Variant* result) {
  return OnHostThread(thread_, false, [&] {
    if (!IsStarted()) return false;
    ComPtr<IDispatch> global;
    if (FAILED(GetScriptDispatch(QString(), global)) || !global) return false;
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(global->GetIDsOfNames(IID_NULL, &name, 1, 0, &id))) return false;
    std::size_t count = lastIndex >= 0 && args ? static_cast<std::size_t>(lastIndex) + 1 : 0;
    return SUCCEEDED(CallDispatch(global.Get(), id, args, count, thisObject, result));
  });
}

bool TActiveScript::CallFunction(const QString& name, const std::vector<Variant>& args,
                                 IDispatch* thisObject, Variant* result) {
  return CallFunction(name, args.data(), static_cast<int>(args.size()) - 1, thisObject, result);
}

HRESULT TActiveScript::Close() {
  return OnHostThread(thread_, E_UNEXPECTED, [&]() -> HRESULT {
    std::shared_ptr<js::Engine> engine;
    {
      std::lock_guard lock(engineMutex_);
      engine = std::move(engine_);
      engine_.reset();
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
