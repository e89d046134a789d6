// Interrupting running scripts from another thread, and calls that cross threads: they are
// handed over to the thread that owns the host, the script value or the component.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"

namespace pw::testing {
namespace {

// Runs body on a new thread (with an event loop of its own) while this thread processes its
// events, and returns when the body has ended.
void RunOnWorker(std::function<void()> body) {
  TestApp();
  std::unique_ptr<QThread> worker(QThread::create(std::move(body)));
  QEventLoop loop;
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  loop.exec();
  worker->wait();
}

// Interrupts host after a while, from a thread of its own.
class DelayedInterrupt {
 public:
  explicit DelayedInterrupt(TActiveScript& host, int delayMs = 150)
      : thread_([&host, delayMs] {
          std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
          host.Interrupt();
        }) {}
  ~DelayedInterrupt() { thread_.join(); }

 private:
  std::thread thread_;
};

class ScriptThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    probe = MakeAutoObject<TProbe>();
    host.OnScriptError = log.Handler();
    ASSERT_EQ(host.AddItem(QStringLiteral("probe"), probe->AsDispatch(), false), S_OK);
    ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
    ASSERT_EQ(host.Start(), S_OK);
  }

  ComPtr<TProbe> probe;
  ErrorLog log;
  TActiveScript host;
};

TEST_F(ScriptThreadTest, InterruptStopsAnEndlessLoop) {
  {
    DelayedInterrupt interrupt(host);
    EXPECT_EQ(host.AddCode(QStringLiteral("while (true) {}")), E_ABORT);
  }
  EXPECT_TRUE(log.errors.empty());
  // The engine goes on working.
  Variant result;
  ASSERT_EQ(host.Evaluate(QStringLiteral("1 + 1"), &result), S_OK);
  EXPECT_EQ(result, Variant(std::int32_t{2}));
  // A function called by the host, with a try block that must not catch the interrupt.
  ASSERT_EQ(host.AddCode(QStringLiteral("function spin() { for (;;) { try { while (true) {} } catch (e) {} } }")), S_OK);
  {
    DelayedInterrupt interrupt(host);
    EXPECT_FALSE(host.CallFunction(QStringLiteral("spin"), {}));
  }
  EXPECT_TRUE(log.errors.empty());
  EXPECT_TRUE(host.CallFunction(QStringLiteral("isFinite"), {Variant(std::int32_t{1})}));
}

TEST_F(ScriptThreadTest, InterruptStopsALoopInsideACallbackOfNativeCode) {
  DelayedInterrupt interrupt(host);
  EXPECT_EQ(host.AddCode(QStringLiteral(
                "for (;;) { try { probe.Call(function () { while (true) {} }, 0); } catch (e) {} }")),
            E_ABORT);
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(ScriptThreadTest, AHostCalledFromAWorkerRunsOnItsOwnThread) {
  ASSERT_EQ(host.AddCode(QStringLiteral("function touch(x) { probe.Touch(); return 'done ' + x; }")), S_OK);
  Variant result;
  bool called = false;
  RunOnWorker([&] {
    called = host.CallFunction(QStringLiteral("touch"), {Variant(std::int32_t{1})}, nullptr, &result);
  });
  EXPECT_TRUE(called);
  EXPECT_EQ(result, Variant(QStringLiteral("done 1")));
  EXPECT_EQ(probe->lastThread, QThread::currentThread());
}

TEST_F(ScriptThreadTest, ManyWorkersCallingAtOnceAreServedOneByOne) {
  ASSERT_EQ(host.AddCode(QStringLiteral("var total = 0; function add(x) { total += x; probe.Touch(); return total; }")), S_OK);
  constexpr int kWorkers = 4;
  constexpr int kCalls = 50;
  std::atomic<int> failures{0};
  std::atomic<int> finished{0};
  std::vector<std::unique_ptr<QThread>> workers;
  QEventLoop loop;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back(QThread::create([&] {
      for (int i = 0; i < kCalls; ++i) {
        if (!host.CallFunction(QStringLiteral("add"), {Variant(std::int32_t{1})})) ++failures;
      }
    }));
    QObject::connect(workers.back().get(), &QThread::finished, &loop, [&] {
      if (++finished == kWorkers) loop.quit();
    });
  }
  for (auto& worker : workers) worker->start();
  loop.exec();
  for (auto& worker : workers) worker->wait();
  EXPECT_EQ(failures.load(), 0);
  Variant total;
  ASSERT_EQ(host.Evaluate(QStringLiteral("total"), &total), S_OK);
  EXPECT_EQ(total, Variant(std::int32_t{kWorkers * kCalls}));
  EXPECT_EQ(probe->touched, kWorkers * kCalls);
  EXPECT_EQ(probe->lastThread, QThread::currentThread());
}

TEST_F(ScriptThreadTest, AScriptFunctionCalledFromAWorkerRunsOnItsEnginesThread) {
  Variant fn;
  ASSERT_EQ(host.Evaluate(QStringLiteral("(function (x) { probe.Touch(); return x * 3; })"), &fn), S_OK);
  Variant result;
  HRESULT hr = E_FAIL;
  RunOnWorker([&] {
    Variant arg(std::int32_t{5});
    hr = CallDispatch(fn.DispatchValue(), DISPID_VALUE, &arg, 1, nullptr, &result);
    // Dropping the last reference off the engine's thread is safe too.
    fn.Clear();
  });
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(result, Variant(std::int32_t{15}));
  EXPECT_EQ(probe->lastThread, QThread::currentThread());
}

TEST_F(ScriptThreadTest, AWorkerEngineCallsThreadBoundObjectsOnTheirThread) {
  TTestComponent bound;
  ASSERT_EQ(host.AddItem(QStringLiteral("bound"), bound.Dispatch(), false), S_OK);
  QThread* workerThread = nullptr;
  Variant where, back;
  ErrorLog workerLog;
  QThread* errorThread = nullptr;
  RunOnWorker([&] {
    workerThread = QThread::currentThread();
    TActiveScript worker;
    worker.OnScriptError = [&](const TScriptError& error) {
      errorThread = QThread::currentThread();
      workerLog.errors.push_back(error);
    };
    worker.CopyItems(host);
    ASSERT_EQ(worker.SetLanguage(QStringLiteral("JavaScript")), S_OK);
    // A free-threaded object is called right here; a component on its own thread.
    ASSERT_EQ(worker.Evaluate(QStringLiteral("probe.Touch(); bound.Bump()"), &where), S_OK);
    EXPECT_EQ(probe->lastThread, workerThread);
    // The component calls back into this engine while this thread waits for it.
    ASSERT_EQ(worker.Evaluate(QStringLiteral("bound.Call(function () { probe.Touch(); return 'back'; })"), &back), S_OK);
    EXPECT_EQ(probe->lastThread, workerThread);
    // Errors of the worker's engine are reported on the worker.
    EXPECT_EQ(worker.AddCode(QStringLiteral("null.x;")), SCRIPT_E_REPORTED);
  });
  EXPECT_EQ(where, Variant(std::int32_t{1}));
  EXPECT_EQ(back, Variant(QStringLiteral("back")));
  EXPECT_EQ(bound.lastThread, QThread::currentThread());
  EXPECT_EQ(workerLog.errors.size(), 1u);
  EXPECT_EQ(errorThread, workerThread);
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(ScriptThreadTest, AWorkerInterruptsAScriptOfTheMainThread) {
  std::atomic<bool> stop{false};
  std::unique_ptr<QThread> worker(QThread::create([&] {
    while (!stop.load()) {
      host.Interrupt();
      QThread::msleep(20);
    }
  }));
  worker->start();
  EXPECT_EQ(host.AddCode(QStringLiteral("while (true) { probe.Touch(); }")), E_ABORT);
  stop.store(true);
  worker->wait();
  EXPECT_GT(probe->touched, 0);
  EXPECT_TRUE(log.errors.empty());
}

}  // namespace
}  // namespace pw::testing
