// The script host's crossings: a script calling native members, native code calling script
// functions, engines made and closed, and calls handed between threads. Every scripted build
// step pays these, once per section and placeholder.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <memory>

#include "scripting/ActiveScript.h"
#include "scripting/AutoObject.h"

namespace {

using pw::ComPtr;
using pw::Variant;

class TBenchObject : public pw::TCustomAutoObject {
  PW_AUTO_CLASS(TBenchObject, pw::TCustomAutoObject)

 public:
  std::int32_t Add(std::int32_t a, std::int32_t b) { return a + b; }
  QString Name() const { return FName; }
  void SetName(const QString& name) { FName = name; }

 private:
  QString FName = QStringLiteral("bench");
};

PW_AUTO_MEMBERS(TBenchObject,
                pw::AutoMethod(1, "Add", &TBenchObject::Add),
                pw::AutoProperty(2, "Name", &TBenchObject::Name, &TBenchObject::SetName))

// A component bound to the thread that made it: calls from elsewhere are handed over to it.
class TBenchComponent : public pw::TAutoComponent {
  PW_AUTO_CLASS(TBenchComponent, pw::TAutoComponent)

 public:
  std::int32_t Bump() { return ++FCount; }

 private:
  std::int32_t FCount = 0;
};

PW_AUTO_MEMBERS(TBenchComponent, pw::AutoMethod(1, "Bump", &TBenchComponent::Bump))

constexpr int kCallsPerRun = 1000;

// A started host with the object as "T" and the given script.
std::unique_ptr<pw::TActiveScript> Host(pw::IDispatch* object, const QString& code) {
  auto host = std::make_unique<pw::TActiveScript>();
  host->AddItem(QStringLiteral("T"), object, false);
  host->SetLanguage(QStringLiteral("JavaScript"));
  host->AddCode(code);
  host->Start();
  return host;
}

// Runs loop(kCallsPerRun) per iteration; the time per item is the time of one crossing.
void RunLoop(benchmark::State& state, const QString& code) {
  ComPtr<TBenchObject> object = pw::MakeAutoObject<TBenchObject>();
  auto host = Host(object->AsDispatch(), code);
  const std::vector<Variant> args{Variant(std::int32_t{kCallsPerRun})};
  for (auto _ : state) {
    if (!host->CallFunction(QStringLiteral("loop"), args)) state.SkipWithError("loop failed");
  }
  state.SetItemsProcessed(state.iterations() * kCallsPerRun);
}

void BM_ScriptCallsNativeMethod(benchmark::State& state) {
  RunLoop(state, QStringLiteral("function loop(n) { var s = 0; for (var i = 0; i < n; i++) s += T.Add(i, 2); return s; }"));
}
BENCHMARK(BM_ScriptCallsNativeMethod);

void BM_ScriptCallsSavedMethodReference(benchmark::State& state) {
  RunLoop(state, QStringLiteral("var add = T.Add;\n"
                                "function loop(n) { var s = 0; for (var i = 0; i < n; i++) s += add(i, 2); return s; }"));
}
BENCHMARK(BM_ScriptCallsSavedMethodReference);

void BM_ScriptReadsNativeProperty(benchmark::State& state) {
  RunLoop(state, QStringLiteral("function loop(n) { var s = 0; for (var i = 0; i < n; i++) s += T.Name.length; return s; }"));
}
BENCHMARK(BM_ScriptReadsNativeProperty);

void BM_ScriptPassesNativeObject(benchmark::State& state) {
  RunLoop(state, QStringLiteral("function loop(n) { var s = 0; for (var i = 0; i < n; i++) s += T.Add(i, 2) === 0 || T === T; return s; }"));
}
BENCHMARK(BM_ScriptPassesNativeObject);

// The runtime lends its members to the global scope: every global name the script reads asks
// it first.
void BM_ScriptCallsGlobalMember(benchmark::State& state) {
  ComPtr<TBenchObject> object = pw::MakeAutoObject<TBenchObject>();
  pw::TActiveScript host;
  host.AddItem(QStringLiteral("Runtime"), object->AsDispatch(), true);
  host.SetLanguage(QStringLiteral("JavaScript"));
  host.AddCode(QStringLiteral("var g = 1;\n"
                              "function loop(n) { var s = 0; for (var i = 0; i < n; i++) s += Add(i, g); return s; }"));
  host.Start();
  const std::vector<Variant> args{Variant(std::int32_t{kCallsPerRun})};
  for (auto _ : state) {
    if (!host.CallFunction(QStringLiteral("loop"), args)) state.SkipWithError("loop failed");
  }
  state.SetItemsProcessed(state.iterations() * kCallsPerRun);
}
BENCHMARK(BM_ScriptCallsGlobalMember);

void BM_NativeCallsScriptFunction(benchmark::State& state) {
  ComPtr<TBenchObject> object = pw::MakeAutoObject<TBenchObject>();
  auto host = Host(object->AsDispatch(), QStringLiteral("function f(a, b) { return a + b; }"));
  const std::vector<Variant> args{Variant(std::int32_t{1}), Variant(std::int32_t{2})};
  Variant result;
  for (auto _ : state) {
    if (!host->CallFunction(QStringLiteral("f"), args, nullptr, &result)) state.SkipWithError("f failed");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NativeCallsScriptFunction);

void BM_EngineCreateRunClose(benchmark::State& state) {
  ComPtr<TBenchObject> object = pw::MakeAutoObject<TBenchObject>();
  pw::TActiveScript host;
  host.AddItem(QStringLiteral("T"), object->AsDispatch(), false);
  for (auto _ : state) {
    host.SetLanguage(QStringLiteral("JavaScript"));
    host.AddCode(QStringLiteral("var x = T.Add(1, 2);"));
    host.Start();
    host.Close();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EngineCreateRunClose)->Unit(benchmark::kMicrosecond);

// The main thread calls a function of a worker's engine, which calls back a component of the
// main thread: two hand-overs, one nested in the other, as Synchronize makes them.
void BM_NestedHandOver(benchmark::State& state) {
  auto component = std::make_unique<TBenchComponent>();
  std::atomic<bool> ready{false};
  std::atomic<bool> stop{false};
  Variant function;
  std::unique_ptr<QThread> worker(QThread::create([&] {
    pw::TActiveScript host;
    host.AddItem(QStringLiteral("C"), component->Dispatch(), false);
    host.SetLanguage(QStringLiteral("JavaScript"));
    host.Evaluate(QStringLiteral("(function () { return C.Bump(); })"), &function);
    ready = true;
    while (!stop) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    function.Clear();
  }));
  worker->start();
  while (!ready) QThread::yieldCurrentThread();
  Variant result;
  for (auto _ : state) {
    if (pw::FAILED(pw::CallDispatch(function.DispatchValue(), pw::DISPID_VALUE, nullptr, 0, nullptr, &result))) {
      state.SkipWithError("call failed");
      break;
    }
  }
  stop = true;
  worker->wait();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NestedHandOver)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
