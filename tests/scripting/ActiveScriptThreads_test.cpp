// Handing work over to another thread's event loop; interrupting running scripts from another
// thread, and calls that cross threads: they are handed over to the thread that owns the host,
// the script value or the component.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"
#include "scripting/ThreadHandOver.h"

namespace pw::tests {
namespace {

using namespace Qt::StringLiterals;

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

// Interrupts host after a while, from a thread of its own.
class DelayedInterrupt {
 public:
  explicit DelayedInterrupt(TActiveScript& host)
      : FThread([&host] {
          std::this_thread::sleep_for(std::chrono::milliseconds(150));
          host.Interrupt();
        }) {}
  ~DelayedInterrupt() { FThread.join(); }

 private:
  std::thread FThread;
};

class ScriptThreadTest : public HostTest {
 protected:
  void SetUp() override {
    TestApp();
    Open();
  }
};

TEST_F(ScriptThreadTest, InterruptStopsEndlessLoops) {
  // Try blocks must not catch the interrupt, not even inside a callback of native code.
  for (const QString& code : {u"while (true) {}"_s,
                              u"for (;;) { try { probe.Call(function () { while (true) {} }, 0); } catch (e) {} }"_s}) {
    DelayedInterrupt interrupt(FHost);
    EXPECT_EQ(FHost.AddCode(code), E_ABORT) << code.toStdString();
  }
  // The engine goes on working.
  EXPECT_EQ(Text(u"1 + 1"_s), u"2"_s);
  Run(u"function spin() { for (;;) { try { while (true) {} } catch (e) {} } }"_s);
  {
    DelayedInterrupt interrupt(FHost);
    EXPECT_FALSE(FHost.CallFunction(u"spin"_s, {}));
  }
  EXPECT_TRUE(FHost.CallFunction(u"isFinite"_s, {Variant(std::int32_t{1})}));
  EXPECT_TRUE(FLog.Errors.empty());
}

// Ends the test process when the scope is not left in time: a script the interrupt does not
// stop would otherwise hang the whole suite instead of failing it.
class HangGuard {
 public:
  explicit HangGuard(std::chrono::seconds limit)
      : FThread([this, limit] {
          std::unique_lock lock(FMutex);
          if (!FWake.wait_for(lock, limit, [this] { return FDone; })) {
            std::fprintf(stderr, "An interrupted script never stopped\n");
            std::abort();
          }
        }) {}
  ~HangGuard() {
    {
      std::lock_guard lock(FMutex);
      FDone = true;
    }
    FWake.notify_all();
    FThread.join();
  }

 private:
  std::mutex FMutex;
  std::condition_variable FWake;
  bool FDone = false;
  std::thread FThread;
};

TEST_F(ScriptThreadTest, InterruptStopsAFunctionCalledAgainAndAgainFromNativeCode) {
  // A function run many times is compiled to faster code, whose loops must still look for the
  // interrupt: every way native code calls into the script, each function with its own.
  struct Row {
    const char* Path;
    std::function<bool(const QString& function)> Call;
  };
  const Row rows[] = {
      {"CallFunction", [this](const QString& function) { return FHost.CallFunction(function, {}); }},
      {"the function's default member",
       [this](const QString& function) {
         const Variant value = Eval(function);
         return SUCCEEDED(CallDispatch(value.DispatchValue(), DISPID_VALUE, nullptr, 0, nullptr, nullptr));
       }},
      {"a callback while another script runs",
       [this](const QString& function) { return FHost.AddCode(u"probe.Call(%1, 0);"_s.arg(function)) == S_OK; }},
  };
  HangGuard guard(std::chrono::seconds(60));
  int index = 0;
  for (const Row& row : rows) {
    const QString function = u"spin"_s + QString::number(index++);
    Run(u"function %1() { for (;;) {} }"_s.arg(function));
    for (int run = 0; run < 5; ++run) {
      DelayedInterrupt interrupt(FHost);
      EXPECT_FALSE(row.Call(function)) << row.Path << ", run " << run;
    }
  }
  EXPECT_EQ(Text(u"1 + 1"_s), u"2"_s);
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(ScriptThreadTest, AnInterruptIsNeverDropped) {
  auto closer = MakeAutoObject<TCloser>();
  ASSERT_EQ(FHost.AddItem(u"closer"_s, closer->AsDispatch(), false), S_OK);
  // Requested during a native call, here or from another thread, with little work left.
  const std::function<void()> interrupts[] = {
      [this] { FHost.Interrupt(); },
      [this] { std::thread([this] { FHost.Interrupt(); }).join(); },
  };
  for (const auto& interrupt : interrupts) {
    closer->FAction = interrupt;
    EXPECT_EQ(FHost.AddCode(u"closer.Act(); probe.Touch(); probe.Touch();"_s), E_ABORT);
    EXPECT_EQ(FHost.AddCode(u"try { closer.Act(); } catch (e) {} probe.Touch();"_s), E_ABORT);
    Run(u"function act() { closer.Act(); probe.Touch(); }"_s);
    EXPECT_FALSE(FHost.CallFunction(u"act"_s, {}));
  }
  EXPECT_EQ(FProbe->FTouched, 0);
  // Requested while idle: the next call is stopped, and only that one.
  EXPECT_EQ(FHost.Interrupt(), S_OK);
  EXPECT_EQ(FHost.AddCode(u"probe.Touch();"_s), E_ABORT);
  EXPECT_EQ(FProbe->FTouched, 0);
  Run(u"probe.Touch();"_s);
  EXPECT_EQ(FProbe->FTouched, 1);
  EXPECT_EQ(FHost.Interrupt(), S_OK);
  EXPECT_FALSE(FHost.CallFunction(u"act"_s, {}));
  closer->FAction = nullptr;
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(ScriptThreadTest, AWorkerInterruptsAScriptOfTheMainThread) {
  std::atomic<bool> started{false};
  std::atomic<bool> stop{false};
  auto closer = MakeAutoObject<TCloser>();
  closer->FAction = [&] { started.store(true); };
  ASSERT_EQ(FHost.AddItem(u"closer"_s, closer->AsDispatch(), false), S_OK);
  std::unique_ptr<QThread> worker(QThread::create([&] {
    while (!started.load()) QThread::msleep(1);
    while (!stop.load()) {
      FHost.Interrupt();
      QThread::msleep(20);
    }
  }));
  worker->start();
  EXPECT_EQ(FHost.AddCode(u"closer.Act(); while (true) { probe.Touch(); }"_s), E_ABORT);
  stop.store(true);
  worker->wait();
  EXPECT_GT(FProbe->FTouched, 0);
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(ScriptThreadTest, CallsFromAWorkerRunOnTheEnginesThread) {
  Run(u"function touch(x) { probe.Touch(); return 'done ' + x; }"_s);
  Variant fn = Eval(u"(function (x) { probe.Touch(); return x * 3; })"_s);
  Variant byName, byValue;
  bool called = false;
  HRESULT hr = E_FAIL;
  RunOnWorker([&] {
    called = FHost.CallFunction(u"touch"_s, {Variant(std::int32_t{1})}, nullptr, &byName);
    Variant arg(std::int32_t{5});
    hr = CallDispatch(fn.DispatchValue(), DISPID_VALUE, &arg, 1, nullptr, &byValue);
    // Dropping the last reference off the engine's thread is safe too.
    fn.Clear();
  });
  EXPECT_TRUE(called);
  EXPECT_EQ(byName, Variant(u"done 1"_s));
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(byValue, Variant(std::int32_t{15}));
  EXPECT_EQ(FProbe->FTouched, 2);
  EXPECT_EQ(FProbe->FLastThread, QThread::currentThread());
}

TEST_F(ScriptThreadTest, ManyWorkersCallingAtOnceAreServedOneByOne) {
  Run(u"var total = 0; function add(x) { total += x; probe.Touch(); return total; }"_s);
  constexpr int kWorkers = 4;
  constexpr int kCalls = 50;
  std::atomic<int> failures{0};
  std::atomic<int> finished{0};
  std::vector<std::unique_ptr<QThread>> workers;
  QEventLoop loop;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back(QThread::create([&] {
      for (int i = 0; i < kCalls; ++i) {
        if (!FHost.CallFunction(u"add"_s, {Variant(std::int32_t{1})})) ++failures;
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
  EXPECT_EQ(Eval(u"total"_s), Variant(std::int32_t{kWorkers * kCalls}));
  EXPECT_EQ(FProbe->FTouched, kWorkers * kCalls);
  EXPECT_EQ(FProbe->FLastThread, QThread::currentThread());
}

TEST_F(ScriptThreadTest, AWorkerEngineCallsThreadBoundObjectsOnTheirThread) {
  TTestComponent bound;
  ASSERT_EQ(FHost.AddItem(u"bound"_s, bound.Dispatch(), false), S_OK);
  QThread* workerThread = nullptr;
  QThread* errorThread = nullptr;
  Variant bumped, back;
  ErrorLog workerLog;
  RunOnWorker([&] {
    workerThread = QThread::currentThread();
    TActiveScript worker;
    worker.OnScriptError = [&](const TScriptError& error) {
      errorThread = QThread::currentThread();
      workerLog.Errors.push_back(error);
    };
    worker.CopyItems(FHost);
    ASSERT_EQ(worker.SetLanguage(u"JavaScript"_s), S_OK);
    // A free-threaded object is called right here; a component on its own thread.
    ASSERT_EQ(worker.Evaluate(u"probe.Touch(); bound.Bump()"_s, &bumped), S_OK);
    EXPECT_EQ(FProbe->FLastThread, workerThread);
    // The component calls back into this engine while this thread waits for it.
    ASSERT_EQ(worker.Evaluate(u"bound.Call(function () { probe.Touch(); return 'back'; })"_s, &back), S_OK);
    EXPECT_EQ(FProbe->FLastThread, workerThread);
    // Errors of the worker's engine are reported on the worker.
    EXPECT_EQ(worker.AddCode(u"null.x;"_s), SCRIPT_E_REPORTED);
  });
  EXPECT_EQ(bumped, Variant(std::int32_t{1}));
  EXPECT_EQ(back, Variant(u"back"_s));
  EXPECT_EQ(bound.FLastThread, QThread::currentThread());
  EXPECT_EQ(workerLog.Errors.size(), 1u);
  EXPECT_EQ(errorThread, workerThread);
  EXPECT_TRUE(FLog.Errors.empty());
}

// An engine on a thread without an event loop: while it waits for the main thread, the calls
// the main thread makes into it are served.
TEST(ThreadHandOverTest, AThreadWithoutEventLoopServesCallsWhileItWaits) {
  TestApp();
  TTestComponent bound;
  auto probe = MakeAutoObject<TProbe>();
  std::atomic<bool> done{false};
  Variant back;
  HRESULT hr = E_FAIL;
  std::thread worker([&] {
    {
      TActiveScript host;
      host.AddItem(u"bound"_s, bound.Dispatch(), false);
      host.AddItem(u"probe"_s, probe->AsDispatch(), false);
      host.SetLanguage(u"JavaScript"_s);
      hr = host.Evaluate(u"bound.Call(function () { probe.Touch(); return 'back'; })"_s, &back);
    }
    done = true;
  });
  QEventLoop loop;
  while (!done) loop.processEvents(QEventLoop::AllEvents, 10);
  worker.join();
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(back, Variant(u"back"_s));
  EXPECT_EQ(probe->FTouched, 1);
  EXPECT_NE(probe->FLastThread, QThread::currentThread());
}

}  // namespace
}  // namespace pw::tests
