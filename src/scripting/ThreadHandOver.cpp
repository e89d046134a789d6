#include "scripting/ThreadHandOver.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <exception>

namespace pw {

namespace {

// Ends the calling thread's handle when the thread ends, on that thread.
struct ThreadAnchorHolder {
  ThreadRef Ref;
  ~ThreadAnchorHolder() {
    if (Ref) Ref->Detach();
  }
};

}  // namespace

// One piece of work handed to another thread. Done and Loop are guarded by the waiter's mutex.
struct ThreadAnchor::TTask {
  const std::function<void()>* Work = nullptr;  // the caller's, alive until Done
  ThreadRef Waiter;
  bool Done = false;
  bool Ran = false;
  std::exception_ptr Error;     // what the work threw, rethrown to the caller
  QEventLoop* Loop = nullptr;   // the waiter's loop while it waits in one
};

ThreadRef CurrentThreadRef() {
  thread_local ThreadAnchorHolder holder;
  if (!holder.Ref) {
    holder.Ref = ThreadRef(new ThreadAnchor());
  }
  return holder.Ref;
}

ThreadAnchor::ThreadAnchor() : FThread(QThread::currentThread()), FReceiver(new QObject()) {}

ThreadAnchor::~ThreadAnchor() = default;

bool ThreadAnchor::IsCurrent() const { return FThread == QThread::currentThread(); }

void ThreadAnchor::Detach() {
  QObject* receiver = nullptr;
  std::deque<std::shared_ptr<TTask>> dropped;
  {
    std::lock_guard lock(FMutex);
    receiver = FReceiver;
    FReceiver = nullptr;
    dropped.swap(FQueue);
  }
  for (const auto& task : dropped) Complete(*task, false);
  delete receiver;
}

bool ThreadAnchor::Run(const std::function<void()>& work) {
  if (IsCurrent()) {
    work();
    return true;
  }
  TTask task;
  task.Work = &work;
  task.Waiter = CurrentThreadRef();
  // The queue shares the task; the wait below keeps it alive until it is done.
  auto shared = std::shared_ptr<TTask>(&task, [](TTask*) {});
  {
    std::lock_guard lock(FMutex);
    if (!FReceiver) return false;
    FQueue.push_back(shared);
    // An owner in its event loop serves the queue from there; one that waits in Run is woken
    // below.
    std::weak_ptr<ThreadAnchor> self = weak_from_this();
    QMetaObject::invokeMethod(
        FReceiver,
        [self] {
          if (ThreadRef anchor = self.lock()) anchor->ServePending();
        },
        Qt::QueuedConnection);
  }
  FWake.notify_all();
  task.Waiter->WaitFor(task);
  if (task.Error) std::rethrow_exception(task.Error);
  return task.Ran;
}

void ThreadAnchor::WaitFor(TTask& task) {
  if (QAbstractEventDispatcher::instance()) {
    // Work handed to this thread arrives as events too, so the loop serves it.
    QEventLoop loop;
    for (;;) {
      {
        std::lock_guard lock(FMutex);
        if (task.Done) {
          task.Loop = nullptr;
          return;
        }
        task.Loop = &loop;
      }
      loop.exec(QEventLoop::ExcludeUserInputEvents);
      {
        std::lock_guard lock(FMutex);
        task.Loop = nullptr;
        if (task.Done) return;
      }
      // The loop was told to end from elsewhere (the application quits): wait without it.
      break;
    }
  }
  std::unique_lock lock(FMutex);
  while (!task.Done) {
    if (!FQueue.empty()) {
      std::shared_ptr<TTask> next = FQueue.front();
      FQueue.pop_front();
      lock.unlock();
      Execute(next);
      lock.lock();
      continue;
    }
    FWake.wait(lock);
  }
}

void ThreadAnchor::ServePending() {
  for (;;) {
    std::shared_ptr<TTask> task;
    {
      std::lock_guard lock(FMutex);
      if (FQueue.empty()) return;
      task = FQueue.front();
      FQueue.pop_front();
    }
    Execute(task);
  }
}

void ThreadAnchor::Execute(const std::shared_ptr<TTask>& task) {
  // An exception must not escape into this thread's event loop; the caller gets it.
  try {
    (*task->Work)();
  } catch (...) {
    task->Error = std::current_exception();
  }
  Complete(*task, true);
}

void ThreadAnchor::Complete(TTask& task, bool ran) {
  // The waiter may return and free the task as soon as Done is set: keep what is needed.
  ThreadRef waiter = task.Waiter;
  {
    std::lock_guard lock(waiter->FMutex);
    task.Ran = ran;
    task.Done = true;
    if (task.Loop) QMetaObject::invokeMethod(task.Loop, &QEventLoop::quit, Qt::QueuedConnection);
  }
  waiter->FWake.notify_all();
}

}  // namespace pw
