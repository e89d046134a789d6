// TScriptThread: one script function run on a worker thread in a script engine of its own,
// started by the runtime's CreateThread. Scripts see it as the `this` of the thread's
// functions: Synchronize runs a function on the main thread, Terminate and IsTerminated are the
// polite stop, Result is the body's return value, and any other name is a free-form variable
// (a dictionary), which is how the creating script, the body and the callbacks share data.
//
// Owned by its runtime's thread list: it frees itself on the runtime's (main) thread after its
// body has returned and its on-terminate function (skipped for a terminated thread) has run.
// Its script face is free-threaded: the flag and the result are atomic or locked, the variables
// dictionary locks itself, and Synchronize hands its work to the main thread.
#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "scripting/ActiveScript.h"
#include "scripting/AutoObject.h"
#include "scripting/objects/DictionaryObject.h"

class QThread;

namespace pw {

class TScriptRuntime;

class TScriptThread : public TAutoTarget {
  PW_AUTO_CLASS(TScriptThread, TAutoTarget)

 public:
  // The name and source a body function runs under in the thread's engine: an anonymous
  // function is named "main"; a text that is not a function gives two empty texts.
  struct TFunctionSource {
    QString Name;
    QString Source;
  };
  static TFunctionSource SplitFunctionSource(const QString& text);

  // --- Script members.
  Variant Synchronize(ComPtr<IDispatch> function);
  void Terminate() { FTerminated.store(true); }
  Variant Result();
  bool IsTerminated() const { return FTerminated.load(); }

  ThreadRef OwnerThread() const override { return nullptr; }
  IDispatchEx* Dispatch() const { return FController.Get(); }

 private:
  friend class TScriptRuntime;

  // On the creating thread: the face, the variables, a copy of the runtime's items and its
  // error handler.
  TScriptThread(TScriptRuntime& runtime, ComPtr<IDispatch> onTerminate);
  ~TScriptThread() override;

  // Reads and splits the body's source, then calls onCreate (may be null) with this thread as
  // `this`, on the calling thread. False when onCreate failed, with its exception's message.
  bool Prepare(IDispatch* body, IDispatch* onCreate, QString* error);
  void Start();
  // Stops the body's script at once (used when the runtime shuts down). Any thread.
  void Interrupt();

  void RunBody();     // on the worker
  void Finish();      // on the runtime's thread, after the body
  void ReportError(const TScriptError& error);

  TScriptRuntime& FRuntime;
  ComPtr<TAutoController> FController;
  ComPtr<TDictionaryObject> FVariables;
  ComPtr<IDispatch> FOnTerminate;
  std::vector<TActiveScriptItem> FItems;
  TFunctionSource FFunction;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FInterrupted{false};
  std::mutex FMutex;  // guards the two members below
  Variant FResult;
  TActiveScript* FHost = nullptr;  // the worker's host while the body runs
  std::unique_ptr<QThread> FWorker;
};

}  // namespace pw
