#include "scripting/JSEngine.h"

#include <cmath>

#include "scripting/JSBridge.h"
#include "scripting/JSDispatch.h"
#include "scripting/JSUtil.h"

// The watchdog of JavaScriptCore: exported by the library, missing from its public headers.
// The callback runs on the script's thread once the limit has passed; true ends the script.
extern "C" {
typedef bool (*JSShouldTerminateCallback)(JSContextRef, void*);
void JSContextGroupSetExecutionTimeLimit(JSContextGroupRef, double limit,
                                         JSShouldTerminateCallback, void* context);
void JSContextGroupClearExecutionTimeLimit(JSContextGroupRef);
}

namespace pw::js {

namespace {

// How often a running script looks for an interrupt request, in seconds.
constexpr double kInterruptPollSeconds = 0.03;

std::atomic<std::int64_t> g_liveEngines{0};

QString ChunkURL(int index) { return QStringLiteral("code") + QString::number(index); }

int ChunkIndexFromURL(const QString& url) {
  if (!url.startsWith(QLatin1String("code"))) return -1;
  bool ok = false;
  int index = url.mid(4).toInt(&ok);
  return ok ? index : -1;
}

QString LineOf(const QString& text, int line) {
  if (line < 0) return QString();
  qsizetype start = 0;
  for (int i = 0; i < line; ++i) {
    start = text.indexOf(QLatin1Char('\n'), start);
    if (start < 0) return QString();
    ++start;
  }
  qsizetype end = text.indexOf(QLatin1Char('\n'), start);
  QString result = text.mid(start, end < 0 ? -1 : end - start);
  if (result.endsWith(QLatin1Char('\r'))) result.chop(1);
  return result;
}

// A JS number property as an int; fallback when it is missing or not a finite number.
int IntProperty(JSContextRef ctx, JSObjectRef object, const char* name, int fallback) {
  JSValueRef value = GetProperty(ctx, object, name);
  if (!JSValueIsNumber(ctx, value)) return fallback;
  double number = JSValueToNumber(ctx, value, nullptr);
  // Scripts may throw any object; a "line" of theirs must not overflow the cast.
  if (!std::isfinite(number) || number < 0 || number > 1e9) return fallback;
  return static_cast<int>(number);
}

}  // namespace

std::shared_ptr<Engine> Engine::Create() { return std::shared_ptr<Engine>(new Engine()); }

std::int64_t Engine::LiveEngines() { return g_liveEngines.load(); }

Engine::Engine() : thread_(CurrentThreadRef()) {
  ++g_liveEngines;
  group_ = JSContextGroupCreate();
  context_ = JSGlobalContextCreateInGroup(group_, GlobalClass());
  JSObjectSetPrivate(JSContextGetGlobalObject(context_), this);
  JSContextGroupSetExecutionTimeLimit(group_, kInterruptPollSeconds, &Engine::ShouldTerminate,
                                      this);
}

Engine::~Engine() {
  // Only a closed engine loses its last owner off its thread; the host closes before letting go.
  if (context_) DestroyContext();
  --g_liveEngines;
}

bool Engine::ShouldTerminate(JSContextRef, void* data) {
  auto* engine = static_cast<Engine*>(data);
  // The limit fires once; arming it again turns it into a poll of the interrupt flag.
  JSContextGroupSetExecutionTimeLimit(engine->group_, kInterruptPollSeconds,
                                      &Engine::ShouldTerminate, engine);
  return engine->interrupted_.load();
}

void Engine::SetErrorSink(TScriptErrorHandler sink) { sink_ = std::move(sink); }

HRESULT Engine::AddNamedItem(const QString& name, IDispatch* object, std::uint32_t flags) {
  if (closed_) return E_UNEXPECTED;
  if (name.isEmpty() || !object) return E_INVALIDARG;
  bool wasVisible = false;
  Item* item = nullptr;
  for (Item& existing : items_) {
    if (existing.name == name) {
      item = &existing;
      wasVisible = (existing.flags & kItemIsVisible) != 0;
      break;
    }
  }
  if (!item) {
    items_.push_back(Item{name, ComPtr<IDispatch>(object), flags});
    item = &items_.back();
  } else {
    item->object = ComPtr<IDispatch>(object);
    item->flags = flags;
  }
  JSObjectRef global = JSContextGetGlobalObject(context_);
  JSString jsName(name);
  itemLookupSuspended = true;
  if (flags & kItemIsVisible) {
    JSObjectSetProperty(context_, global, jsName, WrapNative(*this, object),
                        kJSPropertyAttributeNone, nullptr);
  } else if (wasVisible) {
    JSObjectDeleteProperty(context_, global, jsName, nullptr);
  }
  itemLookupSuspended = false;
  return S_OK;
}

HRESULT Engine::ParseScriptText(const QString& text, bool isExpression, Variant* result) {
  if (closed_) return E_UNEXPECTED;
  int index = static_cast<int>(chunks_.size());
  chunks_.push_back(text);
  if (isExpression) {
    Start();
    if (closed_) return E_UNEXPECTED;
    Entry entry(*this);
    JSValueRef exception = nullptr;
    JSValueRef value = JSEvaluateScript(context_, JSString(text), nullptr,
                                        JSString(ChunkURL(index)), 1, &exception);
    if (exception) return Failure(exception, index);
    if (result) *result = FromJS(*this, value);
    return S_OK;
  }
  if (!started_) {
    JSValueRef exception = nullptr;
    if (!JSCheckScriptSyntax(context_, JSString(text), JSString(ChunkURL(index)), 1,
                             &exception)) {
      return Failure(exception, index);
    }
    waiting_.push_back(index);
    return S_OK;
  }
  Entry entry(*this);
  JSValueRef exception = nullptr;
  JSEvaluateScript(context_, JSString(text), nullptr, JSString(ChunkURL(index)), 1, &exception);
  return exception ? Failure(exception, index) : S_OK;
}

HRESULT Engine::Start() {
  if (closed_) return E_UNEXPECTED;
  if (started_) return S_OK;
  started_ = true;
  std::vector<int> waiting;
  waiting.swap(waiting_);
  HRESULT hr = S_OK;
  Entry entry(*this);
  for (int index : waiting) {
    if (closed_) break;
    JSValueRef exception = nullptr;
    JSEvaluateScript(context_, JSString(chunks_[index]), nullptr, JSString(ChunkURL(index)), 1,
                     &exception);
    if (exception) hr = Failure(exception, index);
  }
  return hr;
}

HRESULT Engine::GetScriptDispatch(ComPtr<IDispatch>& out) {
  out.Reset();
  if (closed_) return E_UNEXPECTED;
  out = ComPtr<IDispatch>(new JSDispatch(shared_from_this(), JSContextGetGlobalObject(context_)));
  return S_OK;
}

void Engine::Interrupt() { interrupted_.store(true); }

void Engine::Close() {
  if (closed_) return;
  closed_ = true;
  started_ = false;
  sink_ = nullptr;
  if (depth_ > 0) {
    closePending_ = true;
    return;
  }
  DestroyContext();
}

void Engine::DestroyContext() {
  if (!context_) return;
  std::vector<JSValueRef> values;
  {
    std::lock_guard lock(releaseMutex_);
    for (JSDispatch* dispatch : dispatches_) {
      if (JSValueRef value = dispatch->DetachValue()) values.push_back(value);
    }
    dispatches_.clear();
    values.insert(values.end(), deferredReleases_.begin(), deferredReleases_.end());
    deferredReleases_.clear();
  }
  for (JSValueRef value : values) JSValueUnprotect(context_, value);
  DropPendingException();
  SetReportedMarker(nullptr);
  items_.clear();
  waiting_.clear();
  JSObjectSetPrivate(JSContextGetGlobalObject(context_), nullptr);
  JSContextGroupClearExecutionTimeLimit(group_);
  JSGlobalContextRelease(context_);
  context_ = nullptr;
  // The group is the last owner of the virtual machine: releasing it frees every object, so
  // native objects held by script values are released now rather than at some later collection.
  JSContextGroupRelease(group_);
  group_ = nullptr;
}

Engine::Entry::Entry(Engine& engine)
    : engine_(engine.shared_from_this()), nested_(engine.depth_ > 0) {
  ++engine.depth_;
}

Engine::Entry::~Entry() {
  Engine& engine = *engine_;
  if (--engine.depth_ > 0) return;
  engine.interrupted_.store(false);
  if (engine.context_) {
    engine.DropPendingException();
    engine.SetReportedMarker(nullptr);
    engine.ReleaseDeferred();
  }
  if (engine.closePending_) {
    engine.closePending_ = false;
    engine.DestroyContext();
  }
}

void Engine::ReleaseDeferred() {
  std::vector<JSValueRef> values;
  {
    std::lock_guard lock(releaseMutex_);
    values.swap(deferredReleases_);
  }
  for (JSValueRef value : values) JSValueUnprotect(context_, value);
}

void Engine::Protect(JSValueRef value) { JSValueProtect(context_, value); }

void Engine::Unprotect(JSValueRef value) {
  if (context_) JSValueUnprotect(context_, value);
}

void Engine::Register(JSDispatch* dispatch) {
  std::lock_guard lock(releaseMutex_);
  dispatches_.insert(dispatch);
}

void Engine::Unregister(JSDispatch* dispatch) {
  JSValueRef value = nullptr;
  {
    std::lock_guard lock(releaseMutex_);
    // Not registered any more: the engine was closed and released the value itself.
    if (dispatches_.erase(dispatch) == 0) return;
    value = dispatch->DetachValue();
    if (!value) return;
    if (!thread_->IsCurrent()) {
      deferredReleases_.push_back(value);
      return;
    }
  }
  Unprotect(value);
}

HRESULT Engine::HandleException(JSValueRef exception, bool nested, EXCEPINFO* excepInfo) {
  if (excepInfo) {
    excepInfo->Clear();
    TScriptError error = ErrorFromException(exception);
    excepInfo->bstrSource = error.Source;
    excepInfo->bstrDescription = error.Description;
    excepInfo->scode = error.SCode;
  }
  if (interrupted_.load() && !nested) return E_ABORT;
  if (nested) {
    DropPendingException();
    pendingException_ = exception;
    JSValueProtect(context_, exception);
    return DISP_E_EXCEPTION;
  }
  ReportException(exception);
  return SCRIPT_E_REPORTED;
}

HRESULT Engine::Failure(JSValueRef exception, int chunk) {
  if (interrupted_.load()) return E_ABORT;
  ReportException(exception, chunk);
  return SCRIPT_E_REPORTED;
}

JSValueRef Engine::TakePendingException() {
  JSValueRef exception = pendingException_;
  if (exception) {
    pendingException_ = nullptr;
    // Still referenced from the caller's stack, which the collector scans.
    JSValueUnprotect(context_, exception);
  }
  return exception;
}

void Engine::DropPendingException() {
  if (pendingException_) {
    JSValueUnprotect(context_, pendingException_);
    pendingException_ = nullptr;
  }
}

void Engine::SetReportedMarker(JSValueRef exception) {
  if (reportedMarker_) JSValueUnprotect(context_, reportedMarker_);
  reportedMarker_ = exception;
  if (exception) JSValueProtect(context_, exception);
}

void Engine::ReportException(JSValueRef exception, int chunkHint) {
  if (interrupted_.load() || !exception) return;
  if (reportedMarker_ && JSValueIsStrictEqual(context_, exception, reportedMarker_)) return;
  TScriptError error = ErrorFromException(exception, chunkHint);
  TScriptErrorHandler sink = sink_;
  if (sink) sink(error);
}

TScriptError Engine::ErrorFromException(JSValueRef exception, int chunkHint) {
  TScriptError error;
  JSContextRef ctx = context_;
  if (!JSValueIsObject(ctx, exception)) {
    error.Source = QStringLiteral("Error");
    error.Description = ValueToQString(ctx, exception);
    return error;
  }
  JSObjectRef object = JSValueToObject(ctx, exception, nullptr);
  JSValueRef name = GetProperty(ctx, object, "name");
  JSValueRef message = GetProperty(ctx, object, "message");
  error.Source = JSValueIsString(ctx, name) ? ValueToQString(ctx, name) : QStringLiteral("Error");
  error.Description = JSValueIsUndefined(ctx, message) ? ValueToQString(ctx, exception)
                                                       : ValueToQString(ctx, message);
  JSValueRef number = GetProperty(ctx, object, "number");
  if (JSValueIsNumber(ctx, number)) {
    double code = JSValueToNumber(ctx, number, nullptr);
    if (code <= -1 && code >= -2147483648.0) error.SCode = static_cast<int32_t>(code);
  }
  int line = IntProperty(ctx, object, "line", 0);
  int column = IntProperty(ctx, object, "column", 0);
  if (line > 0) {
    error.Line = line - 1;
    error.CharPosition = column > 0 ? column - 1 : 0;
    int chunk = ChunkIndexFromURL(ValueToQString(ctx, GetProperty(ctx, object, "sourceURL")));
    if (chunk < 0) chunk = chunkHint;
    if (chunk >= 0 && chunk < static_cast<int>(chunks_.size())) {
      error.SourceLineText = LineOf(chunks_[chunk], error.Line);
    }
  }
  return error;
}

}  // namespace pw::js
