// Handing work over to another thread's event loop, and what happens when that thread is gone.
#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>

#include "TestObjects.h"
#include "scripting/ThreadHandOver.h"

namespace pw::testing {
namespace {

TEST(ThreadHandOverTest, WorkOnTheOwnThreadRunsAtOnceAndWorkOfAWorkerOnTheOwner) {
  ThreadRef main = CurrentThreadRef();
  EXPECT_EQ(main, CurrentThreadRef());
  EXPECT_TRUE(main->IsCurrent());
  bool ran = false;
  EXPECT_TRUE(main->Run([&] { ran = true; }));
  EXPECT_TRUE(ran);

  QThread* ranOn = nullptr;
  bool handedOver = false;
  std::string caught;
  RunOnWorker([&] {
    EXPECT_FALSE(main->IsCurrent());
    handedOver = main->Run([&] { ranOn = QThread::currentThread(); });
    // An exception of the work reaches the caller.
    try {
      main->Run([] { throw std::runtime_error("failed on main"); });
    } catch (const std::runtime_error& error) {
      caught = error.what();
    }
  });
  EXPECT_TRUE(handedOver);
  EXPECT_EQ(ranOn, QThread::currentThread());
  EXPECT_EQ(caught, "failed on main");
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

}  // namespace
}  // namespace pw::testing
