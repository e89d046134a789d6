// Handing work over to another thread's event loop, and what happens when that thread is gone.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>

#include "TestObjects.h"
#include "scripting/ThreadHandOver.h"

namespace pw::testing {
namespace {

TEST(ThreadHandOverTest, OneHandlePerThreadAndWorkOnItRunsAtOnce) {
  ThreadRef here = CurrentThreadRef();
  EXPECT_EQ(here, CurrentThreadRef());
  EXPECT_TRUE(here->IsCurrent());
  bool ran = false;
  EXPECT_TRUE(here->Run([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST(ThreadHandOverTest, AWorkerRunsWorkOnTheOwnerThread) {
  TestApp();
  ThreadRef main = CurrentThreadRef();
  QThread* ranOn = nullptr;
  bool handedOver = false;
  std::unique_ptr<QThread> worker(QThread::create([&] {
    EXPECT_FALSE(main->IsCurrent());
    handedOver = main->Run([&] { ranOn = QThread::currentThread(); });
  }));
  QEventLoop loop;
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  loop.exec();
  worker->wait();
  EXPECT_TRUE(handedOver);
  EXPECT_EQ(ranOn, QThread::currentThread());
}

TEST(ThreadHandOverTest, AnEndedThreadRefusesWork) {
  ThreadRef ended;
  std::unique_ptr<QThread> worker(QThread::create([&] { ended = CurrentThreadRef(); }));
  worker->start();
  worker->wait();
  ASSERT_TRUE(ended);
  bool ran = false;
  EXPECT_FALSE(ended->Run([&] { ran = true; }));
  EXPECT_FALSE(ran);
}

TEST(ThreadHandOverTest, WorkLeftPendingWhenTheThreadEndsWakesItsCaller) {
  std::atomic<bool> ready{false};
  ThreadRef owner;
  // The owner never processes events: it ends with the request still queued.
  std::unique_ptr<QThread> worker(QThread::create([&] {
    owner = CurrentThreadRef();
    ready.store(true);
    QThread::msleep(150);
  }));
  worker->start();
  while (!ready.load()) QThread::msleep(1);
  bool ran = false;
  EXPECT_FALSE(owner->Run([&] { ran = true; }));
  EXPECT_FALSE(ran);
  worker->wait();
}

TEST(ThreadHandOverTest, AnExceptionOfTheWorkReachesTheCaller) {
  TestApp();
  ThreadRef main = CurrentThreadRef();
  std::string caught;
  std::unique_ptr<QThread> worker(QThread::create([&] {
    try {
      main->Run([] { throw std::runtime_error("failed on main"); });
    } catch (const std::runtime_error& error) {
      caught = error.what();
    }
  }));
  QEventLoop loop;
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  loop.exec();
  worker->wait();
  EXPECT_EQ(caught, "failed on main");
}

}  // namespace
}  // namespace pw::testing
