// Native objects seen from scripts and script values seen from native code.
#include <gtest/gtest.h>

#include <QDateTime>

#include <atomic>
#include <stdexcept>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"
#include "scripting/JSDispatch.h"

namespace pw::testing {
namespace {

// A hand-written dispatch object that breaks the rules: every call throws a C++ exception.
class ThrowingDispatch final : public IDispatch {
 public:
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  std::uint32_t AddRef() override { return ++count_; }
  std::uint32_t Release() override {
    std::uint32_t count = --count_;
    if (count == 0) delete this;
    return count;
  }
  HRESULT GetTypeInfoCount(std::uint32_t* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(std::uint32_t, LCID, IUnknown** info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(const IID&, const QString*, std::uint32_t, LCID, DISPID* ids) override {
    ids[0] = 1;
    return S_OK;
  }
  HRESULT Invoke(DISPID, const IID&, LCID, std::uint16_t, DISPPARAMS*, Variant*, EXCEPINFO*,
                 std::uint32_t*) override {
    throw std::runtime_error("rule broken");
  }

 private:
  std::atomic<std::uint32_t> count_{0};
};

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe = MakeAutoObject<TProbe>();
    bag = MakeAutoObject<TTestBag>();
    host.OnScriptError = log.Handler();
    ASSERT_EQ(host.AddItem(QStringLiteral("probe"), probe->AsDispatch(), false), S_OK);
    ASSERT_EQ(host.AddItem(QStringLiteral("bag"), bag->AsDispatch(), false), S_OK);
    ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
    ASSERT_EQ(host.Start(), S_OK);
  }

  Variant Eval(const QString& expression) {
    Variant result;
    EXPECT_EQ(host.Evaluate(expression, &result), S_OK) << expression.toStdString();
    return result;
  }
  QString Text(const QString& expression) { return Eval(expression).StringValue(); }
  void Run(const QString& code) { EXPECT_EQ(host.AddCode(code), S_OK) << code.toStdString(); }

  ComPtr<TProbe> probe;
  ComPtr<TTestBag> bag;
  ErrorLog log;
  TActiveScript host;
};

TEST_F(BridgeTest, PropertiesReadAndWrite) {
  EXPECT_EQ(Text(QStringLiteral("probe.Name")), QStringLiteral("first"));
  Run(QStringLiteral("probe.Name = 'renamed';"));
  EXPECT_EQ(probe->name, QStringLiteral("renamed"));
  // Names match without regard to case, as member tables do.
  EXPECT_EQ(Text(QStringLiteral("probe.name")), QStringLiteral("renamed"));
  // A value of another type is converted to the property's type.
  Run(QStringLiteral("probe.Name = 12;"));
  EXPECT_EQ(probe->name, QStringLiteral("12"));
  EXPECT_EQ(Text(QStringLiteral("typeof probe.Name")), QStringLiteral("string"));
  EXPECT_EQ(Eval(QStringLiteral("'Name' in probe")), Variant(true));
  EXPECT_EQ(Eval(QStringLiteral("'Nothing' in probe")), Variant(false));
  EXPECT_EQ(Text(QStringLiteral("typeof probe.Nothing")), QStringLiteral("undefined"));
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(BridgeTest, MethodsWithAndWithoutResult) {
  EXPECT_EQ(Eval(QStringLiteral("probe.Add(40, 2)")), Variant(std::int32_t{42}));
  EXPECT_EQ(Eval(QStringLiteral("probe.Add('40', 2.0)")), Variant(std::int32_t{42}));
  // A method without a result runs as a statement and gives undefined as a value.
  Run(QStringLiteral("probe.Touch(); var r = probe.Touch();"));
  EXPECT_EQ(probe->touched, 2);
  EXPECT_EQ(Text(QStringLiteral("typeof r")), QStringLiteral("undefined"));
  // A method read without a call is a callable reference.
  EXPECT_EQ(Text(QStringLiteral("typeof probe.Add")), QStringLiteral("function"));
  EXPECT_EQ(Eval(QStringLiteral("var add = probe.Add; add(1, 2)")), Variant(std::int32_t{3}));
  EXPECT_EQ(Eval(QStringLiteral("[[1, 2], [3, 4]].map(function (p) { return probe.Add(p[0], p[1]); }).join()")),
            Variant(QStringLiteral("3,7")));
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(BridgeTest, WrongCallsRaiseCatchableErrors) {
  EXPECT_EQ(Text(QStringLiteral("try { probe.Add(1); 'no' } catch (e) { e.message }")),
            QStringLiteral("Wrong number of arguments for 'Add'"));
  EXPECT_EQ(Text(QStringLiteral("try { probe.Add('x', 1); 'no' } catch (e) { e.message }")),
            QStringLiteral("Type mismatch in 'Add'"));
  EXPECT_EQ(Text(QStringLiteral("try { probe.Fail('broken'); 'no' } catch (e) { e.message }")),
            QStringLiteral("broken"));
  // The automation fields: the result code and the description.
  EXPECT_EQ(Eval(QStringLiteral("try { probe.Fail('x') } catch (e) { e.number }")),
            Variant(static_cast<std::int32_t>(E_FAIL)));
  EXPECT_EQ(Text(QStringLiteral("try { probe.Fail('x') } catch (e) { e.description }")),
            QStringLiteral("x"));
  // A name the object does not know cannot be assigned.
  EXPECT_EQ(Text(QStringLiteral("try { probe.Nothing = 1; 'no' } catch (e) { e.message }")),
            QStringLiteral("Object doesn't support property or method 'Nothing'"));
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(BridgeTest, ACxxExceptionFromANativeObjectBecomesAScriptError) {
  ComPtr<IDispatch> broken(new ThrowingDispatch());
  ASSERT_EQ(host.AddItem(QStringLiteral("broken"), broken.Get(), false), S_OK);
  EXPECT_EQ(Text(QStringLiteral("try { broken.Anything; 'no' } catch (e) { e.message }")),
            QStringLiteral("rule broken"));
  EXPECT_EQ(Text(QStringLiteral("try { broken(1); 'no' } catch (e) { e.message }")),
            QStringLiteral("rule broken"));
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(BridgeTest, IndexedPropertiesReadByCallAndWriteByBrackets) {
  EXPECT_EQ(Text(QStringLiteral("probe.Line(1)")), QStringLiteral("one"));
  Run(QStringLiteral("probe.Line[1] = 'uno';"));
  EXPECT_EQ(probe->lines[1], QStringLiteral("uno"));
  Run(QStringLiteral("var i = 2; probe.Line[i] = 'dos';"));
  EXPECT_EQ(probe->lines[2], QStringLiteral("dos"));
  EXPECT_EQ(Text(QStringLiteral("try { probe.Line[9] = 'x'; 'no' } catch (e) { e.message }")),
            QStringLiteral("Line 9 out of range"));
  EXPECT_EQ(Text(QStringLiteral("try { probe.Line(9) } catch (e) { e.message }")),
            QStringLiteral("Line 9 out of range"));
}

TEST_F(BridgeTest, TheDefaultMember) {
  // Reading the object as a value reads its default property.
  EXPECT_EQ(Text(QStringLiteral("'' + probe")), QStringLiteral("probe value"));
  EXPECT_EQ(Text(QStringLiteral("String(probe)")), QStringLiteral("probe value"));
  // Calling the object calls it.
  EXPECT_EQ(Text(QStringLiteral("probe()")), QStringLiteral("probe value"));
  EXPECT_EQ(Text(QStringLiteral("typeof probe")), QStringLiteral("function"));
}

TEST_F(BridgeTest, DynamicMembersAreCreatedByAssignment) {
  EXPECT_EQ(Text(QStringLiteral("typeof bag.color")), QStringLiteral("undefined"));
  Run(QStringLiteral("bag.color = 'red'; bag.size = 3;"));
  ASSERT_EQ(bag->names.size(), 2u);
  EXPECT_EQ(bag->values[0], Variant(QStringLiteral("red")));
  EXPECT_EQ(Text(QStringLiteral("bag.color")), QStringLiteral("red"));
  EXPECT_EQ(Eval(QStringLiteral("bag.size + bag.Count")), Variant(std::int32_t{5}));
  // A script function kept on a native object stays callable.
  Run(QStringLiteral("bag.twice = function (x) { return 2 * x; };"));
  EXPECT_EQ(Eval(QStringLiteral("bag.twice(21)")), Variant(std::int32_t{42}));
}

TEST_F(BridgeTest, ValuesTravelBothWays) {
  EXPECT_EQ(Text(QStringLiteral("typeof probe.Keep(undefined)")), QStringLiteral("undefined"));
  EXPECT_TRUE(probe->last.IsEmpty());
  EXPECT_EQ(Eval(QStringLiteral("probe.Keep(null) === null")), Variant(true));
  EXPECT_EQ(Eval(QStringLiteral("probe.Keep(true) === true")), Variant(true));
  EXPECT_EQ(probe->last, Variant(true));
  EXPECT_EQ(Eval(QStringLiteral("probe.Keep(7)")), Variant(std::int32_t{7}));
  EXPECT_EQ(probe->last.Type(), VT_I4);
  EXPECT_EQ(Eval(QStringLiteral("probe.Keep(2.5)")), Variant(2.5));
  EXPECT_EQ(Eval(QStringLiteral("probe.Keep(4294967296)")), Variant(4294967296.0));
  EXPECT_EQ(Eval(QStringLiteral("probe.Keep(-0)")).Type(), VT_R8);
  EXPECT_EQ(Eval(QStringLiteral("probe.Keep('\\u00fc\\ud83d\\ude00')")),
            Variant(QString::fromUtf8("\xc3\xbc\xf0\x9f\x98\x80")));

  // Byte arrays are Uint8Array copies, including views into a larger buffer.
  EXPECT_EQ(Text(QStringLiteral("var b = probe.Bytes(); b instanceof Uint8Array ? b.join() : 'no'")),
            QStringLiteral("1,2,255"));
  Eval(QStringLiteral("probe.Keep(new Uint8Array([9, 8, 7, 6]).subarray(1, 3))"));
  EXPECT_EQ(probe->last, Variant::FromBytes(QByteArray("\x08\x07", 2)));
  Eval(QStringLiteral("probe.Keep(new Uint8Array(0))"));
  EXPECT_EQ(probe->last, Variant::FromBytes(QByteArray()));

  // Other arrays are arrays, nested ones too.
  EXPECT_EQ(Text(QStringLiteral("var l = probe.List(); Array.isArray(l) && Array.isArray(l[2]) ? JSON.stringify(l) : 'no'")),
            QStringLiteral("[1,\"two\",[true]]"));
  Eval(QStringLiteral("probe.Keep([1, 'a', [null]])"));
  ASSERT_TRUE(probe->last.IsArray());
  ASSERT_EQ(probe->last.Elements().size(), 3u);
  EXPECT_EQ(probe->last.Elements()[1], Variant(QStringLiteral("a")));
  EXPECT_TRUE(probe->last.Elements()[2].Elements()[0].IsNull());
  // An array that contains itself does not recurse forever; a huge sparse one is not copied.
  Eval(QStringLiteral("var loop = []; loop.push(loop); probe.Keep(loop)"));
  EXPECT_TRUE(probe->last.IsArray());
  EXPECT_EQ(Eval(QStringLiteral("var huge = new Array(1e9); probe.Keep(huge) === huge")), Variant(true));
  EXPECT_EQ(probe->last.Type(), VT_DISPATCH);

  // Dates are local time on both sides.
  EXPECT_EQ(Text(QStringLiteral("var d = probe.Noon(); d instanceof Date ? [d.getFullYear(), d.getMonth(), d.getDate(), d.getHours(), d.getMinutes()].join() : 'no'")),
            QStringLiteral("2000,0,1,12,0"));
  Eval(QStringLiteral("probe.Keep(new Date(1999, 11, 31, 6, 0, 0))"));
  ASSERT_EQ(probe->last.Type(), VT_DATE);
  EXPECT_DOUBLE_EQ(probe->last.DateValue().value, 36525.25);
  Eval(QStringLiteral("probe.Keep(new Date(1899, 11, 29, 6, 0, 0))"));
  EXPECT_DOUBLE_EQ(probe->last.DateValue().value, -1.25);
  Eval(QStringLiteral("probe.Keep(new Date(NaN))"));
  EXPECT_TRUE(probe->last.IsNull());
}

TEST_F(BridgeTest, NativeObjectsKeepTheirIdentity) {
  // A native object passed back to native code is the same object, not a wrapper.
  Eval(QStringLiteral("probe.Keep(probe)"));
  EXPECT_EQ(probe->last.DispatchValue(), static_cast<IDispatch*>(probe->AsDispatch()));
  EXPECT_EQ(Text(QStringLiteral("probe.Child().Name")), QStringLiteral("child"));
  // Script objects passed through native code come back as themselves.
  EXPECT_EQ(Eval(QStringLiteral("var o = {a: 1}; probe.Keep(o) === o")), Variant(true));
  EXPECT_EQ(Eval(QStringLiteral("var f = function () {}; probe.Keep(f) === f")), Variant(true));
}

TEST_F(BridgeTest, NativeCodeCallsScriptFunctionsWithThis) {
  EXPECT_EQ(Text(QStringLiteral("probe.Call(function (x) { return this.Name + '/' + x; }, 'arg')")),
            QStringLiteral("first/arg"));
  Run(QStringLiteral("function hook(x) { this.Name = 'set by hook ' + x; return 5; }"));
  ComPtr<IDispatch> global;
  ASSERT_EQ(host.GetScriptDispatch(QString(), global), S_OK);
  Variant hook;
  QString name = QStringLiteral("hook");
  DISPID id;
  ASSERT_EQ(global->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  DISPPARAMS none;
  ASSERT_EQ(global->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &hook, nullptr, nullptr),
            S_OK);
  ASSERT_EQ(hook.Type(), VT_DISPATCH);
  // The function's default value is its source text.
  Variant source;
  ASSERT_EQ(GetDefaultValue(hook.DispatchValue(), &source), S_OK);
  EXPECT_EQ(source, Variant(QStringLiteral(
                        "function hook(x) { this.Name = 'set by hook ' + x; return 5; }")));
  // Calling its default member with DISPID_THIS.
  Variant arg(std::int32_t{9});
  Variant result;
  ASSERT_EQ(CallDispatch(hook.DispatchValue(), DISPID_VALUE, &arg, 1, probe->AsDispatch(), &result),
            S_OK);
  EXPECT_EQ(result, Variant(std::int32_t{5}));
  EXPECT_EQ(probe->name, QStringLiteral("set by hook 9"));
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(BridgeTest, ScriptObjectsSeenFromNativeCode) {
  Variant object = Eval(QStringLiteral("({count: 2, name: 'box', add: function (n) { this.count += n; return this.count; }})"));
  ASSERT_EQ(object.Type(), VT_DISPATCH);
  IDispatch* dispatch = object.DispatchValue();
  auto ex = ComPtr<IDispatch>(dispatch).As<IDispatchEx>();
  ASSERT_TRUE(ex);
  DISPID countId, addId, newId;
  ASSERT_EQ(ex->GetDispID(QStringLiteral("count"), 0, &countId), S_OK);
  ASSERT_EQ(ex->GetDispID(QStringLiteral("add"), 0, &addId), S_OK);
  // Script names are case-sensitive; a new name needs fdexNameEnsure.
  EXPECT_EQ(ex->GetDispID(QStringLiteral("Count"), 0, &newId), DISP_E_UNKNOWNNAME);
  ASSERT_EQ(ex->GetDispID(QStringLiteral("fresh"), fdexNameEnsure, &newId), S_OK);
  Variant value(std::int32_t{3});
  ASSERT_EQ(CallDispatch(dispatch, addId, &value, 1, nullptr, &value), S_OK);
  EXPECT_EQ(value, Variant(std::int32_t{5}));
  // Property write with the named value.
  Variant written(QStringLiteral("new"));
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS put{&written, &putId, 1, 1};
  ASSERT_EQ(dispatch->Invoke(newId, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
            S_OK);
  DISPPARAMS none;
  ASSERT_EQ(dispatch->Invoke(countId, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(value, Variant(std::int32_t{5}));
  // Enumeration in for-in order.
  DISPID next = -2;
  QStringList names;
  while (ex->GetNextDispID(0, next, &next) == S_OK) {
    QString name;
    ASSERT_EQ(ex->GetMemberName(next, &name), S_OK);
    names << name;
  }
  EXPECT_EQ(names.join(QLatin1Char(',')), QStringLiteral("count,name,add,fresh"));
  // Calling a plain object as a function fails cleanly.
  EXPECT_EQ(CallDispatch(dispatch, DISPID_VALUE, nullptr, 0, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
}

TEST_F(BridgeTest, ScriptValuesDieWithTheirEngine) {
  Variant fn = Eval(QStringLiteral("(function () { return 1; })"));
  ASSERT_EQ(fn.Type(), VT_DISPATCH);
  ASSERT_EQ(host.Close(), S_OK);
  Variant result;
  EXPECT_EQ(CallDispatch(fn.DispatchValue(), DISPID_VALUE, nullptr, 0, nullptr, &result),
            E_UNEXPECTED);
  // A new engine does not adopt values of the old one.
  ASSERT_EQ(host.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  EXPECT_EQ(CallDispatch(fn.DispatchValue(), DISPID_VALUE, nullptr, 0, nullptr, &result),
            E_UNEXPECTED);
}

}  // namespace
}  // namespace pw::testing
