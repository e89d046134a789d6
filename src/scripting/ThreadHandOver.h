// A handle on one thread, through which other threads run work there and wait for it. Objects
// that belong to a thread (every JavaScript value, native objects that say so) keep the handle
// of their thread and send every call from elsewhere through it.
// Thread-safe: every member may be called on any thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QObject;
class QThread;

namespace pw {

class ThreadAnchor;
using ThreadRef = std::shared_ptr<ThreadAnchor>;

// The handle of the calling thread; the same handle for every call on one thread. It stays
// valid after its thread ends, but then refuses hand-overs.
ThreadRef CurrentThreadRef();

class ThreadAnchor : public std::enable_shared_from_this<ThreadAnchor> {
 public:
  ~ThreadAnchor();
  ThreadAnchor(const ThreadAnchor&) = delete;
  ThreadAnchor& operator=(const ThreadAnchor&) = delete;

  // True when called on the thread this handle stands for.
  bool IsCurrent() const;

  // Runs work on this handle's thread and returns when it has run. On that thread itself the
  // work runs at once. From another thread the work waits until the owner serves it: in its
  // event loop, whenever the owner processes events, or, whatever the owner has, while the
  // owner itself waits in Run or calls ServePending. False, without running the work, when the
  // owner thread has ended (or ends before serving it).
  // While it waits, the caller serves the work handed to its own thread, so that a call that
  // comes back to it (a callback into its own scripts) runs instead of deadlocking; a caller
  // with an event loop also goes on processing its other events (not user input). The caller
  // wakes as soon as its work is done. An exception thrown by the work is rethrown here, in the
  // caller's thread.
  bool Run(const std::function<void()>& work);

  // Runs the work other threads have handed to this thread so far; on this thread only. For
  // threads without an event loop that must answer calls while doing something else than
  // waiting in Run.
  void ServePending();

  // The thread's own end: work still queued is dropped (its callers get false) and later
  // hand-overs fail instead of waiting forever.
  void Detach();

 private:
  struct TTask;
  friend ThreadRef CurrentThreadRef();
  ThreadAnchor();
  // Waits, serving this thread's own queue, until task is done; on this thread.
  void WaitFor(TTask& task);
  void Execute(const std::shared_ptr<TTask>& task);
  static void Complete(TTask& task, bool ran);

  QThread* const FThread;
  mutable std::mutex FMutex;  // guards the members below and the Done/Loop of tasks waited for here
  std::condition_variable FWake;  // work arrived for this thread, or work it waits for is done
  std::deque<std::shared_ptr<TTask>> FQueue;
  QObject* FReceiver = nullptr;  // lives in FThread; null once detached
};

// Runs body on thread (at once on that thread itself, or when thread is null: callable
// anywhere) and returns its result; failed when the hand-over failed.
template <class Result, class Body>
Result RunOnThread(const ThreadRef& thread, Result failed, Body body) {
  if (!thread || thread->IsCurrent()) return body();
  Result result = failed;
  if (!thread->Run([&] { result = body(); })) return failed;
  return result;
}

}  // namespace pw
