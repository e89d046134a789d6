#include "scripting/JSEngine.h"

#include <cmath>

#include "scripting/JSBridge.h"
#include "scripting/JSDispatch.h"
#include "scripting/JSUtil.h"

namespace pw::js {

namespace {

// How often a running script looks for an interrupt request, in seconds.
constexpr double kInterruptPollSeconds = 0.03;

std::atomic<std::int64_t> gLiveEngines{0};

// By default the engine stops a script by signalling its thread, and the optimised code of a
// function run many times (a hook, a handler called once per page) then misses the stop: the
// loop runs on forever. Polling checks compiled into every loop and call stop them all.
void UsePollingStops() {
  static const bool once = [] {
    jsc_options_set_boolean("usePollingTraps", 1);
    return true;
  }();
  (void)once;
}

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
  // A property of an Error object may still have been set to anything by the script.
  if (!std::isfinite(number) || number < 0 || number > 1e9) return fallback;
  return static_cast<int>(number);
}

// True for an Error object (the engine's own errors and those scripts make with new Error):
// only these carry a place in the script. A thrown plain object's "line" is its own affair.
bool IsErrorObject(JSContextRef ctx, JSValueRef value) {
  JSValueRef constructor = GetProperty(ctx, JSContextGetGlobalObject(ctx), "Error");
  if (!JSValueIsObject(ctx, constructor)) return false;
  JSObjectRef object = JSValueToObject(ctx, constructor, nullptr);
  return JSValueIsInstanceOfConstructor(ctx, value, object, nullptr);
}

}  // namespace

std::shared_ptr<Engine> Engine::Create(QString* error) {
  if (!LoadJavaScriptCore(error)) return nullptr;
  return std::shared_ptr<Engine>(new Engine());
}

std::int64_t Engine::LiveEngines() { return gLiveEngines.load(); }

Engine::Engine() : FThread(CurrentThreadRef()) {
  ++gLiveEngines;
  UsePollingStops();
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

// Declared with var, an item lives in the global scope's own table, which compiled code reads
// directly; a plain property of the global object is looked up through the global's name
// callbacks on every read. Names that are not plain identifiers stay plain properties.
void Engine::DeclareGlobal(const QString& name) {
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return;
  }
  // A reserved word fails to parse and declares nothing.
  JSValueRef exception = nullptr;
  JSEvaluateScript(FContext, JSString(QStringLiteral("var ") + name + u';'), nullptr, nullptr, 1,
                   &exception);
}

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
    FItems.push_back(Item{name, ComPtr<IDispatch>(object), flags, nullptr});
    item = &FItems.back();
  } else {
    item->Object = ComPtr<IDispatch>(object);
    item->Flags = flags;
    item->Face.reset();
  }
  ForgetEngine(*this);  // what the bridge kept may be about the item replaced here
  FHasGlobalMembers = false;
  for (const Item& each : FItems) FHasGlobalMembers = FHasGlobalMembers || (each.Flags & kItemGlobalMembers);
  JSObjectRef global = JSContextGetGlobalObject(FContext);
  JSString jsName(name);
  FItemLookupSuspended = true;
  if (flags & kItemIsVisible) {
    DeclareGlobal(name);
    JSObjectSetProperty(FContext, global, jsName, WrapNative(*this, object),
                        kJSPropertyAttributeNone, nullptr);
  } else if (wasVisible) {
    // A declared global cannot be deleted: it is emptied instead.
    if (!JSObjectDeleteProperty(FContext, global, jsName, nullptr)) {
      JSObjectSetProperty(FContext, global, jsName, JSValueMakeUndefined(FContext),
                          kJSPropertyAttributeNone, nullptr);
    }
  }
  FItemLookupSuspended = false;
  return S_OK;
}

HRESULT Engine::ParseScriptText(const QString& text, bool isExpression, Variant* result) {
  if (FClosed) return E_UNEXPECTED;
  int index = static_cast<int>(FChunks.size());
  FChunks.push_back(text);
  if (isExpression) {
    const HRESULT started = Start();
    if (started == E_ABORT) return started;
    if (FClosed) return E_UNEXPECTED;
    Entry entry(*this);
    if (TakeStopBeforeRun(entry)) return E_ABORT;
    JSValueRef exception = nullptr;
    JSValueRef value = JSEvaluateScript(FContext, JSString(text), nullptr,
                                        JSString(ChunkURL(index)), 1, &exception);
    if (exception) return FinishRun(entry, Failure(exception, index));
    if (result && !StopRequested()) *result = FromJS(*this, value);
    return FinishRun(entry, S_OK);
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
  if (TakeStopBeforeRun(entry)) return E_ABORT;
  JSValueRef exception = nullptr;
  JSEvaluateScript(FContext, JSString(text), nullptr, JSString(ChunkURL(index)), 1, &exception);
  return FinishRun(entry, exception ? Failure(exception, index) : S_OK);
}

HRESULT Engine::Start() {
  if (FClosed) return E_UNEXPECTED;
  if (FStarted) return S_OK;
  FStarted = true;
  std::vector<int> waiting;
  waiting.swap(FWaiting);
  HRESULT hr = S_OK;
  Entry entry(*this);
  if (TakeStopBeforeRun(entry)) return E_ABORT;
  for (int index : waiting) {
    if (StopRequested()) break;
    JSValueRef exception = nullptr;
    JSEvaluateScript(FContext, JSString(FChunks[index]), nullptr, JSString(ChunkURL(index)), 1,
                     &exception);
    if (exception) hr = Failure(exception, index);
  }
  return FinishRun(entry, hr);
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
    // The script that runs now must not go on in an engine nobody can reach any more: the
    // watchdog stops it at its next poll, the bridge when the native call returns.
    FInterrupted.store(true);
    FClosePending = true;
    return;
  }
  DestroyContext();
}

bool Engine::TakeStopBeforeRun(const Entry& entry) {
  return !entry.Nested() && FInterrupted.exchange(false);
}

HRESULT Engine::FinishRun(const Entry& entry, HRESULT hr) {
  if (entry.Nested()) return hr;
  if (FStopArmed && FGroup) {
    FStopArmed = false;
    JSContextGroupSetExecutionTimeLimit(FGroup, kInterruptPollSeconds, &Engine::ShouldTerminate,
                                        this);
    // The stop may have fired after the script had already ended: the engine then keeps the
    // request and would end the next run at its start. An empty run takes it.
    JSEvaluateScript(FContext, JSString("0"), nullptr, nullptr, 1, nullptr);
  }
  const bool stopped = FInterrupted.exchange(false);
  return stopped && SUCCEEDED(hr) ? E_ABORT : hr;
}

JSValueRef Engine::StopScript() {
  // The watchdog may only be armed on this thread; with no time left it stops the script at its
  // next poll (a loop, a call), which no try/catch can hold. Until then the exception below
  // ends the statement that called native code.
  FInterrupted.store(true);
  if (!FStopArmed) {
    FStopArmed = true;
    JSContextGroupSetExecutionTimeLimit(FGroup, 0, &Engine::ShouldTerminate, this);
  }
  JSValueRef text = JSValueMakeString(FContext, JSString("Script stopped"));
  return JSObjectMakeError(FContext, 1, &text, nullptr);
}

void Engine::DestroyContext() {
  if (!FContext) return;
  ForgetEngine(*this);
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
  // The faces' finalizers, run when the group goes, find the list empty.
  for (const auto& [key, entry] : FWrappers) JSWeakRelease(FGroup, entry.Weak);
  FWrappers.clear();
  for (JSWeakRef weak : FDeadWeaks) JSWeakRelease(FGroup, weak);
  FDeadWeaks.clear();
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
  if (engine.FContext) {
    // Native code ignored this exception and no callback took it: nobody else will report it.
    engine.ReportPendingException();
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
  std::vector<JSWeakRef> weaks;
  weaks.swap(FDeadWeaks);
  for (JSWeakRef weak : weaks) JSWeakRelease(FGroup, weak);
}

void Engine::Protect(JSValueRef value) { JSValueProtect(FContext, value); }

void Engine::Unprotect(JSValueRef value) {
  if (FContext) JSValueUnprotect(FContext, value);
}

void Engine::DeferRelease(JSValueRef value) {
  std::lock_guard lock(FReleaseMutex);
  FDeferredReleases.push_back(value);
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
  if (FInterrupted.load()) return E_ABORT;
  if (nested) {
    // A kept exception the native code did not pass on before calling again was swallowed.
    ReportPendingException();
    FPendingException = exception;
    FPendingDescription = excepInfo ? excepInfo->bstrDescription
                                    : ErrorFromException(exception).Description;
    JSValueProtect(FContext, exception);
    return DISP_E_EXCEPTION;
  }
  ReportException(exception);
  return SCRIPT_E_REPORTED;
}

JSValueRef Engine::SettlePendingException(HRESULT hr, const EXCEPINFO& info) {
  if (!FPendingException) return nullptr;
  const bool passedOn = hr == DISP_E_EXCEPTION && (info.bstrDescription.isEmpty() ||
                                                   info.bstrDescription == FPendingDescription);
  if (!passedOn) {
    ReportPendingException();
    return nullptr;
  }
  JSValueRef exception = FPendingException;
  FPendingException = nullptr;
  // Still referenced from the caller's stack, which the collector scans.
  JSValueUnprotect(FContext, exception);
  return exception;
}

void Engine::ReportPendingException() {
  if (!FPendingException) return;
  JSValueRef exception = FPendingException;
  ReportException(exception);
  DropPendingException();
}

HRESULT Engine::Failure(JSValueRef exception, int chunk) {
  if (FInterrupted.load()) return E_ABORT;
  ReportException(exception, chunk);
  return SCRIPT_E_REPORTED;
}

void Engine::DropPendingException() {
  if (FPendingException) {
    JSValueUnprotect(FContext, FPendingException);
    FPendingException = nullptr;
  }
}

JSObjectRef Engine::FindWrapper(IUnknown* key) const {
  auto found = FWrappers.find(key);
  return found == FWrappers.end() ? nullptr : JSWeakGetObject(found->second.Weak);
}

void Engine::AddWrapper(IUnknown* key, JSObjectRef wrapper, const void* face) {
  // Made before the list is touched: making it may run the collector, whose finalizers call
  // DropWrapper.
  JSWeakRef weak = JSWeakCreate(FGroup, wrapper);
  auto [entry, added] = FWrappers.try_emplace(key, TWrapper{weak, face});
  if (!added) {
    // The old face was collected and its finalizer has not run yet.
    JSWeakRelease(FGroup, entry->second.Weak);
    entry->second = TWrapper{weak, face};
  }
}

void Engine::DropWrapper(IUnknown* key, const void* face) {
  auto found = FWrappers.find(key);
  if (found == FWrappers.end() || found->second.Face != face) return;
  // A finalizer may not call into the engine: the weak reference goes with the script call.
  FDeadWeaks.push_back(found->second.Weak);
  FWrappers.erase(found);
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
  const bool isError = IsErrorObject(ctx, exception);
  JSValueRef name = GetProperty(ctx, object, "name");
  JSValueRef message = GetProperty(ctx, object, "message");
  // A native member's exception names the class that raised it (set by the bridge).
  JSValueRef source = isError ? GetProperty(ctx, object, "source") : JSValueMakeUndefined(ctx);
  error.Source = JSValueIsString(ctx, source) ? ValueToQString(ctx, source)
                 : JSValueIsString(ctx, name) ? ValueToQString(ctx, name)
                                              : QStringLiteral("Error");
  error.Description = JSValueIsUndefined(ctx, message) ? ValueToQString(ctx, exception)
                                                       : ValueToQString(ctx, message);
  JSValueRef number = GetProperty(ctx, object, "number");
  if (JSValueIsNumber(ctx, number)) {
    double code = JSValueToNumber(ctx, number, nullptr);
    if (code <= -1 && code >= -2147483648.0) error.SCode = static_cast<int32_t>(code);
  }
  if (!isError) return error;
  int line = IntProperty(ctx, object, "line", 0);
  int column = IntProperty(ctx, object, "column", 0);
  if (line > 0) {
    error.Line = line - 1;
    error.CharPosition = column > 0 ? column - 1 : 0;
    int chunk = ChunkIndexFromURL(ValueToQString(ctx, GetProperty(ctx, object, "sourceURL")));
    if (chunk < 0) chunk = chunkHint;
    if (chunk >= 0 && chunk < static_cast<int>(FChunks.size())) {
      error.SourceLineText = LineOf(FChunks[chunk], error.Line);
      // The parser tells the line of a syntax error but not its column.
      if (column <= 0 && error.Source == QLatin1String("SyntaxError")) {
        error.CharPosition = SyntaxErrorPosition(chunk, error.Line, error.Description);
      }
    }
  }
  return error;
}

int Engine::SyntaxErrorPosition(int chunk, int line, const QString& message) {
  const QString& text = FChunks[chunk];
  qsizetype lineStart = 0;
  for (int i = 0; i < line && lineStart >= 0; ++i) {
    lineStart = text.indexOf(QLatin1Char('\n'), lineStart);
    if (lineStart >= 0) ++lineStart;
  }
  if (lineStart < 0) return 0;
  const int length = static_cast<int>(LineOf(text, line).size());
  // Whether the text up to length characters of the line gives this very error on this line.
  auto reproduces = [&](int count) {
    JSValueRef exception = nullptr;
    if (JSCheckScriptSyntax(FContext, JSString(text.left(lineStart + count)), nullptr, 1,
                            &exception) ||
        !exception || !JSValueIsObject(FContext, exception)) {
      return false;
    }
    JSObjectRef object = JSValueToObject(FContext, exception, nullptr);
    return IntProperty(FContext, object, "line", 0) == line + 1 &&
           ValueToQString(FContext, GetProperty(FContext, object, "message")) == message;
  };
  if (!reproduces(length)) return 0;
  if (message.startsWith(QLatin1String("Unexpected end of"))) return length;
  // The shortest part that reproduces it ends with the offending token.
  int low = 0;
  int high = length;
  while (low < high) {
    const int middle = (low + high) / 2;
    if (reproduces(middle)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  // The message quotes the token ("Unexpected token ';'"); it starts where the part ends less
  // its length.
  const qsizetype open = message.indexOf(QLatin1Char('\''));
  const qsizetype close = open >= 0 ? message.indexOf(QLatin1Char('\''), open + 1) : -1;
  if (close > open + 1) {
    const int token = static_cast<int>(close - open - 1);
    if (low >= token && text.mid(lineStart + low - token, token) == message.mid(open + 1, token)) {
      return low - token;
    }
  }
  return low;
}

}  // namespace pw::js
