// Script errors as the host reports them: kind, description, zero-based line, position and the
// line's text; once per error, wherever the failing code was called from.
#include <gtest/gtest.h>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"

namespace pw::testing {
namespace {

class ScriptErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe = MakeAutoObject<TProbe>();
    host.OnScriptError = log.Handler();
    ASSERT_EQ(host.AddItem(QStringLiteral("probe"), probe->AsDispatch(), false), S_OK);
    ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  }

  ComPtr<TProbe> probe;
  ErrorLog log;
  TActiveScript host;
};

TEST_F(ScriptErrorTest, SyntaxErrorIsReportedWhenTheCodeIsParsed) {
  EXPECT_EQ(host.AddCode(QStringLiteral("\nvar a = 1;\nvar b = ;\n")), SCRIPT_E_REPORTED);
  ASSERT_EQ(log.errors.size(), 1u);
  const TScriptError& error = log.errors[0];
  EXPECT_EQ(error.Source, QStringLiteral("SyntaxError"));
  EXPECT_FALSE(error.Description.isEmpty());
  EXPECT_EQ(error.Line, 2);
  EXPECT_EQ(error.SourceLineText, QStringLiteral("var b = ;"));
  // The broken text never runs; the engine stays usable.
  EXPECT_EQ(host.Start(), S_OK);
  EXPECT_EQ(log.errors.size(), 1u);
}

TEST_F(ScriptErrorTest, LinesCountFromTheEmptyFirstLineOfTheAssembledText) {
  // The assembled project script starts with an empty line, so the third line of the first
  // file is line 3.
  ASSERT_EQ(host.AddCode(QStringLiteral("\nvar a = 1;\nvar b = 2;\n  missing.x = 1;\nvar c;\r\n")), S_OK);
  EXPECT_EQ(host.Start(), SCRIPT_E_REPORTED);
  ASSERT_EQ(log.errors.size(), 1u);
  const TScriptError& error = log.errors[0];
  EXPECT_EQ(error.Source, QStringLiteral("ReferenceError"));
  EXPECT_EQ(error.Description, QStringLiteral("Can't find variable: missing"));
  EXPECT_EQ(error.Line, 3);
  EXPECT_GE(error.CharPosition, 2);
  EXPECT_EQ(error.SourceLineText, QStringLiteral("  missing.x = 1;"));
}

TEST_F(ScriptErrorTest, ErrorInsideAFunctionCalledByTheHost) {
  ASSERT_EQ(host.AddCode(QStringLiteral("function first() {}\n\nfunction broken(x) {\n  return x.y.z;\n}\n")), S_OK);
  ASSERT_EQ(host.Start(), S_OK);
  EXPECT_FALSE(host.CallFunction(QStringLiteral("broken"), {Variant(std::int32_t{1})}));
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_EQ(log.errors[0].Source, QStringLiteral("TypeError"));
  EXPECT_EQ(log.errors[0].Line, 3);
  EXPECT_EQ(log.errors[0].SourceLineText, QStringLiteral("  return x.y.z;"));
  // Code added later has its own lines, counted from its own first line.
  EXPECT_EQ(host.AddCode(QStringLiteral("\nthrow new Error('second');")), SCRIPT_E_REPORTED);
  ASSERT_EQ(log.errors.size(), 2u);
  EXPECT_EQ(log.errors[1].Description, QStringLiteral("second"));
  EXPECT_EQ(log.errors[1].Line, 1);
}

TEST_F(ScriptErrorTest, AThrownPlainValueHasNoLine) {
  EXPECT_EQ(host.Evaluate(QStringLiteral("throw 'plain words'"), nullptr), SCRIPT_E_REPORTED);
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_EQ(log.errors[0].Description, QStringLiteral("plain words"));
  EXPECT_EQ(log.errors[0].Line, -1);
  EXPECT_TRUE(log.errors[0].SourceLineText.isEmpty());
}

TEST_F(ScriptErrorTest, AThrownObjectWithOddFieldsIsReportedSafely) {
  EXPECT_EQ(host.Evaluate(QStringLiteral("throw {line: 1e300, column: -5, message: 'odd'}"), nullptr),
            SCRIPT_E_REPORTED);
  EXPECT_EQ(host.Evaluate(QStringLiteral("throw {get message() { throw 1; }}"), nullptr),
            SCRIPT_E_REPORTED);
  ASSERT_EQ(log.errors.size(), 2u);
  EXPECT_EQ(log.errors[0].Description, QStringLiteral("odd"));
  EXPECT_EQ(log.errors[0].Line, -1);
  EXPECT_EQ(log.errors[1].Line, -1);
}

TEST_F(ScriptErrorTest, AnUncaughtNativeExceptionCarriesItsMessage) {
  EXPECT_EQ(host.AddCode(QStringLiteral("\nprobe.Fail('disk full');")), S_OK);
  EXPECT_EQ(host.Start(), SCRIPT_E_REPORTED);
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_EQ(log.errors[0].Description, QStringLiteral("disk full"));
  EXPECT_EQ(log.errors[0].Line, 1);
}

TEST_F(ScriptErrorTest, AHookThatThrowsIsReportedOnceToNativeCaller) {
  Variant hook;
  ASSERT_EQ(host.Evaluate(QStringLiteral("(function () {\n  throw new Error('hook failed');\n})"), &hook), S_OK);
  Variant result;
  EXPECT_EQ(CallDispatch(hook.DispatchValue(), DISPID_VALUE, nullptr, 0, nullptr, &result),
            SCRIPT_E_REPORTED);
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_EQ(log.errors[0].Description, QStringLiteral("hook failed"));
  EXPECT_EQ(log.errors[0].Line, 1);
  // The exception record, when asked for, carries the description too.
  EXCEPINFO info;
  DISPPARAMS none;
  EXPECT_EQ(hook.DispatchValue()->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none,
                                         nullptr, &info, nullptr),
            SCRIPT_E_REPORTED);
  EXPECT_EQ(info.bstrDescription, QStringLiteral("hook failed"));
}

TEST_F(ScriptErrorTest, AnExceptionThroughNativeCodeReachesTheScriptUnchanged) {
  Variant caught;
  ASSERT_EQ(host.Evaluate(QStringLiteral(
                "try { probe.Call(function (x) { throw new RangeError('deep ' + x); }, 1); 'no' }\n"
                "catch (e) { (e instanceof RangeError) + ':' + e.message }"),
            &caught),
            S_OK);
  EXPECT_EQ(caught, Variant(QStringLiteral("true:deep 1")));
  EXPECT_TRUE(log.errors.empty());
  // Uncaught, it is reported once, at the line where it was thrown.
  EXPECT_EQ(host.AddCode(QStringLiteral("\n\nprobe.Call(function () {\n  null.boom;\n}, 0);")),
            SCRIPT_E_REPORTED);
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_EQ(log.errors[0].Line, 3);
  EXPECT_EQ(log.errors[0].Source, QStringLiteral("TypeError"));
}

TEST_F(ScriptErrorTest, AnErrorReportedByAnotherEngineIsNotReportedAgain) {
  ASSERT_EQ(host.AddCode(QStringLiteral("function failing() {\n  throw new Error('main failed');\n}")), S_OK);
  ComPtr<IDispatch> global;
  ASSERT_EQ(host.GetScriptDispatch(QString(), global), S_OK);
  ErrorLog otherLog;
  TActiveScript other;
  other.OnScriptError = otherLog.Handler();
  ASSERT_EQ(other.AddItem(QStringLiteral("caller"), global.Get(), true), S_OK);
  ASSERT_EQ(other.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  EXPECT_EQ(other.AddCode(QStringLiteral("failing();")), S_OK);
  EXPECT_EQ(other.Start(), SCRIPT_E_REPORTED);
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_EQ(log.errors[0].Description, QStringLiteral("main failed"));
  EXPECT_TRUE(otherLog.errors.empty());
  // The other engine sees the main script's globals through the item.
  Variant value;
  ASSERT_EQ(host.AddCode(QStringLiteral("var shared = 'from main';")), S_OK);
  ASSERT_EQ(other.Evaluate(QStringLiteral("shared + '!'"), &value), S_OK);
  EXPECT_EQ(value, Variant(QStringLiteral("from main!")));
}

TEST_F(ScriptErrorTest, AHandlerMayCloseTheHostWhileTheScriptRuns) {
  host.OnScriptError = [this](const TScriptError& error) {
    log.errors.push_back(error);
    host.Close();
  };
  ASSERT_EQ(host.AddCode(QStringLiteral("function later() { probe.Touch(); }\nlater();\nnull.x;")), S_OK);
  EXPECT_EQ(host.Start(), SCRIPT_E_REPORTED);
  EXPECT_EQ(log.errors.size(), 1u);
  EXPECT_EQ(probe->touched, 1);
  EXPECT_FALSE(host.IsStarted());
  EXPECT_EQ(host.AddCode(QStringLiteral("later();")), E_FAIL);
}

TEST_F(ScriptErrorTest, NoHandlerDropsErrorsQuietly) {
  host.OnScriptError = nullptr;
  EXPECT_EQ(host.AddCode(QStringLiteral("var = ;")), SCRIPT_E_REPORTED);
  EXPECT_EQ(host.Evaluate(QStringLiteral("null.x"), nullptr), SCRIPT_E_REPORTED);
}

}  // namespace
}  // namespace pw::testing
