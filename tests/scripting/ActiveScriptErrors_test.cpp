// Script errors as the host reports them: kind, description, zero-based line, position and the
// line's text; once per error, wherever the failing code was called from.
#include <gtest/gtest.h>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"

namespace pw::tests {
namespace {

using namespace Qt::StringLiterals;

class ScriptErrorTest : public HostTest {
 protected:
  void SetUp() override { Open(false); }
};

enum class RunBy { AddCode, Start, Evaluate };

TEST_F(ScriptErrorTest, EachErrorIsReportedOnceWithItsPlace) {
  // The assembled project script starts with an empty line, so the third line of the first
  // file is line 3; Line is -1 where a thrown value tells no place.
  const struct {
    QString code;
    RunBy by;
    QString source;  // empty: not checked
    QString description;
    int line;
    QString lineText;
  } cases[] = {
      {u"\nvar a = 1;\nvar b = ;\n"_s, RunBy::AddCode, u"SyntaxError"_s, {}, 2, u"var b = ;"_s},
      {u"\nvar a = 1;\nvar b = 2;\n  missing.x = 1;\nvar c;\r\n"_s, RunBy::Start, u"ReferenceError"_s,
       u"Can't find variable: missing"_s, 3, u"  missing.x = 1;"_s},
      // A native exception names the class that raised it.
      {u"\nprobe.Fail('disk full');"_s, RunBy::Start, u"TProbe"_s, u"disk full"_s, 1, {}},
      // Thrown inside a callback of native code: at the line where it was thrown.
      {u"\n\nprobe.Call(function () {\n  null.boom;\n}, 0);"_s, RunBy::Start, u"TypeError"_s, {}, 3, {}},
      {u"throw 'plain words'"_s, RunBy::Evaluate, {}, u"plain words"_s, -1, {}},
      {u"throw {line: 1e300, column: -5, message: 'odd'}"_s, RunBy::Evaluate, {}, u"odd"_s, -1, {}},
      // A plain object's "line" is its own business, not a place in the script.
      {u"\nthrow {line: 1, column: 2, message: 'plain'}"_s, RunBy::Evaluate, {}, u"plain"_s, -1, {}},
      {u"throw {get message() { throw 1; }}"_s, RunBy::Evaluate, {}, {}, -1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code.toStdString());
    ASSERT_EQ(FHost.SetLanguage(u"JavaScript"_s), S_OK);
    FLog.Errors.clear();
    HRESULT hr = c.by == RunBy::Evaluate ? FHost.Evaluate(c.code, nullptr) : FHost.AddCode(c.code);
    if (c.by == RunBy::Start) {
      EXPECT_EQ(hr, S_OK);
      hr = FHost.Start();
    }
    EXPECT_EQ(hr, SCRIPT_E_REPORTED);
    ASSERT_EQ(FLog.Errors.size(), 1u);
    const TScriptError& error = FLog.Errors[0];
    EXPECT_EQ(error.Source, c.source.isEmpty() ? error.Source : c.source);
    EXPECT_EQ(error.Description, c.description.isEmpty() ? error.Description : c.description);
    EXPECT_FALSE(error.Description.isEmpty());
    EXPECT_EQ(error.Line, c.line);
    EXPECT_EQ(error.SourceLineText, c.lineText.isEmpty() && c.line >= 0 ? error.SourceLineText : c.lineText);
    if (c.by == RunBy::AddCode) {
      // Text that does not parse never runs; the engine stays usable.
      EXPECT_EQ(FHost.Start(), S_OK);
      EXPECT_EQ(FLog.Errors.size(), 1u);
    }
  }
}

TEST_F(ScriptErrorTest, ErrorInsideAFunctionCalledByTheHost) {
  Run(u"function first() {}\n\nfunction broken(x) {\n  return x.y.z;\n}\n"_s);
  ASSERT_EQ(FHost.Start(), S_OK);
  EXPECT_FALSE(FHost.CallFunction(u"broken"_s, {Variant(std::int32_t{1})}));
  ASSERT_EQ(FLog.Errors.size(), 1u);
  EXPECT_EQ(FLog.Errors[0].Source, u"TypeError"_s);
  EXPECT_EQ(FLog.Errors[0].Line, 3);
  EXPECT_GE(FLog.Errors[0].CharPosition, 2);
  EXPECT_EQ(FLog.Errors[0].SourceLineText, u"  return x.y.z;"_s);
  // Code added later has its own lines, counted from its own first line.
  EXPECT_EQ(FHost.AddCode(u"\nthrow new Error('second');"_s), SCRIPT_E_REPORTED);
  ASSERT_EQ(FLog.Errors.size(), 2u);
  EXPECT_EQ(FLog.Errors[1].Description, u"second"_s);
  EXPECT_EQ(FLog.Errors[1].Line, 1);
}

TEST_F(ScriptErrorTest, AHookThatThrowsIsReportedOnceToNativeCaller) {
  Variant hook = Eval(u"(function () {\n  throw new Error('hook failed');\n})"_s);
  Variant result;
  EXPECT_EQ(CallDispatch(hook.DispatchValue(), DISPID_VALUE, nullptr, 0, nullptr, &result), SCRIPT_E_REPORTED);
  ASSERT_EQ(FLog.Errors.size(), 1u);
  EXPECT_EQ(FLog.Errors[0].Description, u"hook failed"_s);
  EXPECT_EQ(FLog.Errors[0].Line, 1);
  // The exception record, when asked for, carries the description too.
  EXCEPINFO info;
  EXPECT_EQ(InvokeWith(hook.DispatchValue(), DISPID_VALUE, DISPATCH_METHOD, Args(), nullptr, &info), SCRIPT_E_REPORTED);
  EXPECT_EQ(info.bstrDescription, u"hook failed"_s);
}

TEST_F(ScriptErrorTest, AnExceptionThroughNativeCodeReachesTheScriptUnchanged) {
  EXPECT_EQ(Text(u"try { probe.Call(function (x) { throw new RangeError('deep ' + x); }, 1); 'no' }\n"
                 u"catch (e) { (e instanceof RangeError) + ':' + e.message }"_s),
            u"true:deep 1"_s);
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(ScriptErrorTest, SyntaxErrorsTellTheirPosition) {
  const struct {
    QString code;
    int line;
    int position;
  } cases[] = {
      {u"\nvar a = 1;\nvar b = ;\n"_s, 2, 8},
      {u"var x = 1;\n  foo bar baz"_s, 1, 6},
      {u"x = 1; y = ;"_s, 0, 11},
      {u"x = ; y = 2;"_s, 0, 4},
      {u"if ("_s, 0, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code.toStdString());
    FLog.Errors.clear();
    EXPECT_EQ(FHost.AddCode(c.code), SCRIPT_E_REPORTED);
    ASSERT_EQ(FLog.Errors.size(), 1u);
    EXPECT_EQ(FLog.Errors[0].Line, c.line);
    EXPECT_EQ(FLog.Errors[0].CharPosition, c.position);
  }
}

// An exception thrown by a script function that native code called is reported exactly once:
// to the script when the native code passes it on, or else to the error handler.
TEST_F(ScriptErrorTest, ACallbackErrorIsReportedOnceWhateverTheNativeCodeDoesWithIt) {
  ASSERT_EQ(FHost.Start(), S_OK);
  // Ignored by the native method: reported, and the script goes on.
  Run(u"probe.CallAndIgnore(function () {\n  throw new Error('ignored');\n});\nprobe.Touch();"_s);
  ASSERT_EQ(FLog.Errors.size(), 1u);
  EXPECT_EQ(FLog.Errors[0].Description, u"ignored"_s);
  EXPECT_EQ(FLog.Errors[0].Line, 1);
  EXPECT_EQ(FProbe->FTouched, 1);
  // Replaced by the native method's own error: the script sees that one.
  FLog.Errors.clear();
  EXPECT_EQ(Text(u"try { probe.CallOwn(function () { throw new Error('inner'); }); 'no' } catch (e) { e.message }"_s),
            u"own failure"_s);
  ASSERT_EQ(FLog.Errors.size(), 1u);
  EXPECT_EQ(FLog.Errors[0].Description, u"inner"_s);
  // Host calls made while a script runs, as build hooks are called: one report per call.
  FLog.Errors.clear();
  auto closer = MakeAutoObject<TCloser>();
  ASSERT_EQ(FHost.AddItem(u"closer"_s, closer->AsDispatch(), false), S_OK);
  std::vector<bool> called;
  closer->FAction = [&] {
    called.push_back(FHost.CallFunction(u"hook"_s, {Variant(u"first"_s)}));
    called.push_back(FHost.CallFunction(u"hook"_s, {Variant(u"second"_s)}));
  };
  Run(u"function hook(x) { throw new Error('hook ' + x); }\ncloser.Act(); probe.Touch();"_s);
  EXPECT_EQ(called, (std::vector<bool>{false, false}));
  ASSERT_EQ(FLog.Errors.size(), 2u);
  EXPECT_EQ(FLog.Errors[0].Description, u"hook first"_s);
  EXPECT_EQ(FLog.Errors[1].Description, u"hook second"_s);
  EXPECT_EQ(FProbe->FTouched, 2);
  closer->FAction = nullptr;
}

TEST_F(ScriptErrorTest, AnErrorReportedByAnotherEngineIsNotReportedAgain) {
  Run(u"function failing() {\n  throw new Error('main failed');\n}"_s);
  ComPtr<IDispatch> global;
  ASSERT_EQ(FHost.GetScriptDispatch(QString(), global), S_OK);
  ErrorLog otherLog;
  TActiveScript other;
  other.OnScriptError = otherLog.Handler();
  ASSERT_EQ(other.AddItem(u"caller"_s, global.Get(), true), S_OK);
  ASSERT_EQ(other.SetLanguage(u"JavaScript"_s), S_OK);
  EXPECT_EQ(other.AddCode(u"failing();"_s), S_OK);
  EXPECT_EQ(other.Start(), SCRIPT_E_REPORTED);
  ASSERT_EQ(FLog.Errors.size(), 1u);
  EXPECT_EQ(FLog.Errors[0].Description, u"main failed"_s);
  EXPECT_TRUE(otherLog.Errors.empty());
  // The other engine sees the main script's globals through the item.
  Run(u"var shared = 'from main';"_s);
  Variant value;
  ASSERT_EQ(other.Evaluate(u"shared + '!'"_s, &value), S_OK);
  EXPECT_EQ(value, Variant(u"from main!"_s));
}

TEST_F(ScriptErrorTest, AHandlerMayCloseTheHostWhileTheScriptRuns) {
  FHost.OnScriptError = [this](const TScriptError& error) {
    FLog.Errors.push_back(error);
    FHost.Close();
  };
  Run(u"function later() { probe.Touch(); }\nlater();\nnull.x;"_s);
  EXPECT_EQ(FHost.Start(), SCRIPT_E_REPORTED);
  EXPECT_EQ(FLog.Errors.size(), 1u);
  EXPECT_EQ(FProbe->FTouched, 1);
  EXPECT_FALSE(FHost.IsStarted());
  EXPECT_EQ(FHost.AddCode(u"later();"_s), E_FAIL);
}

TEST_F(ScriptErrorTest, NoHandlerDropsErrorsQuietly) {
  FHost.OnScriptError = nullptr;
  EXPECT_EQ(FHost.AddCode(u"var = ;"_s), SCRIPT_E_REPORTED);
  EXPECT_EQ(FHost.Evaluate(u"null.x"_s, nullptr), SCRIPT_E_REPORTED);
}

}  // namespace
}  // namespace pw::tests
