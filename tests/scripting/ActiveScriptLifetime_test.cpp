// Nothing outlives its engine: contexts, script values held by native code, native objects held
// by scripts, across many create/run/close cycles.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"
#include "scripting/JSBridge.h"
#include "scripting/JSDispatch.h"

namespace pw::testing {

// Runs an action chosen by the test when a script calls Act.
class TCloser : public TCustomAutoObject {
  PW_AUTO_CLASS(TCloser, TCustomAutoObject)

 public:
  std::function<void()> action;
  void Act() {
    if (action) action();
  }
};

PW_AUTO_MEMBERS(TCloser, AutoMethod(1, "Act", &TCloser::Act))

namespace {

struct LiveCounts {
  std::int64_t engines = TActiveScript::LiveEngines();
  std::int64_t scriptValues = js::JSDispatch::LiveObjects();
  std::int64_t nativeFaces = js::LiveNativeWrappers();
  std::int64_t autoObjects = TCustomAutoObject::LiveObjects();
};

void ExpectSameCounts(const LiveCounts& before) {
  LiveCounts after;
  EXPECT_EQ(after.engines, before.engines);
  EXPECT_EQ(after.scriptValues, before.scriptValues);
  EXPECT_EQ(after.nativeFaces, before.nativeFaces);
  EXPECT_EQ(after.autoObjects, before.autoObjects);
}

TEST(ActiveScriptLifetimeTest, AThousandCyclesLeaveNothingBehind) {
  auto probe = MakeAutoObject<TProbe>();
  auto bag = MakeAutoObject<TTestBag>();
  LiveCounts before;
  for (int cycle = 0; cycle < 1000; ++cycle) {
    auto host = std::make_unique<TActiveScript>();
    ErrorLog log;
    host->OnScriptError = log.Handler();
    ASSERT_EQ(host->AddItem(QStringLiteral("probe"), probe->AsDispatch(), false), S_OK);
    ASSERT_EQ(host->AddItem(QStringLiteral("Runtime"), bag->AsDispatch(), true), S_OK);
    ASSERT_EQ(host->AddItem(QStringLiteral("bag"), bag->AsDispatch(), false), S_OK);
    ASSERT_EQ(host->SetLanguage(QStringLiteral("JavaScript")), S_OK);
    ASSERT_EQ(host->AddCode(QStringLiteral(
                  "var children = [probe.Child(), probe.Child()];\n"
                  "probe.Keep(function (x) { return x + children.length; });\n"
                  "bag.kept = {list: [1, {}], bytes: probe.Bytes()};\n"
                  "function run(x) { return probe.Add(x, Count); }")),
              S_OK);
    ASSERT_EQ(host->Start(), S_OK);
    Variant result;
    ASSERT_TRUE(host->CallFunction(QStringLiteral("run"), {Variant(std::int32_t{cycle})}, nullptr,
                                   &result));
    ASSERT_EQ(result, Variant(std::int32_t{cycle + 1}));
    ComPtr<IDispatch> global;
    ASSERT_EQ(host->GetScriptDispatch(QString(), global), S_OK);
    // Every other cycle the engine is closed before the host goes; a second SetLanguage
    // replaces a live engine.
    if (cycle % 2) host->Close();
    if (cycle % 3 == 0) {
      ASSERT_EQ(host->SetLanguage(QStringLiteral("JavaScript")), S_OK);
    }
    host.reset();
    ASSERT_TRUE(log.errors.empty()) << log.errors[0].Description.toStdString();
  }
  // Values the native side still holds are dead but not leaked; dropping them frees them.
  probe->last.Clear();
  bag->values.clear();
  ExpectSameCounts(before);
}

TEST(ActiveScriptLifetimeTest, ScriptValuesHeldAfterTheHostIsGoneFailSafely) {
  LiveCounts before;
  Variant fn;
  {
    TActiveScript host;
    ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
    ASSERT_EQ(host.Evaluate(QStringLiteral("(function () { return 1; })"), &fn), S_OK);
  }
  EXPECT_EQ(TActiveScript::LiveEngines(), before.engines + 1);  // kept by the value, closed
  Variant result;
  EXPECT_EQ(CallDispatch(fn.DispatchValue(), DISPID_VALUE, nullptr, 0, nullptr, &result),
            E_UNEXPECTED);
  EXPECT_EQ(GetDefaultValue(fn.DispatchValue(), &result), E_UNEXPECTED);
  fn.Clear();
  ExpectSameCounts(before);
}

TEST(ActiveScriptLifetimeTest, ClosingInsideARunningScriptWaitsForItsEnd) {
  auto probe = MakeAutoObject<TProbe>();
  auto closer = MakeAutoObject<TCloser>();
  LiveCounts before;
  {
    TActiveScript host;
    closer->action = [&host] { host.Close(); };
    ASSERT_EQ(host.AddItem(QStringLiteral("probe"), probe->AsDispatch(), false), S_OK);
    ASSERT_EQ(host.AddItem(QStringLiteral("closer"), closer->AsDispatch(), false), S_OK);
    ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
    ASSERT_EQ(host.Start(), S_OK);
    // The script goes on to its end; only then is the engine released.
    EXPECT_EQ(host.AddCode(QStringLiteral("closer.Act(); probe.Value = 'after close';")), S_OK);
    EXPECT_EQ(probe->value, QStringLiteral("after close"));
    EXPECT_FALSE(host.IsStarted());
    EXPECT_EQ(host.AddCode(QStringLiteral("probe.Touch();")), E_FAIL);
    // A new engine after that works as usual.
    ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
    EXPECT_EQ(host.AddCode(QStringLiteral("probe.Touch();")), S_OK);
    EXPECT_EQ(host.Start(), S_OK);
    EXPECT_EQ(probe->touched, 1);
  }
  closer->action = nullptr;
  ExpectSameCounts(before);
}

}  // namespace
}  // namespace pw::testing
