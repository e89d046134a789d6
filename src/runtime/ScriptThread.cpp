#include "runtime/ScriptThread.h"

#include <QMetaObject>
#include <QThread>

#include "runtime/ScriptRuntime.h"

namespace pw {

PW_AUTO_MEMBERS(TScriptThread,
    AutoMethod(1, "Synchronize", &TScriptThread::Synchronize),
    AutoMethod(2, "Terminate", &TScriptThread::Terminate),
    AutoGetter(3, "Result", &TScriptThread::Result),
    AutoGetter(4, "IsTerminated", &TScriptThread::IsTerminated))

namespace {

const QString& JavaScript() {
  static const QString name = QString::fromLatin1(TActiveScript::kJavaScript);
  return name;
}

}  // namespace

TScriptThread::TFunctionSource TScriptThread::SplitFunctionSource(const QString& text) {
  static const QLatin1String kFunction("function");
  if (text.left(kFunction.size()).toLower() != kFunction) return {};
  qsizetype pos = kFunction.size();
  while (pos < text.size() && text[pos].isSpace()) ++pos;
  qsizetype paren = text.indexOf(QLatin1Char('('), pos);
  if (paren < 0) paren = text.size();
  // Spaces between the name and its parenthesis are no part of the name.
  const QString name = text.mid(pos, paren - pos).trimmed();
  if (name.isEmpty()) return {QStringLiteral("main"), QStringLiteral("function main") + text.mid(paren)};
  return {name, text};
}

TScriptThread::TScriptThread(TScriptRuntime& runtime, ComPtr<IDispatch> onTerminate)
    : FRuntime(runtime),
      FController(MakeAutoObject<TAutoController>(this)),
      FVariables(MakeAutoObject<TDictionaryObject>()),
      FOnTerminate(std::move(onTerminate)) {
  FController->SetDynamicProvider(FVariables.Get());
  // The runtime's items are read on its own thread; the worker gets copies of the list.
  RunOnThread(runtime.Thread(), false, [&] {
    FItems.assign(runtime.Items().begin(), runtime.Items().end());
    return true;
  });
}

TScriptThread::~TScriptThread() {
  FController->Detach();
  FController->SetDynamicProvider(nullptr);
}

bool TScriptThread::Prepare(IDispatch* body, IDispatch* onCreate, QString* error) {
  Variant source;
  if (SUCCEEDED(GetDefaultValue(body, &source)) && source.Type() == VT_BSTR) {
    FFunction = SplitFunctionSource(source.StringValue());
  }
  if (!onCreate) return true;
  // Called with an exception record, so that a failure can pass the function's own message on.
  Variant self = Variant::FromDispatch(FController.Get());
  DISPID thisId = DISPID_THIS;
  DISPPARAMS params;
  params.rgvarg = &self;
  params.rgdispidNamedArgs = &thisId;
  params.cArgs = 1;
  params.cNamedArgs = 1;
  EXCEPINFO info;
  if (SUCCEEDED(onCreate->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &info, nullptr))) {
    return true;
  }
  if (error) *error = info.bstrDescription;
  return false;
}

void TScriptThread::Start() {
  FWorker.reset(QThread::create([this] { RunBody(); }));
  FWorker->start();
}

void TScriptThread::Interrupt() {
  FInterrupted.store(true);
  std::lock_guard lock(FMutex);
  if (FHost) FHost->Interrupt();
}

void TScriptThread::ReportError(const TScriptError& error) { FRuntime.ReportFromAnyThread(error); }

void TScriptThread::RunBody() {
  {
    TActiveScript host;
    host.OnScriptError = [this](const TScriptError& error) { ReportError(error); };
    for (const TActiveScriptItem& item : FItems) {
      host.AddItem(item.Name, item.Item.Get(), item.Flags == SCRIPTITEM_GLOBALMEMBERS);
    }
    if (!FFunction.Name.isEmpty() && SUCCEEDED(host.SetLanguage(JavaScript()))) {
      {
        // A stop asked for before the engine existed applies to its first call.
        std::lock_guard lock(FMutex);
        FHost = &host;
        if (FInterrupted.load()) host.Interrupt();
      }
      AddHostShims(host);
      host.AddCode(FFunction.Source);
      host.Start();
      Variant result;
      if (host.CallFunction(FFunction.Name, nullptr, -1, FController.Get(), &result)) {
        std::lock_guard lock(FMutex);
        FResult = std::move(result);
      }
      std::lock_guard lock(FMutex);
      FHost = nullptr;
    }
    host.Close();
  }
  FItems.clear();
  QMetaObject::invokeMethod(FRuntime.MainContext(), [this] { Finish(); }, Qt::QueuedConnection);
}

void TScriptThread::Finish() {
  FWorker->wait();
  if (!FTerminated.load() && FOnTerminate) {
    CallDispatch(FOnTerminate.Get(), DISPID_VALUE, nullptr, 0, FController.Get(), nullptr);
  }
  FRuntime.ThreadEnded(this);
}

Variant TScriptThread::Result() {
  std::lock_guard lock(FMutex);
  return FResult;
}

Variant TScriptThread::Synchronize(ComPtr<IDispatch> function) {
  Variant source;
  if (!function || FAILED(GetDefaultValue(function.Get(), &source)) || source.Type() != VT_BSTR) {
    throw EAutoObjectError(QStringLiteral("Synchronize needs a function"));
  }
  Variant result;
  // The function is made again from its source in a short-lived engine on the main thread,
  // where it sees the main script's globals through "caller".
  const bool ran = FRuntime.Thread()->Run([&] {
    TActiveScript host;
    host.OnScriptError = FRuntime.OnScriptError;
    if (FAILED(host.SetLanguage(JavaScript()))) return;
    AddHostShims(host);
    ComPtr<IDispatch> global;
    if (SUCCEEDED(FRuntime.GetScriptDispatch(QString(), global)) && global) {
      host.AddItem(QStringLiteral("caller"), global.Get(), true);
    }
    host.AddCode(QStringLiteral("var __proc=") + source.StringValue());
    Variant proc;
    if (SUCCEEDED(host.Evaluate(QStringLiteral("__proc"), &proc)) &&
        proc.Type() == VT_DISPATCH && proc.DispatchValue()) {
      CallDispatch(proc.DispatchValue(), DISPID_VALUE, nullptr, 0, FController.Get(), &result);
    }
    host.Close();
  });
  if (!ran) throw EAutoObjectError(QStringLiteral("Synchronize: the main thread is no longer running"));
  return result;
}

}  // namespace pw
