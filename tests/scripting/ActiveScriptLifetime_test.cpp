// Reference counting and object lifetime: nothing leaks, nothing is freed early, and nothing
// outlives its engine: contexts, script values held by native code, native objects held by
// scripts, across many create/run/close cycles.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <thread>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"
#include "scripting/JSBridge.h"
#include "scripting/JSDispatch.h"

namespace pw::tests {

using namespace Qt::StringLiterals;

namespace {

// Engines, script values, native wrappers and automation objects alive.
std::array<std::int64_t, 4> LiveCounts() {
  return {TActiveScript::LiveEngines(), js::JSDispatch::LiveObjects(), js::LiveNativeWrappers(),
          TCustomAutoObject::LiveObjects()};
}

TEST(ActiveScriptLifetimeTest, AThousandCyclesLeaveNothingBehind) {
  auto probe = MakeAutoObject<TProbe>();
  auto bag = MakeAutoObject<TTestBag>();
  const auto before = LiveCounts();
  for (int cycle = 0; cycle < 1000; ++cycle) {
    auto host = std::make_unique<TActiveScript>();
    ErrorLog log;
    host->OnScriptError = log.Handler();
    ASSERT_EQ(host->AddItem(u"probe"_s, probe->AsDispatch(), false), S_OK);
    ASSERT_EQ(host->AddItem(u"Runtime"_s, bag->AsDispatch(), true), S_OK);
    ASSERT_EQ(host->AddItem(u"bag"_s, bag->AsDispatch(), false), S_OK);
    ASSERT_EQ(host->SetLanguage(u"JavaScript"_s), S_OK);
    ASSERT_EQ(host->AddCode(u"var children = [probe.Child(), probe.Child()];\n"
                            u"probe.Keep(function (x) { return x + children.length; });\n"
                            u"bag.kept = {list: [1, {}], bytes: probe.Bytes()};\n"
                            u"function run(x) { return probe.Add(x, Count); }"_s),
              S_OK);
    ASSERT_EQ(host->Start(), S_OK);
    Variant result;
    ASSERT_TRUE(host->CallFunction(u"run"_s, {Variant(std::int32_t{cycle})}, nullptr, &result));
    ASSERT_EQ(result, Variant(std::int32_t{cycle + 1}));
    ComPtr<IDispatch> global;
    ASSERT_EQ(host->GetScriptDispatch(QString(), global), S_OK);
    // Every other cycle the engine is closed before the host goes; a second SetLanguage
    // replaces a live engine.
    if (cycle % 2) host->Close();
    if (cycle % 3 == 0) {
      ASSERT_EQ(host->SetLanguage(u"JavaScript"_s), S_OK);
    }
    host.reset();
    ASSERT_TRUE(log.Errors.empty()) << log.Errors[0].Description.toStdString();
  }
  // Values the native side still holds are dead but not leaked; dropping them frees them.
  probe->FLast.Clear();
  bag->FValues.clear();
  EXPECT_EQ(LiveCounts(), before);
}

TEST(ActiveScriptLifetimeTest, ScriptValuesOfAClosedEngineFailSafely) {
  const auto before = LiveCounts();
  Variant fn;
  Variant result;
  {
    TActiveScript host;
    ASSERT_EQ(host.SetLanguage(u"JavaScript"_s), S_OK);
    ASSERT_EQ(host.Evaluate(u"(function () { return 1; })"_s, &fn), S_OK);
    ASSERT_EQ(host.Close(), S_OK);
    EXPECT_EQ(CallDispatch(fn.DispatchValue(), DISPID_VALUE, nullptr, 0, nullptr, &result), E_UNEXPECTED);
    // A new engine does not adopt values of the old one.
    ASSERT_EQ(host.SetLanguage(u"JavaScript"_s), S_OK);
    EXPECT_EQ(CallDispatch(fn.DispatchValue(), DISPID_VALUE, nullptr, 0, nullptr, &result), E_UNEXPECTED);
  }
  EXPECT_EQ(TActiveScript::LiveEngines(), before[0] + 1);  // kept by the value, closed
  EXPECT_EQ(CallDispatch(fn.DispatchValue(), DISPID_VALUE, nullptr, 0, nullptr, &result), E_UNEXPECTED);
  EXPECT_EQ(GetDefaultValue(fn.DispatchValue(), &result), E_UNEXPECTED);
  fn.Clear();
  EXPECT_EQ(LiveCounts(), before);
}

// F9 pressed while a script waits in a native call recompiles the scripts: the engine that runs
// the script is closed or replaced under it. The script stops at its next step.
TEST(ActiveScriptLifetimeTest, ClosingOrReplacingTheEngineOfARunningScriptStopsIt) {
  auto probe = MakeAutoObject<TProbe>();
  auto closer = MakeAutoObject<TCloser>();
  const auto before = LiveCounts();
  for (const bool replace : {false, true}) {
    for (const QString& rest : {u"probe.Value = 'after close';"_s, u"for (;;) {}"_s,
                                u"} catch (e) {} for (;;) {}"_s}) {
      SCOPED_TRACE(rest.toStdString() + (replace ? " (replaced)" : " (closed)"));
      TActiveScript host;
      ErrorLog log;
      host.OnScriptError = log.Handler();
      closer->FAction = [&host, replace] {
        if (replace) {
          host.SetLanguage(u"JavaScript"_s);
        } else {
          host.Close();
        }
      };
      ASSERT_EQ(host.AddItem(u"probe"_s, probe->AsDispatch(), false), S_OK);
      ASSERT_EQ(host.AddItem(u"closer"_s, closer->AsDispatch(), false), S_OK);
      ASSERT_EQ(host.SetLanguage(u"JavaScript"_s), S_OK);
      ASSERT_EQ(host.Start(), S_OK);
      const QString code = rest.startsWith(u'}') ? u"try { closer.Act(); "_s + rest : u"closer.Act(); "_s + rest;
      EXPECT_EQ(host.AddCode(code), E_ABORT);
      EXPECT_EQ(probe->FValue, u"probe value"_s);
      EXPECT_TRUE(log.Errors.empty());
      if (replace) {
        // The new engine works as usual.
        EXPECT_EQ(host.AddCode(u"probe.Touch();"_s), S_OK);
        EXPECT_EQ(host.Start(), S_OK);
      } else {
        EXPECT_FALSE(host.IsStarted());
        EXPECT_EQ(host.AddCode(u"probe.Touch();"_s), E_FAIL);
      }
    }
  }
  EXPECT_EQ(probe->FTouched, 3);
  closer->FAction = nullptr;
  EXPECT_EQ(LiveCounts(), before);
}

// ---------------------------------------------------------------------------------------------

TEST(AutoObjectLifetime, BornWithCountZeroAndFreedAtZero) {
  const std::int64_t before = TCustomAutoObject::LiveObjects();
  auto* raw = new TTestObject;
  EXPECT_EQ(raw->RefCount(), 0u);
  EXPECT_EQ(TCustomAutoObject::LiveObjects(), before + 1);
  {
    ComPtr<TTestObject> first(raw);
    ComPtr<IDispatch> second = first;
    EXPECT_EQ(raw->RefCount(), 2u);
    // Variants hold counted references, arrays of them too.
    Variant value = Variant::FromDispatch(raw);
    Variant array = Variant::FromArray({value, value});
    EXPECT_EQ(raw->RefCount(), 5u);
  }
  EXPECT_EQ(TCustomAutoObject::LiveObjects(), before);
}

TEST(AutoObjectLifetime, AThousandCyclesLeaveNoObjectBehind) {
  const std::int64_t before = TCustomAutoObject::LiveObjects();
  for (int i = 0; i < 1000; ++i) {
    ComPtr<TTestObject> object = MakeAutoObject<TTestObject>();
    ComPtr<TTestBag> bag = MakeAutoObject<TTestBag>();
    object->SetDynamicProvider(bag.Get());
    DISPID id = 0;
    ASSERT_EQ(object->GetDispID(QStringLiteral("self"), fdexNameEnsure, &id), S_OK);
    // A dynamic property holding another object, and a result holding an object.
    Args put({}, {{DISPID_PROPERTYPUT, Variant::FromDispatch(MakeAutoObject<TTestChild>().Get())}});
    ASSERT_EQ(object->InvokeEx(id, 0, DISPATCH_PROPERTYPUT, put.Get(), nullptr, nullptr, nullptr), S_OK);
    Variant passed;
    ASSERT_EQ(Call(object.Get(), 13, DISPATCH_METHOD, {Variant::FromDispatch(bag.Get())}, &passed), S_OK);
    EXCEPINFO info;
    ASSERT_EQ(Call(object.Get(), 5, DISPATCH_METHOD, {Variant(QStringLiteral("x"))}, nullptr, &info),
              DISP_E_EXCEPTION);
    TTestComponent component;
    ComPtr<IDispatch> face = component.DispatchRef();
    ASSERT_EQ(Call(face.Get(), 1, DISPATCH_METHOD, {}, nullptr), S_OK);
    ASSERT_TRUE(face.As<IAutoObjectRef>());
  }
  EXPECT_EQ(TCustomAutoObject::LiveObjects(), before);
}

TEST(AutoObjectLifetime, CountsAreSafeAcrossThreads) {
  ComPtr<TTestObject> object = MakeAutoObject<TTestObject>();
  auto churn = [&] {
    for (int i = 0; i < 100000; ++i) ComPtr<IDispatch> extra(object.Get());
  };
  std::thread a(churn), b(churn);
  a.join();
  b.join();
  EXPECT_EQ(object->RefCount(), 1u);
}

TEST(ComPtr, AdoptDetachAndOutParameters) {
  ComPtr<TTestObject> object = MakeAutoObject<TTestObject>();
  ComPtr<IDispatch> viaQuery;
  ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(viaQuery.ReleaseAndGetAddressOf())), S_OK);
  EXPECT_EQ(object->RefCount(), 2u);
  ComPtr<IDispatch> adopted = ComPtr<IDispatch>::Adopt(viaQuery.Detach());
  EXPECT_FALSE(viaQuery);
  EXPECT_EQ(object->RefCount(), 2u);
  adopted = nullptr;
  EXPECT_EQ(object->RefCount(), 1u);
  ComPtr<TTestObject> moved = std::move(object);
  EXPECT_FALSE(object);
  EXPECT_EQ(moved->RefCount(), 1u);
}

}  // namespace
}  // namespace pw::tests
