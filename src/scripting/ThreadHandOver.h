// A handle on one thread's event loop, through which other threads run work there and wait for
// it. Objects that belong to a thread (every JavaScript value, native objects that say so) keep
// the handle of their thread and send every call from elsewhere through it.
#pragma once

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

class ThreadAnchor {
 public:
  ~ThreadAnchor();
  ThreadAnchor(const ThreadAnchor&) = delete;
  ThreadAnchor& operator=(const ThreadAnchor&) = delete;

  // True when called on the thread this handle stands for.
  bool IsCurrent() const;

  // Runs work on this handle's thread and returns when it has run. On that thread itself the
  // work runs at once. From another thread the work waits in the owner's event loop, so the
  // owner must be processing events (its loop, QCoreApplication::processEvents) or the caller
  // blocks until it does. False, without running the work, when the owner thread has ended or
  // dropped the request unprocessed (its event loop ended first). While it waits, a caller that
  // has an event loop of its own goes on processing its events (not user input), so that work
  // handed back to it meanwhile runs instead of deadlocking. An exception thrown by the work is
  // rethrown here, in the caller's thread.
  bool Run(const std::function<void()>& work);

  // The thread's own end: later hand-overs fail instead of waiting forever.
  void Detach();

 private:
  friend ThreadRef CurrentThreadRef();
  ThreadAnchor();

  mutable std::mutex FMutex;
  QThread* FThread = nullptr;
  QObject* FReceiver = nullptr;  // lives in FThread; deleted by Detach on that thread
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
