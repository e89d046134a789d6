#include "scripting/ThreadHandOver.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QSemaphore>
#include <QThread>

#include <exception>

namespace pw {

namespace {

// Ends the calling thread's handle when the thread ends, on that thread.
struct ThreadAnchorHolder {
  ThreadRef ref;
  ~ThreadAnchorHolder() {
    if (ref) ref->Detach();
  }
};

struct HandOverState {
  QSemaphore Done;
  bool Ran = false;
  std::exception_ptr Error;  // what the work threw, rethrown to the caller
};

// Wakes the waiting caller when the posted call is destroyed, whether it ran or was dropped
// unprocessed with its receiver.
class HandOverWaker {
 public:
  explicit HandOverWaker(std::shared_ptr<HandOverState> state) : FState(std::move(state)) {}
  HandOverWaker(const HandOverWaker&) = delete;
  HandOverWaker& operator=(const HandOverWaker&) = delete;
  ~HandOverWaker() { FState->Done.release(); }

 private:
  std::shared_ptr<HandOverState> FState;
};

}  // namespace

ThreadRef CurrentThreadRef() {
  thread_local ThreadAnchorHolder holder;
  if (!holder.ref) {
    holder.ref = ThreadRef(new ThreadAnchor());
  }
  return holder.ref;
}

ThreadAnchor::ThreadAnchor() : FThread(QThread::currentThread()), FReceiver(new QObject()) {}

ThreadAnchor::~ThreadAnchor() = default;

bool ThreadAnchor::IsCurrent() const {
  std::lock_guard lock(FMutex);
  return FThread == QThread::currentThread();
}

void ThreadAnchor::Detach() {
  QObject* receiver = nullptr;
  {
    std::lock_guard lock(FMutex);
    receiver = FReceiver;
    FReceiver = nullptr;
  }
  // Deleting the receiver drops its pending calls, which wakes their callers with "not run".
  delete receiver;
}

bool ThreadAnchor::Run(const std::function<void()>& work) {
  if (IsCurrent()) {
    work();
    return true;
  }
  auto state = std::make_shared<HandOverState>();
  {
    std::lock_guard lock(FMutex);
    if (!FReceiver) return false;
    auto waker = std::make_shared<HandOverWaker>(state);
    QMetaObject::invokeMethod(
        FReceiver,
        [waker, state, &work] {
          // An exception must not escape into the owner's event loop; the caller gets it.
          try {
            work();
          } catch (...) {
            state->Error = std::current_exception();
          }
          state->Ran = true;
        },
        Qt::QueuedConnection);
  }
  // A thread that has an event loop keeps serving hand-overs to itself while it waits, so that
  // a call that comes back to it (a callback into its own scripts) does not deadlock.
  if (QAbstractEventDispatcher::instance()) {
    while (!state->Done.tryAcquire(1, 10)) {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
  } else {
    state->Done.acquire();
  }
  if (state->Error) std::rethrow_exception(state->Error);
  return state->Ran;
}

}  // namespace pw
