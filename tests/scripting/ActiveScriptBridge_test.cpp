// Native objects seen from scripts and script values seen from native code.
#include <gtest/gtest.h>

#include <stdexcept>

#include "TestObjects.h"
#include "scripting/ActiveScript.h"

namespace pw::tests {
namespace {

using namespace Qt::StringLiterals;

// Breaks the rules: every call throws a C++ exception.
class TThrowing : public TCustomAutoObject {
 public:
  HRESULT Invoke(DISPID, const IID&, LCID, std::uint16_t, DISPPARAMS*, Variant*, EXCEPINFO*,
                 std::uint32_t*) override {
    throw std::runtime_error("rule broken");
  }

 protected:
  std::int32_t GetDynamicDispID(const QString&, bool) override { return 0; }
  HRESULT InvokeDynamic(std::int32_t, LCID, std::uint16_t, DISPPARAMS*, Variant*, EXCEPINFO*,
                        IUnknown*) override {
    throw std::runtime_error("rule broken");
  }
};

class BridgeTest : public HostTest {
 protected:
  void SetUp() override { Open(); }
};

// Expressions and the text of their values.
TEST_F(BridgeTest, ScriptsReachEveryKindOfMember) {
  ComPtr<TThrowing> broken(new TThrowing);
  ASSERT_EQ(FHost.AddItem(u"broken"_s, broken->AsDispatch(), false), S_OK);
  const struct {
    QString expression;
    QString text;
  } cases[] = {
      // Properties, with names matched without regard to case.
      {u"probe.Name"_s, u"first"_s},
      {u"probe.nAME"_s, u"first"_s},
      {u"'Name' in probe"_s, u"True"_s},
      {u"'Nothing' in probe"_s, u"False"_s},
      {u"typeof probe.Nothing"_s, u"undefined"_s},
      // Methods: arguments converted, results typed, a method read without a call is callable.
      {u"probe.Add('40', 2.0)"_s, u"42"_s},
      {u"typeof probe.Add(1, 2)"_s, u"number"_s},
      {u"typeof probe.Touch()"_s, u"undefined"_s},
      {u"typeof probe.Add"_s, u"function"_s},
      {u"var add = probe.Add; add(1, 2)"_s, u"3"_s},
      {u"[[1, 2], [3, 4]].map(function (p) { return probe.Add(p[0], p[1]); }).join()"_s, u"3,7"_s},
      // Indexed properties are read by a call.
      {u"probe.Line(1)"_s, u"one"_s},
      // The default member: reading the object as a value, or calling it.
      {u"'' + probe"_s, u"probe value"_s},
      {u"String(probe)"_s, u"probe value"_s},
      {u"probe()"_s, u"probe value"_s},
      {u"typeof probe"_s, u"function"_s},
      // Wrong calls raise errors a script can catch, with the automation fields.
      {u"try { probe.Add(1); 'no' } catch (e) { e.message }"_s, u"Wrong number of arguments for 'Add'"_s},
      {u"try { probe.Add('x', 1); 'no' } catch (e) { e.message }"_s, u"Type mismatch in 'Add'"_s},
      {u"try { probe.Fail('broken'); 'no' } catch (e) { e.message }"_s, u"broken"_s},
      {u"try { probe.Fail('x') } catch (e) { e.number == -2147467259 && e.description }"_s, u"x"_s},
      {u"try { probe.Nothing = 1; 'no' } catch (e) { e.message }"_s,
       u"Object doesn't support property or method 'Nothing'"_s},
      {u"try { probe.Line[9] = 'x'; 'no' } catch (e) { e.message }"_s, u"Line 9 out of range"_s},
      {u"try { probe.Line(9) } catch (e) { e.message }"_s, u"Line 9 out of range"_s},
      // A C++ exception from a native object becomes a script error.
      {u"try { broken.Anything; 'no' } catch (e) { e.message }"_s, u"rule broken"_s},
      {u"try { broken(1); 'no' } catch (e) { e.message }"_s, u"rule broken"_s},
      // Native objects keep their identity; script objects come back as themselves.
      {u"probe.Child().Name"_s, u"child"_s},
      {u"var o = {a: 1}; probe.Keep(o) === o"_s, u"True"_s},
      {u"var f = function () {}; probe.Keep(f) === f"_s, u"True"_s},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.expression), c.text) << c.expression.toStdString();
  // A native object passed back to native code is the same object, not a wrapper.
  Eval(u"probe.Keep(probe)"_s);
  EXPECT_EQ(FProbe->FLast.DispatchValue(), static_cast<IDispatch*>(FProbe->AsDispatch()));
  EXPECT_EQ(FProbe->FTouched, 1);
  FProbe->FLast = Variant();  // a probe that keeps itself would never be freed
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(BridgeTest, ScriptsWriteProperties) {
  Run(u"probe.Name = 'renamed';"_s);
  EXPECT_EQ(FProbe->FName, u"renamed"_s);
  // A value of another type is converted to the property's type.
  Run(u"probe.name = 12;"_s);
  EXPECT_EQ(FProbe->FName, u"12"_s);
  // Indexed properties are written by brackets.
  Run(u"probe.Line[1] = 'uno'; var i = 2; probe.Line[i] = 'dos';"_s);
  EXPECT_EQ(FProbe->FLines, (std::vector<QString>{u"zero"_s, u"uno"_s, u"dos"_s}));
  // Dynamic members are created by assignment on a dictionary-like provider.
  EXPECT_EQ(Text(u"typeof bag.color"_s), u"undefined"_s);
  Run(u"bag.color = 'red'; bag.size = 3; bag.twice = function (x) { return 2 * x; };"_s);
  ASSERT_EQ(FBag->FNames.size(), 3u);
  EXPECT_EQ(FBag->FValues[0], Variant(u"red"_s));
  EXPECT_EQ(Text(u"bag.COLOR + (bag.size + bag.Count) + bag.twice(21)"_s), u"red642"_s);
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(BridgeTest, ValuesTravelBothWays) {
  EXPECT_EQ(Text(u"typeof probe.Keep(undefined)"_s), u"undefined"_s);
  EXPECT_TRUE(FProbe->FLast.IsEmpty());
  const struct {
    QString argument;
    Variant native;
    bool comesBack = true;
  } scalars[] = {
      {u"null"_s, Variant::Null()},
      {u"true"_s, Variant(true)},
      {u"7"_s, Variant(std::int32_t{7})},
      {u"2.5"_s, Variant(2.5)},
      {u"4294967296"_s, Variant(4294967296.0)},
      {u"-0"_s, Variant(-0.0)},
      {u"'\\u00fc\\ud83d\\ude00'"_s, Variant(QString::fromUtf8("\xc3\xbc\xf0\x9f\x98\x80"))},
      // Byte arrays are Uint8Array copies, including views into a larger buffer.
      {u"new Uint8Array([9, 8, 7, 6]).subarray(1, 3)"_s, Variant::FromBytes(QByteArray("\x08\x07", 2))},
      {u"new Uint8Array(0)"_s, Variant::FromBytes(QByteArray())},
      // Dates are local time on both sides.
      {u"new Date(1999, 11, 31, 6, 0, 0)"_s, Variant(Date{36525.25})},
      {u"new Date(1899, 11, 29, 6, 0, 0)"_s, Variant(Date{-1.25})},
      {u"new Date(NaN)"_s, Variant::Null(), false},
  };
  for (const auto& c : scalars) {
    const QString code = u"var v = "_s + c.argument + u"; var back = probe.Keep(v); back === v || String(back) === String(v)"_s;
    EXPECT_EQ(Text(code), c.comesBack ? u"True"_s : u"False"_s) << c.argument.toStdString();
    EXPECT_EQ(FProbe->FLast, c.native) << c.argument.toStdString();
  }
  EXPECT_EQ(Text(u"var b = probe.Bytes(); b instanceof Uint8Array ? b.join() : 'no'"_s), u"1,2,255"_s);
  EXPECT_EQ(Text(u"var d = probe.Noon(); d instanceof Date ? [d.getFullYear(), d.getMonth(), d.getDate(), d.getHours(), d.getMinutes()].join() : 'no'"_s),
            u"2000,0,1,12,0"_s);

  // Other arrays are arrays, nested ones too.
  EXPECT_EQ(Text(u"var l = probe.List(); Array.isArray(l) && Array.isArray(l[2]) ? JSON.stringify(l) : 'no'"_s),
            u"[1,\"two\",[true]]"_s);
  Eval(u"probe.Keep([1, 'a', [null]])"_s);
  EXPECT_EQ(FProbe->FLast, Variant::FromArray({Variant(std::int32_t{1}), Variant(u"a"_s),
                                             Variant::FromArray({Variant::Null()})}));
  // An array that contains itself does not recurse forever; a huge sparse one is not copied.
  Eval(u"var loop = []; loop.push(loop); probe.Keep(loop)"_s);
  EXPECT_TRUE(FProbe->FLast.IsArray());
  EXPECT_EQ(Text(u"var huge = new Array(1e9); probe.Keep(huge) === huge"_s), u"True"_s);
  EXPECT_EQ(FProbe->FLast.Type(), VT_DISPATCH);
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(BridgeTest, ArraysThatCloseOnThemselvesOrRepeatConvertInBoundedTime) {
  // A cycle travels as the script array it closes on; the script gets that very array back.
  EXPECT_EQ(Text(u"var a = [0, 0]; a[0] = a; a[1] = a; probe.Count(a)"_s), u"2"_s);
  EXPECT_EQ(Text(u"var back = probe.Keep(a); back !== a && back[0] === a && back[1] === a"_s), u"True"_s);
  EXPECT_EQ(Text(u"var d = [1, [2]]; d[1].push(d); probe.Count(d)"_s), u"3"_s);
  // Siblings may share an array, but one call copies a bounded number of elements: beyond the
  // bound, arrays travel as script objects.
  const int copied = Text(u"var b = new Array(1 << 19); probe.Count([b, b, b, b, b, b, b, b])"_s).toInt();
  EXPECT_GE(copied, 1 << 19);
  EXPECT_LT(copied, 8 << 19);
  EXPECT_EQ(Text(u"probe.Count([[1, 2], [1, 2]])"_s), u"4"_s);
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(BridgeTest, NativeObjectsKeepTheirIdentity) {
  const QString cases[] = {
      u"probe.Self() === probe"_s,
      u"probe.Keep(probe) === probe"_s,
      u"var c = probe.Child(); probe.Keep(c); probe.Last() === c && c.Name === 'child'"_s,
      u"probe.Child() !== probe.Child()"_s,
      u"probe.Keep(bag) === bag && probe.Last() === bag"_s,
  };
  for (const QString& code : cases) EXPECT_EQ(Text(code), u"True"_s) << code.toStdString();
  FProbe->FLast.Clear();
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(BridgeTest, SixtyFourBitIntegersBeyondADoublesPrecisionAreBigInts) {
  const struct {
    QString expression;
    QString text;
  } cases[] = {
      {u"typeof probe.Huge(0)"_s, u"number"_s},  // 2^53 is exact in a double
      {u"typeof probe.Huge(1)"_s, u"bigint"_s},
      {u"String(probe.Huge(1))"_s, u"9007199254740993"_s},
      {u"String(probe.Huge(-1) + 1)"_s, u"9007199254740992"_s},
      {u"try { probe.Huge(1) + 1 } catch (e) { e.name }"_s, u"TypeError"_s},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.expression), c.text) << c.expression.toStdString();
  // BigInts come back as 64-bit integers when they fit.
  Eval(u"probe.Keep(probe.Huge(1))"_s);
  EXPECT_EQ(FProbe->FLast, Variant(std::int64_t{(std::int64_t{1} << 53) + 1}));
  Eval(u"probe.Keep(-5n)"_s);
  EXPECT_EQ(FProbe->FLast, Variant(std::int64_t{-5}));
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(BridgeTest, NativeCodeCallsScriptFunctionsWithThis) {
  EXPECT_EQ(Text(u"probe.Call(function (x) { return this.Name + '/' + x; }, 'arg')"_s), u"first/arg"_s);
  const QString source = u"function hook(x) { this.Name = 'set by hook ' + x; return 5; }"_s;
  Run(source);
  ComPtr<IDispatch> global;
  ASSERT_EQ(FHost.GetScriptDispatch(QString(), global), S_OK);
  Variant hook;
  ASSERT_EQ(InvokeWith(global.Get(), IdOf(global.Get(), u"hook"_s), DISPATCH_PROPERTYGET, Args(), &hook), S_OK);
  ASSERT_EQ(hook.Type(), VT_DISPATCH);
  // The function's default value is its source text.
  Variant value;
  ASSERT_EQ(GetDefaultValue(hook.DispatchValue(), &value), S_OK);
  EXPECT_EQ(value, Variant(source));
  // Calling its default member with DISPID_THIS.
  Variant arg(std::int32_t{9});
  ASSERT_EQ(CallDispatch(hook.DispatchValue(), DISPID_VALUE, &arg, 1, FProbe->AsDispatch(), &value), S_OK);
  EXPECT_EQ(value, Variant(std::int32_t{5}));
  EXPECT_EQ(FProbe->FName, u"set by hook 9"_s);
  EXPECT_TRUE(FLog.Errors.empty());
}

TEST_F(BridgeTest, ScriptObjectsSeenFromNativeCode) {
  Variant object = Eval(u"({count: 2, name: 'box', add: function (n) { this.count += n; return this.count; }})"_s);
  ASSERT_EQ(object.Type(), VT_DISPATCH);
  IDispatch* dispatch = object.DispatchValue();
  auto ex = ComPtr<IDispatch>(dispatch).As<IDispatchEx>();
  ASSERT_TRUE(ex);
  DISPID countId, addId, newId;
  ASSERT_EQ(ex->GetDispID(u"count"_s, 0, &countId), S_OK);
  ASSERT_EQ(ex->GetDispID(u"add"_s, 0, &addId), S_OK);
  // Script names are case-sensitive; a new name needs fdexNameEnsure.
  EXPECT_EQ(ex->GetDispID(u"Count"_s, 0, &newId), DISP_E_UNKNOWNNAME);
  ASSERT_EQ(ex->GetDispID(u"fresh"_s, fdexNameEnsure, &newId), S_OK);
  Variant value(std::int32_t{3});
  ASSERT_EQ(CallDispatch(dispatch, addId, &value, 1, nullptr, &value), S_OK);
  EXPECT_EQ(value, Variant(std::int32_t{5}));
  ASSERT_EQ(InvokeWith(dispatch, newId, DISPATCH_PROPERTYPUT, Args({}, {{DISPID_PROPERTYPUT, Variant(u"new"_s)}})), S_OK);
  ASSERT_EQ(InvokeWith(dispatch, countId, DISPATCH_PROPERTYGET, Args(), &value), S_OK);
  EXPECT_EQ(value, Variant(std::int32_t{5}));
  // Enumeration in for-in order.
  DISPID next = -2;
  QStringList names;
  while (ex->GetNextDispID(0, next, &next) == S_OK) {
    QString name;
    ASSERT_EQ(ex->GetMemberName(next, &name), S_OK);
    names << name;
  }
  EXPECT_EQ(names.join(QLatin1Char(',')), u"count,name,add,fresh"_s);
  // Calling a plain object as a function fails cleanly.
  EXPECT_EQ(CallDispatch(dispatch, DISPID_VALUE, nullptr, 0, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
}

}  // namespace
}  // namespace pw::tests
