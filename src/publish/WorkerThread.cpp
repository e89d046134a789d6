#include "publish/WorkerThread.h"

#include <QCoreApplication>
#include <QThread>

namespace pw {

TWorkerThread::~TWorkerThread() {
  if (!FThread) return;
  Stop();
  // The worker may be inside a hand-over that was queued before the stop: serve it.
  while (!FThread->wait(10)) QCoreApplication::processEvents();
  delete FThread;
}

void TWorkerThread::Start() {
  if (FThread) return;
  FStop = false;
  if (OnStart) OnStart();
  FThread = QThread::create([this] {
    if (OnExecute) OnExecute(*this);
    QMetaObject::invokeMethod(this, [this] { Finish(); }, Qt::QueuedConnection);
  });
  FThread->start();
}

void TWorkerThread::Finish() {
  if (!FThread) return;
  FThread->wait();
  delete FThread;
  FThread = nullptr;
  if (OnTerminate) OnTerminate();
}

bool TWorkerThread::Synchronize(const std::function<void()>& call) {
  if (FStop) return false;
  if (QThread::currentThread() == thread()) {
    call();
  } else {
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
  }
  return true;
}

}  // namespace pw
