// TWorkerThread: runs one worker body at a time on a thread of its own, for the upload window's
// test and upload runs. Its start and terminate handlers run on the owner thread (the thread
// that created it, which must run an event loop), and the worker can hand work to the owner
// thread synchronously; once a stop has been requested that hand-over is skipped, so a stopping
// worker never waits for an owner that may be waiting for it.
//
// Owned by the window. Start, Stop, Running and the destructor belong to the owner thread;
// Synchronize and Stopping to the worker. Destroying a running worker stops it and waits for
// its end, handling the owner's events meanwhile; its terminate handler is then not raised.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>

class QThread;

namespace pw {

class TWorkerThread : public QObject {
 public:
  std::function<void()> OnStart;
  std::function<void(TWorkerThread&)> OnExecute;
  std::function<void()> OnTerminate;

  TWorkerThread() = default;
  ~TWorkerThread() override;

  // Raises OnStart, then runs OnExecute on a new thread; nothing when a worker runs already.
  void Start();
  // Asks the worker to stop; the body tests Stopping between steps.
  void Stop() { FStop = true; }
  bool Running() const { return FThread != nullptr; }
  bool Stopping() const { return FStop; }

  // Runs call on the owner thread and waits for it. False, without running it, once stopping.
  bool Synchronize(const std::function<void()>& call);

 private:
  void Finish();

  QThread* FThread = nullptr;
  std::atomic<bool> FStop = false;
};

}  // namespace pw
