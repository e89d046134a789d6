// The worker mechanism of the upload window: handlers on the owner thread, the synchronous
// hand-over, and a stop that never leaves the worker waiting for its owner.
#include "publish/WorkerThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <atomic>

namespace pw {
namespace {

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "pw_tests_publish";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  return *QCoreApplication::instance();
}

TEST(WorkerThread, HandlersRunOnTheOwnerAndTheBodyOnTheWorker) {
  App();
  TWorkerThread worker;
  QThread* owner = QThread::currentThread();
  QStringList steps;
  QEventLoop loop;
  worker.OnStart = [&] {
    EXPECT_EQ(QThread::currentThread(), owner);
    steps << "start";
  };
  worker.OnExecute = [&](TWorkerThread& self) {
    EXPECT_NE(QThread::currentThread(), owner);
    EXPECT_TRUE(self.Synchronize([&] {
      EXPECT_EQ(QThread::currentThread(), owner);
      steps << "log";
    }));
  };
  worker.OnTerminate = [&] {
    EXPECT_EQ(QThread::currentThread(), owner);
    EXPECT_FALSE(worker.Running());
    steps << "terminate";
    loop.quit();
  };
  worker.Start();
  EXPECT_TRUE(worker.Running());
  worker.Start();  // a second start while running does nothing
  loop.exec();
  EXPECT_EQ(steps, (QStringList{"start", "log", "terminate"}));
}

TEST(WorkerThread, AStoppingWorkerSkipsTheHandOverAndDestructionWaits) {
  App();
  std::atomic<int> handed = 0, skipped = 0;
  std::atomic<bool> ended = false;
  {
    TWorkerThread worker;
    worker.OnExecute = [&](TWorkerThread& self) {
      while (!self.Stopping()) {
        if (self.Synchronize([&] { ++handed; })) continue;
      }
      if (!self.Synchronize([&] { ++handed; })) ++skipped;
      ended = true;
    };
    worker.Start();
    while (handed < 3) QCoreApplication::processEvents();
  }  // destroyed while running: stops it and waits
  EXPECT_TRUE(ended);
  EXPECT_EQ(skipped, 1);
}

}  // namespace
}  // namespace pw
