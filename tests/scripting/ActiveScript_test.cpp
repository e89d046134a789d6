// The host's own operations: languages, items, code, starting, calling, closing.
#include <gtest/gtest.h>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"

namespace pw::testing {
namespace {

class ActiveScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe = MakeAutoObject<TProbe>();
    host.OnScriptError = log.Handler();
  }

  // Evaluates an expression and returns its value as text.
  QString Eval(const QString& expression) {
    Variant result;
    EXPECT_EQ(host.Evaluate(expression, &result), S_OK) << expression.toStdString();
    Variant text;
    if (FAILED(VariantChangeTypeEx(text, result, 0, VARIANT_ALPHABOOL, VT_BSTR))) {
      return QStringLiteral("<") + result.DebugString() + QStringLiteral(">");
    }
    return text.StringValue();
  }

  ComPtr<TProbe> probe;
  ErrorLog log;
  TActiveScript host;
};

TEST_F(ActiveScriptTest, OperationsWithoutEngineFail) {
  EXPECT_EQ(host.Close(), E_FAIL);
  EXPECT_EQ(host.AddCode(QStringLiteral("var a = 1;")), E_FAIL);
  EXPECT_EQ(host.Evaluate(QStringLiteral("1"), nullptr), E_FAIL);
  EXPECT_EQ(host.Start(), E_FAIL);
  EXPECT_EQ(host.Interrupt(), E_FAIL);
  ComPtr<IDispatch> global;
  EXPECT_EQ(host.GetScriptDispatch(QString(), global), E_FAIL);
  EXPECT_FALSE(global);
  EXPECT_FALSE(host.IsStarted());
  EXPECT_FALSE(host.FunctionExists(QStringLiteral("build")));
  EXPECT_FALSE(host.CallFunction(QStringLiteral("build"), {}));
  // Closing twice: the second finds no engine and changes nothing.
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  EXPECT_EQ(host.Close(), S_OK);
  EXPECT_EQ(host.Close(), E_FAIL);
}

TEST_F(ActiveScriptTest, UnknownLanguageChangesNothing) {
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  ASSERT_EQ(host.AddCode(QStringLiteral("var kept = 42;")), S_OK);
  EXPECT_EQ(host.SetLanguage(QStringLiteral("VBScript")), CO_E_CLASSSTRING);
  EXPECT_EQ(Eval(QStringLiteral("kept")), QStringLiteral("42"));
  // The name is not case-sensitive.
  EXPECT_EQ(host.SetLanguage(QStringLiteral("javascript")), S_OK);
}

TEST_F(ActiveScriptTest, ItemsAddedBeforeTheEngineAreThereAndSurviveSetLanguage) {
  ASSERT_EQ(host.AddItem(QStringLiteral("Probe"), probe->AsDispatch(), false), S_OK);
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  ASSERT_EQ(host.AddCode(QStringLiteral("var mine = Probe.Add(2, 3);")), S_OK);
  EXPECT_EQ(Eval(QStringLiteral("mine")), QStringLiteral("5"));

  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  EXPECT_FALSE(host.IsStarted());
  EXPECT_EQ(Eval(QStringLiteral("typeof mine")), QStringLiteral("undefined"));
  EXPECT_EQ(Eval(QStringLiteral("Probe.Add(4, 5)")), QStringLiteral("9"));
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(ActiveScriptTest, AddingAnItemTwiceKeepsOneEntryWithTheLatestObjectAndFlags) {
  auto other = MakeAutoObject<TProbe>();
  other->name = QStringLiteral("other");
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  ASSERT_EQ(host.AddItem(QStringLiteral("Probe"), probe->AsDispatch(), false), S_OK);
  ASSERT_EQ(host.AddItem(QStringLiteral("Probe"), other->AsDispatch(), true), S_OK);
  ASSERT_EQ(host.Items().Count(), 1);
  EXPECT_EQ(host.Items()[0].Flags, SCRIPTITEM_GLOBALMEMBERS);
  // Now global members: the name is gone, the members are bare globals of the new object.
  EXPECT_EQ(Eval(QStringLiteral("typeof Probe")), QStringLiteral("undefined"));
  EXPECT_EQ(Eval(QStringLiteral("Name")), QStringLiteral("other"));
  // Names compare exactly: another case is another item.
  ASSERT_EQ(host.AddItem(QStringLiteral("probe"), probe->AsDispatch(), false), S_OK);
  EXPECT_EQ(host.Items().Count(), 2);
  EXPECT_EQ(host.Items()[1].Flags, SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE);
}

TEST_F(ActiveScriptTest, GlobalMembersAreBareNamesAfterTheScriptsOwnGlobals) {
  ASSERT_EQ(host.AddItem(QStringLiteral("Runtime"), probe->AsDispatch(), true), S_OK);
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  EXPECT_EQ(Eval(QStringLiteral("Add(20, 22)")), QStringLiteral("42"));
  EXPECT_EQ(Eval(QStringLiteral("typeof Runtime")), QStringLiteral("undefined"));
  EXPECT_EQ(Eval(QStringLiteral("Name")), QStringLiteral("first"));
  // A bare assignment writes the member.
  ASSERT_EQ(host.AddCode(QStringLiteral("Name = 'second';")), S_OK);
  EXPECT_EQ(probe->name, QStringLiteral("second"));
  // The script's own function of the same name wins; built-ins stay untouched.
  ASSERT_EQ(host.AddCode(QStringLiteral("function Add(a, b) { return 'mine'; }")), S_OK);
  EXPECT_EQ(Eval(QStringLiteral("Add(1, 2)")), QStringLiteral("mine"));
  EXPECT_EQ(Eval(QStringLiteral("Math.max(1, 2)")), QStringLiteral("2"));
  // Two global-members items: the first one added that knows the name answers.
  auto second = MakeAutoObject<TProbe>();
  second->name = QStringLiteral("from second");
  ASSERT_EQ(host.AddItem(QStringLiteral("Module"), second->AsDispatch(), true), S_OK);
  EXPECT_EQ(Eval(QStringLiteral("Name")), QStringLiteral("second"));
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(ActiveScriptTest, CodeBeforeStartWaitsAndCodeAfterRunsAtOnce) {
  ASSERT_EQ(host.AddItem(QStringLiteral("Probe"), probe->AsDispatch(), false), S_OK);
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  ASSERT_EQ(host.AddCode(QStringLiteral("Probe.Touch();")), S_OK);
  ASSERT_EQ(host.AddCode(QStringLiteral("Probe.Touch();")), S_OK);
  EXPECT_EQ(probe->touched, 0);
  EXPECT_FALSE(host.IsStarted());
  ASSERT_EQ(host.Start(), S_OK);
  EXPECT_TRUE(host.IsStarted());
  EXPECT_EQ(probe->touched, 2);
  ASSERT_EQ(host.Start(), S_OK);  // a second start runs nothing again
  EXPECT_EQ(probe->touched, 2);
  ASSERT_EQ(host.AddCode(QStringLiteral("Probe.Touch();")), S_OK);
  EXPECT_EQ(probe->touched, 3);
}

TEST_F(ActiveScriptTest, CallFunctionNeedsAStartedEngine) {
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  ASSERT_EQ(host.AddCode(QStringLiteral("function twice(x) { return x * 2; }")), S_OK);
  Variant result;
  EXPECT_FALSE(host.CallFunction(QStringLiteral("twice"), {Variant(std::int32_t{4})}, nullptr,
                                 &result));
  EXPECT_FALSE(host.IsStarted());  // calling never starts the engine
  ASSERT_EQ(host.Start(), S_OK);
  ASSERT_TRUE(host.CallFunction(QStringLiteral("twice"), {Variant(std::int32_t{4})}, nullptr,
                                &result));
  EXPECT_EQ(result, Variant(std::int32_t{8}));
  EXPECT_FALSE(host.CallFunction(QStringLiteral("missing"), {}));
  // The spelled-out form: arguments up to the last index.
  Variant args[] = {Variant(std::int32_t{5}), Variant(std::int32_t{6})};
  ASSERT_TRUE(host.CallFunction(QStringLiteral("twice"), args, 0, nullptr, &result));
  EXPECT_EQ(result, Variant(std::int32_t{10}));
}

TEST_F(ActiveScriptTest, CallFunctionPassesThisAndArgumentsInOrder) {
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  ASSERT_EQ(host.AddCode(QStringLiteral(
                "function describe(a, b) { return this.Name + ':' + a + ',' + b; }\n"
                "function self() { return this; }")),
            S_OK);
  ASSERT_EQ(host.Start(), S_OK);
  Variant result;
  ASSERT_TRUE(host.CallFunction(QStringLiteral("describe"),
                                {Variant(QStringLiteral("x")), Variant(std::int32_t{2})},
                                probe->AsDispatch(), &result));
  EXPECT_EQ(result, Variant(QStringLiteral("first:x,2")));
  // `this` comes back as the very native object.
  ASSERT_TRUE(host.CallFunction(QStringLiteral("self"), {}, probe->AsDispatch(), &result));
  EXPECT_EQ(result.DispatchValue(), static_cast<IDispatch*>(probe->AsDispatch()));
}

TEST_F(ActiveScriptTest, FunctionExistsResolvesNamesOnly) {
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  ASSERT_EQ(host.AddCode(QStringLiteral("var build = 3; function preview() {}")), S_OK);
  EXPECT_FALSE(host.FunctionExists(QStringLiteral("build")));  // not started yet
  ASSERT_EQ(host.Start(), S_OK);
  EXPECT_TRUE(host.FunctionExists(QStringLiteral("build")));
  EXPECT_TRUE(host.FunctionExists(QStringLiteral("preview")));
  EXPECT_FALSE(host.FunctionExists(QStringLiteral("_build")));
  EXPECT_FALSE(host.FunctionExists(QStringLiteral("Build")));
  // Calling a variable that is no function fails without a crash.
  EXPECT_FALSE(host.CallFunction(QStringLiteral("build"), {}));
}

TEST_F(ActiveScriptTest, EvaluateStartsTheEngine) {
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  ASSERT_EQ(host.AddCode(QStringLiteral("var base = 40;")), S_OK);
  EXPECT_EQ(Eval(QStringLiteral("base + 2")), QStringLiteral("42"));
  EXPECT_TRUE(host.IsStarted());
  EXPECT_EQ(host.Evaluate(QStringLiteral("base"), nullptr), S_OK);
}

TEST_F(ActiveScriptTest, GetScriptDispatchReachesTheGlobals) {
  ASSERT_EQ(host.AddItem(QStringLiteral("Runtime"), probe->AsDispatch(), true), S_OK);
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  ASSERT_EQ(host.AddCode(QStringLiteral("var answer = 42;")), S_OK);
  ComPtr<IDispatch> global;
  EXPECT_EQ(host.GetScriptDispatch(QStringLiteral("Nowhere"), global), E_INVALIDARG);
  ASSERT_EQ(host.GetScriptDispatch(QStringLiteral("Runtime"), global), S_OK);
  ASSERT_EQ(host.GetScriptDispatch(QString(), global), S_OK);
  EXPECT_TRUE(host.IsStarted());
  QString name = QStringLiteral("answer");
  DISPID id = DISPID_UNKNOWN;
  ASSERT_EQ(global->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  Variant value;
  DISPPARAMS none;
  ASSERT_EQ(global->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(value, Variant(std::int32_t{42}));
  // Members of global-members items are reachable through it too.
  name = QStringLiteral("Add");
  EXPECT_EQ(global->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
}

TEST_F(ActiveScriptTest, CopyItemsAndClearItems) {
  ASSERT_EQ(host.AddItem(QStringLiteral("Runtime"), probe->AsDispatch(), true), S_OK);
  ASSERT_EQ(host.AddItem(QStringLiteral("Probe"), probe->AsDispatch(), false), S_OK);
  TActiveScript copy;
  ASSERT_EQ(copy.AddItem(QStringLiteral("Old"), probe->AsDispatch(), false), S_OK);
  copy.CopyItems(host);
  ASSERT_EQ(copy.Items().Count(), 2);
  EXPECT_EQ(copy.Items()[0].Name, QStringLiteral("Runtime"));
  EXPECT_EQ(copy.Items()[1].Name, QStringLiteral("Probe"));
  ASSERT_EQ(copy.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  Variant result;
  ASSERT_EQ(copy.Evaluate(QStringLiteral("Add(1, Probe.Add(1, 1))"), &result), S_OK);
  EXPECT_EQ(result, Variant(std::int32_t{3}));
  // The live engine keeps what it was given.
  copy.ClearItems();
  EXPECT_EQ(copy.Items().Count(), 0);
  ASSERT_EQ(copy.Evaluate(QStringLiteral("Probe.Add(2, 2)"), &result), S_OK);
  EXPECT_EQ(result, Variant(std::int32_t{4}));
}

TEST_F(ActiveScriptTest, ItemsHoldOneReferenceEach) {
  std::uint32_t before = probe->RefCount();
  {
    TActiveScript local;
    ASSERT_EQ(local.AddItem(QStringLiteral("Probe"), probe->AsDispatch(), false), S_OK);
    EXPECT_EQ(probe->RefCount(), before + 1);
    ASSERT_EQ(local.SetLanguage(QStringLiteral("JavaScript")), S_OK);
    ASSERT_EQ(local.AddCode(QStringLiteral("var keep = Probe; keep.Touch();")), S_OK);
    ASSERT_EQ(local.Start(), S_OK);
  }
  EXPECT_EQ(probe->RefCount(), before);
  EXPECT_EQ(probe->touched, 1);
}

TEST_F(ActiveScriptTest, AnItemThatIsNoDispatchObjectIsKeptButRefused) {
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  EXPECT_EQ(host.AddItem(QString(), probe->AsDispatch(), false), E_INVALIDARG);
  EXPECT_EQ(host.AddItem(QStringLiteral("Nothing"), nullptr, false), E_INVALIDARG);
  EXPECT_EQ(host.Items().Count(), 0);
}

}  // namespace
}  // namespace pw::testing
