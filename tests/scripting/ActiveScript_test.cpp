// The host's own operations: languages, items, code, starting, calling, closing.
#include <gtest/gtest.h>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"

namespace pw::tests {
namespace {

using namespace Qt::StringLiterals;

class ActiveScriptTest : public HostTest {
 protected:
  HRESULT Js() { return FHost.SetLanguage(u"JavaScript"_s); }
};

TEST_F(ActiveScriptTest, OperationsWithoutEngineFail) {
  EXPECT_EQ(FHost.Close(), E_FAIL);
  EXPECT_EQ(FHost.AddCode(u"var a = 1;"_s), E_FAIL);
  EXPECT_EQ(FHost.Evaluate(u"1"_s, nullptr), E_FAIL);
  EXPECT_EQ(FHost.Start(), E_FAIL);
  EXPECT_EQ(FHost.Interrupt(), E_FAIL);
  ComPtr<IDispatch> global;
  EXPECT_EQ(FHost.GetScriptDispatch(QString(), global), E_FAIL);
  EXPECT_FALSE(global);
  EXPECT_FALSE(FHost.IsStarted());
  EXPECT_FALSE(FHost.FunctionExists(u"build"_s));
  EXPECT_FALSE(FHost.CallFunction(u"build"_s, {}));
  // Closing twice: the second finds no engine and changes nothing.
  ASSERT_EQ(Js(), S_OK);
  EXPECT_EQ(FHost.Close(), S_OK);
  EXPECT_EQ(FHost.Close(), E_FAIL);
}

TEST_F(ActiveScriptTest, UnknownLanguageChangesNothing) {
  ASSERT_EQ(Js(), S_OK);
  Run(u"var kept = 42;"_s);
  EXPECT_EQ(FHost.SetLanguage(u"VBScript"_s), CO_E_CLASSSTRING);
  EXPECT_EQ(Text(u"kept"_s), u"42"_s);
  // The name is not case-sensitive.
  EXPECT_EQ(FHost.SetLanguage(u"javascript"_s), S_OK);
}

TEST_F(ActiveScriptTest, ItemsAddedBeforeTheEngineAreThereAndSurviveSetLanguage) {
  ASSERT_EQ(FHost.AddItem(u"Probe"_s, FProbe->AsDispatch(), false), S_OK);
  ASSERT_EQ(Js(), S_OK);
  Run(u"var mine = Probe.Add(2, 3);"_s);
  EXPECT_EQ(Text(u"mine"_s), u"5"_s);
  // A second SetLanguage starts afresh, with the same items.
  ASSERT_EQ(Js(), S_OK);
  EXPECT_FALSE(FHost.IsStarted());
  EXPECT_EQ(Text(u"typeof mine"_s), u"undefined"_s);
  EXPECT_EQ(Text(u"Probe.Add(4, 5)"_s), u"9"_s);
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(ActiveScriptTest, AddingAnItemTwiceKeepsOneEntryWithTheLatestObjectAndFlags) {
  auto other = MakeAutoObject<TProbe>();
  other->FName = u"other"_s;
  ASSERT_EQ(Js(), S_OK);
  ASSERT_EQ(FHost.AddItem(u"Probe"_s, FProbe->AsDispatch(), false), S_OK);
  ASSERT_EQ(FHost.AddItem(u"Probe"_s, other->AsDispatch(), true), S_OK);
  ASSERT_EQ(FHost.Items().Count(), 1);
  EXPECT_EQ(FHost.Items()[0].Flags, SCRIPTITEM_GLOBALMEMBERS);
  // Now global members: the name is gone, the members are bare globals of the new object.
  EXPECT_EQ(Text(u"typeof Probe"_s), u"undefined"_s);
  EXPECT_EQ(Text(u"Name"_s), u"other"_s);
  // Names compare exactly: another case is another item.
  ASSERT_EQ(FHost.AddItem(u"probe"_s, FProbe->AsDispatch(), false), S_OK);
  EXPECT_EQ(FHost.Items().Count(), 2);
  EXPECT_EQ(FHost.Items()[1].Flags, SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE);
  // Items without a name or an object are refused.
  EXPECT_EQ(FHost.AddItem(QString(), FProbe->AsDispatch(), false), E_INVALIDARG);
  EXPECT_EQ(FHost.AddItem(u"Nothing"_s, nullptr, false), E_INVALIDARG);
  EXPECT_EQ(FHost.Items().Count(), 2);
}

TEST_F(ActiveScriptTest, GlobalMembersAreBareNamesAfterTheScriptsOwnGlobals) {
  ASSERT_EQ(FHost.AddItem(u"Runtime"_s, FProbe->AsDispatch(), true), S_OK);
  ASSERT_EQ(Js(), S_OK);
  EXPECT_EQ(Text(u"Add(20, 22)"_s), u"42"_s);
  EXPECT_EQ(Text(u"typeof Runtime"_s), u"undefined"_s);
  EXPECT_EQ(Text(u"Name"_s), u"first"_s);
  // A bare assignment writes the member.
  Run(u"Name = 'second';"_s);
  EXPECT_EQ(FProbe->FName, u"second"_s);
  // The script's own function of the same name wins; built-ins stay untouched.
  Run(u"function Add(a, b) { return 'mine'; }"_s);
  EXPECT_EQ(Text(u"Add(1, 2)"_s), u"mine"_s);
  EXPECT_EQ(Text(u"Math.max(1, 2)"_s), u"2"_s);
  // Two global-members items: the first one added that knows the name answers.
  auto second = MakeAutoObject<TProbe>();
  second->FName = u"from second"_s;
  ASSERT_EQ(FHost.AddItem(u"Module"_s, second->AsDispatch(), true), S_OK);
  EXPECT_EQ(Text(u"Name"_s), u"second"_s);
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(ActiveScriptTest, CodeBeforeStartWaitsAndCodeAfterRunsAtOnce) {
  Open(false);
  Run(u"probe.Touch();"_s);
  Run(u"probe.Touch();"_s);
  EXPECT_EQ(FProbe->FTouched, 0);
  EXPECT_FALSE(FHost.IsStarted());
  ASSERT_EQ(FHost.Start(), S_OK);
  EXPECT_TRUE(FHost.IsStarted());
  EXPECT_EQ(FProbe->FTouched, 2);
  ASSERT_EQ(FHost.Start(), S_OK);  // a second start runs nothing again
  EXPECT_EQ(FProbe->FTouched, 2);
  Run(u"probe.Touch();"_s);
  EXPECT_EQ(FProbe->FTouched, 3);
  // Evaluate starts the engine too.
  ASSERT_EQ(Js(), S_OK);
  Run(u"var base = 40;"_s);
  EXPECT_EQ(Text(u"base + 2"_s), u"42"_s);
  EXPECT_TRUE(FHost.IsStarted());
}

TEST_F(ActiveScriptTest, CallFunctionNeedsAStartedEngineAndPassesThisAndArguments) {
  Open(false);
  Run(u"function twice(x) { return x * 2; }\n"
      u"function describe(a, b) { return this.Name + ':' + a + ',' + b; }\n"
      u"function self() { return this; }"_s);
  Variant result;
  EXPECT_FALSE(FHost.CallFunction(u"twice"_s, {Variant(std::int32_t{4})}, nullptr, &result));
  EXPECT_FALSE(FHost.IsStarted());  // calling never starts the engine
  ASSERT_EQ(FHost.Start(), S_OK);
  ASSERT_TRUE(FHost.CallFunction(u"twice"_s, {Variant(std::int32_t{4})}, nullptr, &result));
  EXPECT_EQ(result, Variant(std::int32_t{8}));
  EXPECT_FALSE(FHost.CallFunction(u"missing"_s, {}));
  // The spelled-out form: arguments up to the last index.
  Variant args[] = {Variant(std::int32_t{5}), Variant(std::int32_t{6})};
  ASSERT_TRUE(FHost.CallFunction(u"twice"_s, args, 0, nullptr, &result));
  EXPECT_EQ(result, Variant(std::int32_t{10}));

  ASSERT_TRUE(FHost.CallFunction(u"describe"_s, {Variant(u"x"_s), Variant(std::int32_t{2})},
                                FProbe->AsDispatch(), &result));
  EXPECT_EQ(result, Variant(u"first:x,2"_s));
  // `this` comes back as the very native object.
  ASSERT_TRUE(FHost.CallFunction(u"self"_s, {}, FProbe->AsDispatch(), &result));
  EXPECT_EQ(result.DispatchValue(), static_cast<IDispatch*>(FProbe->AsDispatch()));
}

TEST_F(ActiveScriptTest, FunctionExistsResolvesNamesOnly) {
  ASSERT_EQ(Js(), S_OK);
  Run(u"var build = 3; function preview() {}"_s);
  EXPECT_FALSE(FHost.FunctionExists(u"build"_s));  // not started yet
  ASSERT_EQ(FHost.Start(), S_OK);
  EXPECT_TRUE(FHost.FunctionExists(u"build"_s));
  EXPECT_TRUE(FHost.FunctionExists(u"preview"_s));
  EXPECT_FALSE(FHost.FunctionExists(u"_build"_s));
  EXPECT_FALSE(FHost.FunctionExists(u"Build"_s));
  // Calling a variable that is no function fails without a crash.
  EXPECT_FALSE(FHost.CallFunction(u"build"_s, {}));
}

TEST_F(ActiveScriptTest, GetScriptDispatchReachesTheGlobals) {
  ASSERT_EQ(FHost.AddItem(u"Runtime"_s, FProbe->AsDispatch(), true), S_OK);
  ASSERT_EQ(Js(), S_OK);
  Run(u"var answer = 42;"_s);
  ComPtr<IDispatch> global;
  EXPECT_EQ(FHost.GetScriptDispatch(u"Nowhere"_s, global), E_INVALIDARG);
  ASSERT_EQ(FHost.GetScriptDispatch(u"Runtime"_s, global), S_OK);
  ASSERT_EQ(FHost.GetScriptDispatch(QString(), global), S_OK);
  EXPECT_TRUE(FHost.IsStarted());
  Variant value;
  ASSERT_EQ(InvokeWith(global.Get(), IdOf(global.Get(), u"answer"_s), DISPATCH_PROPERTYGET, Args(), &value), S_OK);
  EXPECT_EQ(value, Variant(std::int32_t{42}));
  // Members of global-members items are reachable through it too.
  EXPECT_NE(IdOf(global.Get(), u"Add"_s), DISPID_UNKNOWN);
}

TEST_F(ActiveScriptTest, CopyItemsAndClearItems) {
  ASSERT_EQ(FHost.AddItem(u"Runtime"_s, FProbe->AsDispatch(), true), S_OK);
  ASSERT_EQ(FHost.AddItem(u"Probe"_s, FProbe->AsDispatch(), false), S_OK);
  TActiveScript copy;
  ASSERT_EQ(copy.AddItem(u"Old"_s, FProbe->AsDispatch(), false), S_OK);
  copy.CopyItems(FHost);
  ASSERT_EQ(copy.Items().Count(), 2);
  EXPECT_EQ(copy.Items()[0].Name, u"Runtime"_s);
  EXPECT_EQ(copy.Items()[1].Name, u"Probe"_s);
  ASSERT_EQ(copy.SetLanguage(u"JavaScript"_s), S_OK);
  Variant result;
  ASSERT_EQ(copy.Evaluate(u"Add(1, Probe.Add(1, 1))"_s, &result), S_OK);
  EXPECT_EQ(result, Variant(std::int32_t{3}));
  // The live engine keeps what it was given.
  copy.ClearItems();
  EXPECT_EQ(copy.Items().Count(), 0);
  ASSERT_EQ(copy.Evaluate(u"Probe.Add(2, 2)"_s, &result), S_OK);
  EXPECT_EQ(result, Variant(std::int32_t{4}));
}

TEST_F(ActiveScriptTest, ItemsHoldOneReferenceEach) {
  const std::uint32_t before = FProbe->RefCount();
  {
    TActiveScript local;
    ASSERT_EQ(local.AddItem(u"Probe"_s, FProbe->AsDispatch(), false), S_OK);
    EXPECT_EQ(FProbe->RefCount(), before + 1);
    ASSERT_EQ(local.SetLanguage(u"JavaScript"_s), S_OK);
    ASSERT_EQ(local.AddCode(u"var keep = Probe; keep.Touch();"_s), S_OK);
    ASSERT_EQ(local.Start(), S_OK);
  }
  EXPECT_EQ(FProbe->RefCount(), before);
  EXPECT_EQ(FProbe->FTouched, 1);
}

}  // namespace
}  // namespace pw::tests
