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

std::atomic<std::int64_t> gLiveEngines{0};

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

std::int64_t Engine::LiveEngines() { return gLiveEngines.load(); }

Engine::Engine() : FThread(CurrentThreadRef()) {
  ++gLiveEngines;
  FGroup = JSContextGroupCreate();
  FContext = JSGlobalContextCreateInGroup(FGroup, GlobalClass());
  JSObjectSetPrivate(JSContextGetGlobalObject(FContext), this);
  JSContextGroupSetExecutionTimeLimit(FGroup, kInterruptPollSeconds, &Engine::ShouldTerminate,
                                      this);
}

Engine::~Engine() {
  // Only a closed engine loses its last owner off its thread; the host closes before letting go.
  if (FContext) DestroyContext();
  --gLiveEngines;
}

bool Engine::ShouldTerminate(JSContextRef, void* data) {
  auto* engine = static_cast<Engine*>(data);
  // The limit fires once; arming it again turns it into a poll of the interrupt flag.
  JSContextGroupSetExecutionTimeLimit(engine->FGroup, kInterruptPollSeconds,
                                      &Engine::ShouldTerminate, engine);
  return engine->FInterrupted.load();
}

void Engine::SetErrorSink(TScriptErrorHandler sink) { FSink = std::move(sink); }

HRESULT Engine::AddNamedItem(const QString& name, IDispatch* object, std::uint32_t flags) {
  if (FClosed) return E_UNEXPECTED;
  if (name.isEmpty() || !object) return E_INVALIDARG;
  bool wasVisible = false;
  Item* item = nullptr;
  for (Item& existing : FItems) {
    if (existing.Name == name) {
      item = &existing;
      wasVisible = (existing.Flags & kItemIsVisible) != 0;
      break;
    }
  }
  if (!item) {
    FItems.push_back(Item{name, ComPtr<IDispatch>(object), flags});
    item = &FItems.back();
  } else {
    item->Object = ComPtr<IDispatch>(object);
    item->Flags = flags;
  }
  JSObjectRef global = JSContextGetGlobalObject(FContext);
  JSString jsName(name);
  FItemLookupSuspended = true;
  if (flags & kItemIsVisible) {
    JSObjectSetProperty(FContext, global, jsName, WrapNative(*this, object),
                        kJSPropertyAttributeNone, nullptr);
  } else if (wasVisible) {
    JSObjectDeleteProperty(FContext, global, jsName, nullptr);
  }
  FItemLookupSuspended = false;
  return S_OK;
}

HRESULT Engine::ParseScriptText(const QString& text, bool isExpression, Variant* result) {
  if (FClosed) return E_UNEXPECTED;
  int index = static_cast<int>(FChunks.size());
  FChunks.push_back(text);
  if (isExpression) {
    Start();
    if (FClosed) return E_UNEXPECTED;
    Entry entry(*this);
    JSValueRef exception = nullptr;
    JSValueRef value = JSEvaluateScript(FContext, JSString(text), nullptr,
                                        JSString(ChunkURL(index)), 1, &exception);
    if (exception) return Failure(exception, index);
    if (result) *result = FromJS(*this, value);
    return S_OK;
  }
  if (!FStarted) {
    JSValueRef exception = nullptr;
    if (!JSCheckScriptSyntax(FContext, JSString(text), JSString(ChunkURL(index)), 1,
                             &exception)) {
      return Failure(exception, index);
    }
    FWaiting.push_back(index);
    return S_OK;
  }
  Entry entry(*this);
  JSValueRef exception = nullptr;
  JSEvaluateScript(FContext, JSString(text), nullptr, JSString(ChunkURL(index)), 1, &exception);
  return exception ? Failure(exception, index) : S_OK;
}

HRESULT Engine::Start() {
  if (FClosed) return E_UNEXPECTED;
  if (FStarted) return S_OK;
  FStarted = true;
  std::vector<int> waiting;
  waiting.swap(FWaiting);
  HRESULT hr = S_OK;
  Entry entry(*this);
  for (int index : waiting) {
    if (FClosed) break;
    JSValueRef exception = nullptr;
    JSEvaluateScript(FContext, JSString(FChunks[index]), nullptr, JSString(ChunkURL(index)), 1,
                     &exception);
    if (exception) hr = Failure(exception, index);
  }
  return hr;
}

HRESULT Engine::GetScriptDispatch(ComPtr<IDispatch>& out) {
  out.Reset();
  if (FClosed) return E_UNEXPECTED;
  out = ComPtr<IDispatch>(new JSDispatch(shared_from_this(), JSContextGetGlobalObject(FContext)));
  return S_OK;
}

void Engine::Interrupt() { FInterrupted.store(true); }

void Engine::Close() {
  if (FClosed) return;
  FClosed = true;
  FStarted = false;
  FSink = nullptr;
  if (FDepth > 0) {
    FClosePending = true;
    return;
  }
  DestroyContext();
}

void Engine::DestroyContext() {
  if (!FContext) return;
  std::vector<JSValueRef> values;
  {
    std::lock_guard lock(FReleaseMutex);
    for (JSDispatch* dispatch : FDispatches) {
      if (JSValueRef value = dispatch->DetachValue()) values.push_back(value);
    }
    FDispatches.clear();
    values.insert(values.end(), FDeferredReleases.begin(), FDeferredReleases.end());
    FDeferredReleases.clear();
  }
  for (JSValueRef value : values) JSValueUnprotect(FContext, value);
  DropPendingException();
  SetReportedMarker(nullptr);
  FItems.clear();
  FWaiting.clear();
  JSObjectSetPrivate(JSContextGetGlobalObject(FContext), nullptr);
  JSContextGroupClearExecutionTimeLimit(FGroup);
  JSGlobalContextRelease(FContext);
  FContext = nullptr;
  // The group is the last owner of the virtual machine: releasing it frees every object, so
  // native objects held by script values are released now rather than at some later collection.
  JSContextGroupRelease(FGroup);
  FGroup = nullptr;
}

Engine::Entry::Entry(Engine& engine)
    : FEngine(engine.shared_from_this()), FNested(engine.FDepth > 0) {
  ++engine.FDepth;
}

Engine::Entry::~Entry() {
  Engine& engine = *FEngine;
  if (--engine.FDepth > 0) return;
  engine.FInterrupted.store(false);
  if (engine.FContext) {
    engine.DropPendingException();
    engine.SetReportedMarker(nullptr);
    engine.ReleaseDeferred();
  }
  if (engine.FClosePending) {
    engine.FClosePending = false;
    engine.DestroyContext();
  }
}

void Engine::ReleaseDeferred() {
  std::vector<JSValueRef> values;
  {
    std::lock_guard lock(FReleaseMutex);
    values.swap(FDeferredReleases);
  }
  for (JSValueRef value : values) JSValueUnprotect(FContext, value);
}

void Engine::Protect(JSValueRef value) { JSValueProtect(FContext, value); }

void Engine::Unprotect(JSValueRef value) {
  if (FContext) JSValueUnprotect(FContext, value);
}

void Engine::Register(JSDispatch* dispatch) {
  std::lock_guard lock(FReleaseMutex);
  FDispatches.insert(dispatch);
}

void Engine::Unregister(JSDispatch* dispatch) {
  JSValueRef value = nullptr;
  {
    std::lock_guard lock(FReleaseMutex);
    // Not registered any more: the engine was closed and released the value itself.
    if (FDispatches.erase(dispatch) == 0) return;
    value = dispatch->DetachValue();
    if (!value) return;
    if (!FThread->IsCurrent()) {
      FDeferredReleases.push_back(value);
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
  if (FInterrupted.load() && !nested) return E_ABORT;
  if (nested) {
    DropPendingException();
    FPendingException = exception;
    JSValueProtect(FContext, exception);
    return DISP_E_EXCEPTION;
  }
  ReportException(exception);
  return SCRIPT_E_REPORTED;
}

HRESULT Engine::Failure(JSValueRef exception, int chunk) {
  if (FInterrupted.load()) return E_ABORT;
  ReportException(exception, chunk);
  return SCRIPT_E_REPORTED;
}

JSValueRef Engine::TakePendingException() {
  JSValueRef exception = FPendingException;
  if (exception) {
    FPendingException = nullptr;
    // Still referenced from the caller's stack, which the collector scans.
    JSValueUnprotect(FContext, exception);
  }
  return exception;
}

void Engine::DropPendingException() {
  if (FPendingException) {
    JSValueUnprotect(FContext, FPendingException);
    FPendingException = nullptr;
  }
}

void Engine::SetReportedMarker(JSValueRef exception) {
  if (FReportedMarker) JSValueUnprotect(FContext, FReportedMarker);
  FReportedMarker = exception;
  if (exception) JSValueProtect(FContext, exception);
}

void Engine::ReportException(JSValueRef exception, int chunkHint) {
  if (FInterrupted.load() || !exception) return;
  if (FReportedMarker && JSValueIsStrictEqual(FContext, exception, FReportedMarker)) return;
  TScriptError error = ErrorFromException(exception, chunkHint);
  TScriptErrorHandler sink = FSink;
  if (sink) sink(error);
}

TScriptError Engine::ErrorFromException(JSValueRef exception, int chunkHint) {
  TScriptError error;
  JSContextRef ctx = FContext;
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
    if (chunk >= 0 && chunk < static_cast<int>(FChunks.size())) {
      error.SourceLineText = LineOf(FChunks[chunk], error.Line);
    }
  }
  return error;
}

}  // namespace pw::js
