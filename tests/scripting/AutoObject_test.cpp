// The dispatch layer of automation objects: name lookup, Invoke's argument rules, results,
// exceptions and the optional IDispatchEx methods.
#include <gtest/gtest.h>

#include "TestObjects.h"
#include "scripting/AutoObject.h"

namespace pw::tests {
namespace {

class AutoObjectTest : public ::testing::Test {
 protected:
  ComPtr<TTestObject> FObject = MakeAutoObject<TTestObject>();
  IDispatch* FDispatch = FObject.Get();
};

TEST_F(AutoObjectTest, NameLookup) {
  const struct {
    QString name;
    DISPID id;
  } cases[] = {
      {QStringLiteral("GetHWID"), 3},
      {QStringLiteral("gethwid"), 3},
      {QStringLiteral("GETHWID"), 3},
      {QStringLiteral("item"), DISPID_VALUE},
      {QStringLiteral("GetHWIDX"), DISPID_UNKNOWN},
      {QStringLiteral("Add "), DISPID_UNKNOWN},
      {QString(), DISPID_UNKNOWN},
      // U+0130 (capital I with dot) would fold to "i" under Unicode rules.
      {QString::fromUtf8("GetHW\xc4\xb0" "D"), DISPID_UNKNOWN},
      // A character above U+00FF becomes byte 0, never a letter of the member name.
      {QStringLiteral("Add") + QChar(0x0100), DISPID_UNKNOWN},
      // Only the first 255 characters count, so this never equals "Add".
      {QStringLiteral("Add") + QString(300, QLatin1Char(' ')), DISPID_UNKNOWN},
  };
  for (const auto& c : cases) {
    DISPID id = -99;
    const HRESULT hr = FDispatch->GetIDsOfNames(IID_NULL, &c.name, 1, 0, &id);
    EXPECT_EQ(id, c.id) << c.name.toStdString();
    EXPECT_EQ(hr, c.id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK) << c.name.toStdString();
  }
  EXPECT_EQ(AutoMemberName(QString(300, QLatin1Char('a'))).size(), 255u);
  EXPECT_EQ(AutoMemberName(QString::fromUtf8("\xc3\xa9\xc4\x80")), std::string("\xe9\0", 2));
  // Several names mean named arguments, which no member takes.
  const QString names[] = {QStringLiteral("Add"), QStringLiteral("a")};
  DISPID ids[] = {7, 7};
  EXPECT_EQ(FDispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST_F(AutoObjectTest, AncestorTablesAreSearchedAfterTheOwnOne) {
  ComPtr<TTestChild> child = MakeAutoObject<TTestChild>();
  EXPECT_EQ(IdOf(child.Get(), QStringLiteral("Triple")), 16);
  EXPECT_EQ(IdOf(child.Get(), QStringLiteral("Add")), 2);
  Variant result;
  EXPECT_EQ(Call(child.Get(), 16, DISPATCH_METHOD, {Variant(7)}, &result), S_OK);
  EXPECT_EQ(result, Variant(21));
  EXPECT_EQ(Call(child.Get(), 2, DISPATCH_METHOD, {Variant(7), Variant(1)}, &result), S_OK);
  EXPECT_EQ(result, Variant(8));
  // The parent does not see the child's members.
  EXPECT_EQ(IdOf(FDispatch, QStringLiteral("Triple")), DISPID_UNKNOWN);
  EXPECT_EQ(Call(FDispatch, 16, DISPATCH_METHOD, {Variant(7)}, &result), DISP_E_MEMBERNOTFOUND);
}

// One Invoke and what it must give: the result code, the result and the index of the
// argument that failed to convert (counted in the caller's reversed vector).
struct InvokeCase {
  const char* what;
  DISPID id;
  std::vector<Variant> args;
  HRESULT hr;
  Variant result = {};
  std::uint32_t argErr = 77;
  bool asksResult = true;
  std::uint16_t flags = DISPATCH_METHOD;
};

TEST_F(AutoObjectTest, InvokeRules) {
  const Variant array = Variant::FromArray({Variant(1), Variant(QStringLiteral("two"))});
  const InvokeCase cases[] = {
      {"void method", 1, {}, S_OK, {}, 77, false},
      {"void method asked for a result", 1, {}, DISP_E_MEMBERNOTFOUND},
      {"void method with an argument", 1, {Variant(1)}, DISP_E_BADPARAMCOUNT, {}, 77, false},
      {"exact argument count", 2, {Variant(1), Variant(2)}, S_OK, Variant(3)},
      {"too few arguments", 2, {Variant(1)}, DISP_E_BADPARAMCOUNT},
      {"too many arguments", 2, {Variant(1), Variant(2), Variant(3)}, DISP_E_BADPARAMCOUNT},
      {"unknown id", 99, {}, DISP_E_MEMBERNOTFOUND},
      {"negative id", -4, {}, DISP_E_MEMBERNOTFOUND},
      {"method read as property", 2, {Variant(1), Variant(2)}, DISP_E_MEMBERNOTFOUND, {}, 77, true,
       DISPATCH_PROPERTYGET},
      {"property called as method", 4, {}, DISP_E_MEMBERNOTFOUND},
      {"usual function call shares a bit with the method", 3, {}, S_OK,
       Variant(QStringLiteral("HW-1")), 77, true, DISPATCH_METHOD | DISPATCH_PROPERTYGET},
      {"text and half to even", 2, {Variant(QStringLiteral(" 2 ")), Variant(3.5)}, S_OK, Variant(6)},
      {"boolean and empty", 2, {Variant(true), Variant()}, S_OK, Variant(-1)},
      {"text to double", 14, {Variant(QStringLiteral("5"))}, S_OK, Variant(2.5)},
      {"bad text", 2, {Variant(QStringLiteral("x")), Variant(1)}, DISP_E_TYPEMISMATCH, {}, 1},
      {"first parameter converted first", 2, {Variant(QStringLiteral("x")), Variant(QStringLiteral("y"))},
       DISP_E_TYPEMISMATCH, {}, 1},
      {"overflow", 2, {Variant(1), Variant(1e12)}, DISP_E_OVERFLOW, {}, 0},
      {"null", 2, {Variant::Null(), Variant(1)}, DISP_E_TYPEMISMATCH, {}, 1},
      {"missing typed argument", 2, {Variant(1), Variant::Missing()}, DISP_E_PARAMNOTOPTIONAL, {}, 0},
      {"any error counts as missing", 2, {Variant(ErrorCode{E_FAIL}), Variant(1)}, DISP_E_PARAMNOTOPTIONAL, {}, 1},
      {"missing by-reference variant", 10, {Variant::Missing()}, DISP_E_PARAMNOTOPTIONAL, {}, 0, false},
      {"variant parameter keeps an array", 13, {array}, S_OK, array},
      {"variant parameter keeps null", 13, {Variant::Null()}, S_OK, Variant::Null()},
      {"value where a string reference is declared", 7, {Variant(QStringLiteral("v"))},
       DISP_E_TYPEMISMATCH, {}, 0, false},
      {"value where an integer reference is declared", 15, {Variant(5)}, DISP_E_TYPEMISMATCH, {}, 0, false},
      {"native string result", 11, {Variant(QString::fromUtf8("\xc3\xa9"))}, S_OK,
       Variant(QString::fromUtf8("\xc3\xa9/native"))},
      {"64-bit result", 12, {}, S_OK, Variant(std::int64_t{1} << 40)},
  };
  for (const InvokeCase& c : cases) {
    SCOPED_TRACE(c.what);
    Variant result;
    std::uint32_t argErr = 77;
    EXPECT_EQ(Call(FDispatch, c.id, c.flags, c.args, c.asksResult ? &result : nullptr, nullptr, &argErr), c.hr);
    EXPECT_EQ(result, c.result);
    if (c.hr == DISP_E_TYPEMISMATCH || c.hr == DISP_E_OVERFLOW || c.hr == DISP_E_PARAMNOTOPTIONAL) {
      EXPECT_EQ(argErr, c.argErr);
    }
  }
  // Only the call that asked for no result ran the void method.
  EXPECT_EQ(FObject->FTouched, 1);
  EXPECT_TRUE(FObject->FLastVariant.IsEmpty());
  // No parameter block at all is a call without arguments.
  EXPECT_EQ(FDispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
  // A missing argument reaches a variant parameter by value.
  Variant described;
  EXPECT_EQ(Call(FDispatch, 9, DISPATCH_METHOD, {Variant::Missing()}, &described), S_OK);
  EXPECT_TRUE(FObject->FLastVariant.IsMissing());
}

TEST_F(AutoObjectTest, ReadWritePropertyHasOneIdAndTwoEntries) {
  const DISPID id = IdOf(FDispatch, QStringLiteral("name"));
  ASSERT_EQ(id, 4);
  Variant result;
  EXPECT_EQ(Call(FDispatch, id, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result, Variant(QStringLiteral("initial")));
  // PUT and PUTREF, with or without the DISPID_PROPERTYPUT marker.
  EXPECT_EQ(InvokeWith(FDispatch, id, DISPATCH_PROPERTYPUT, Args({}, {{DISPID_PROPERTYPUT, Variant(QStringLiteral("renamed"))}})), S_OK);
  EXPECT_EQ(FObject->FName, QStringLiteral("renamed"));
  EXPECT_EQ(InvokeWith(FDispatch, id, DISPATCH_PROPERTYPUTREF, Args({}, {{DISPID_PROPERTYPUT, Variant(QStringLiteral("by ref"))}})), S_OK);
  EXPECT_EQ(FObject->FName, QStringLiteral("by ref"));
  EXPECT_EQ(Call(FDispatch, id, DISPATCH_PROPERTYPUT, {Variant(QStringLiteral("plain"))}, nullptr), S_OK);
  EXPECT_EQ(FObject->FName, QStringLiteral("plain"));
  // A setter has no result.
  EXPECT_EQ(Call(FDispatch, id, DISPATCH_PROPERTYPUT, {Variant(QStringLiteral("x"))}, &result), DISP_E_MEMBERNOTFOUND);
}

TEST_F(AutoObjectTest, IndexedDefaultPropertyTakesIndexBeforeValue) {
  Variant result;
  EXPECT_EQ(Call(FDispatch, DISPID_VALUE, DISPATCH_PROPERTYGET, {Variant(1)}, &result), S_OK);
  EXPECT_EQ(result, Variant(QStringLiteral("one")));
  // rgvarg = [value (named DISPID_PROPERTYPUT), index]
  EXPECT_EQ(InvokeWith(FDispatch, DISPID_VALUE, DISPATCH_PROPERTYPUT,
                       Args({Variant(0)}, {{DISPID_PROPERTYPUT, Variant(QStringLiteral("first"))}})),
            S_OK);
  EXPECT_EQ(FObject->FItems[0], QStringLiteral("first"));
  EXPECT_EQ(GetDefaultValue(FDispatch, &result), DISP_E_BADPARAMCOUNT);
}

TEST_F(AutoObjectTest, NamedArgumentsOtherThanThisAreRefused) {
  Variant result;
  EXPECT_EQ(InvokeWith(FDispatch, 2, DISPATCH_METHOD, Args({Variant(1)}, {{5, Variant(2)}}), &result),
            DISP_E_NONAMEDARGS);
  EXPECT_EQ(InvokeWith(FDispatch, 1, DISPATCH_METHOD, Args({}, {{DISPID_THIS, Variant()}, {DISPID_THIS, Variant()}})),
            DISP_E_NONAMEDARGS);
  // A PROPERTYPUT marker on a method call is a named argument like any other.
  EXPECT_EQ(InvokeWith(FDispatch, 1, DISPATCH_METHOD, Args({}, {{DISPID_PROPERTYPUT, Variant(1)}})),
            DISP_E_NONAMEDARGS);
}

TEST_F(AutoObjectTest, ThisArgumentIsDropped) {
  ComPtr<TTestObject> other = MakeAutoObject<TTestObject>();
  const Variant self = Variant::FromDispatch(other.Get());
  Variant result;
  EXPECT_EQ(InvokeWith(FDispatch, 2, DISPATCH_METHOD, Args({Variant(2), Variant(40)}, {{DISPID_THIS, self}}), &result), S_OK);
  EXPECT_EQ(result, Variant(42));
  // rgvarg = [this, value]: after dropping `this` the value remains.
  EXPECT_EQ(InvokeWith(FDispatch, 4, DISPATCH_PROPERTYPUT,
                       Args({}, {{DISPID_THIS, self}, {DISPID_PROPERTYPUT, Variant(QStringLiteral("v"))}})),
            S_OK);
  EXPECT_EQ(FObject->FName, QStringLiteral("v"));
  // With `this` in front, a failing argument's index still counts in the caller's vector.
  std::uint32_t argErr = 77;
  EXPECT_EQ(InvokeWith(FDispatch, 2, DISPATCH_METHOD, Args({Variant(QStringLiteral("x")), Variant(1)}, {{DISPID_THIS, Variant()}}),
                       &result, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 2u);
}

TEST_F(AutoObjectTest, ByReferenceArguments) {
  // A string reference is written back, a native-string parameter travels as a wide string.
  Variant text(QString::fromUtf8("caf\xc3\xa9"));
  EXPECT_EQ(Call(FDispatch, 7, DISPATCH_METHOD, {Variant::ByRef(&text)}, nullptr), S_OK);
  EXPECT_EQ(Call(FDispatch, 8, DISPATCH_METHOD, {Variant::ByRef(&text)}, nullptr), S_OK);
  EXPECT_EQ(Call(FDispatch, 7, DISPATCH_METHOD, {Variant::ByRef(&text)}, nullptr), S_OK);
  EXPECT_EQ(text, Variant(QString::fromUtf8("caf\xc3\xa9!\xc3\xbc!")));
  Variant counter(41);
  EXPECT_EQ(Call(FDispatch, 10, DISPATCH_METHOD, {Variant::ByRefVariant(&counter)}, nullptr), S_OK);
  EXPECT_EQ(counter, Variant(42));
  Variant number(5);
  EXPECT_EQ(Call(FDispatch, 15, DISPATCH_METHOD, {Variant::ByRef(&number)}, nullptr), S_OK);
  EXPECT_EQ(number, Variant(10));
  // A reference to a variant parameter by value gives its value.
  Variant result;
  EXPECT_EQ(Call(FDispatch, 13, DISPATCH_METHOD, {Variant::ByRef(&text)}, &result), S_OK);
  EXPECT_EQ(result, text);

  // Otherwise the reference must be exactly of the parameter's type; nothing is written.
  Variant native(std::string("x"));
  Variant wide(QStringLiteral("v"));
  const struct {
    DISPID id;
    Variant arg;
  } mismatches[] = {
      {7, Variant::ByRef(&number)},       // a number for a string
      {8, Variant::ByRef(&native)},       // scripts never pass native strings by reference
      {7, Variant::ByRefVariant(&wide)},  // a variant reference is no string reference
      {10, Variant::ByRef(&counter)},     // a typed reference is no variant reference
  };
  for (const auto& m : mismatches) {
    std::uint32_t argErr = 77;
    EXPECT_EQ(Call(FDispatch, m.id, DISPATCH_METHOD, {m.arg}, nullptr, nullptr, &argErr), DISP_E_TYPEMISMATCH) << m.id;
    EXPECT_EQ(argErr, 0u);
  }
  EXPECT_EQ(number, Variant(10));
  EXPECT_EQ(native, Variant(std::string("x")));
  EXPECT_EQ(counter, Variant(42));
}

TEST_F(AutoObjectTest, ExceptionBecomesDispatchExceptionWithMessage) {
  EXCEPINFO info;
  info.bstrHelpFile = QStringLiteral("stale");
  info.dwHelpContext = 9;
  EXPECT_EQ(Call(FDispatch, 5, DISPATCH_METHOD, {Variant(QStringLiteral("disk is full"))}, nullptr, &info),
            DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrDescription, QStringLiteral("disk is full"));
  EXPECT_EQ(info.bstrSource, QStringLiteral("TTestObject"));
  EXPECT_EQ(info.scode, E_FAIL);
  EXPECT_TRUE(info.bstrHelpFile.isEmpty());
  EXPECT_EQ(info.dwHelpContext, 0u);

  EXPECT_EQ(Call(FDispatch, 6, DISPATCH_METHOD, {}, nullptr, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrDescription, QString::fromUtf8("stream closed \xc3\xbc"));
  // Without a record the call still fails the same way.
  EXPECT_EQ(Call(FDispatch, 5, DISPATCH_METHOD, {Variant(QStringLiteral("x"))}, nullptr), DISP_E_EXCEPTION);

  // A subclass reports its own class name; a getter called without a result place still runs.
  ComPtr<TTestChild> child = MakeAutoObject<TTestChild>();
  EXPECT_EQ(Call(child.Get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {Variant(9)}, nullptr, &info),
            DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrSource, QStringLiteral("TTestChild"));
  EXPECT_EQ(info.bstrDescription, QStringLiteral("Index 9 out of range"));

  // Through InvokeEx as well.
  EXPECT_EQ(FObject->InvokeEx(5, 0, DISPATCH_METHOD, Args({Variant(QStringLiteral("ex"))}).Get(), nullptr, &info, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrDescription, QStringLiteral("ex"));
}

TEST_F(AutoObjectTest, QueryInterfaceAnswersTheDispatchInterfaces) {
  EXPECT_TRUE(FObject.As<IDispatch>());
  EXPECT_TRUE(FObject.As<IDispatchEx>());
  EXPECT_TRUE(FObject.As<ICustomDispatch>());
  EXPECT_TRUE(FObject.As<IUnknown>());
  ComPtr<IAutoObjectRef> ref = FObject.As<IAutoObjectRef>();
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->GetAutoObject(), static_cast<TAutoTarget*>(FObject.Get()));
  ref.Reset();

  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(FObject->QueryInterface(IID{"IOther"}, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(FObject->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
  // Every successful query added one reference, released again by the smart pointers.
  EXPECT_EQ(FObject->RefCount(), 1u);
  // Out parameters of what is not implemented are cleared.
  IUnknown* info = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(FDispatch->GetTypeInfo(0, 0, &info), E_NOTIMPL);
  EXPECT_EQ(info, nullptr);
}

TEST_F(AutoObjectTest, MemberTablesOfTheTestClassesAreSound) {
  for (const TAutoClass* table : {&TTestObject::StaticAutoClass(), &TTestChild::StaticAutoClass(),
                                  &TProbe::StaticAutoClass(), &TTestBag::StaticAutoClass(),
                                  &TTestComponent::StaticAutoClass()}) {
    EXPECT_TRUE(table->Problems().empty()) << ::testing::PrintToString(table->Problems());
  }
}

class TBrokenTable : public TCustomAutoObject {
  PW_AUTO_CLASS(TBrokenTable, TCustomAutoObject)

 public:
  std::int32_t Value() const { return 1; }
  void SetValue(std::int32_t) {}
};

PW_AUTO_MEMBERS(TBrokenTable,
                AutoGetter(1, "Value", &TBrokenTable::Value),
                AutoGetter(1, "Other", &TBrokenTable::Value),
                AutoSetter(2, "value", &TBrokenTable::SetValue),
                AutoMethod(6001, "Dynamic", &TBrokenTable::SetValue),
                AutoMethod(3, "Bad Name", &TBrokenTable::SetValue))

TEST(AutoClassProblems, ReportsEveryMistake) {
  const std::vector<std::string> problems = TBrokenTable::StaticAutoClass().Problems();
  ASSERT_EQ(problems.size(), 5u) << ::testing::PrintToString(problems);
  EXPECT_NE(problems[0].find("DispID 1 is already value"), std::string::npos);
  EXPECT_NE(problems[1].find("second entry of the same kind"), std::string::npos);
  EXPECT_NE(problems[2].find("already has DispID 1"), std::string::npos);
  EXPECT_NE(problems[3].find("6000"), std::string::npos);
  EXPECT_NE(problems[4].find("printable ASCII"), std::string::npos);
}

// An entry that names another class's method (a copy-and-paste slip) must not call it on the
// wrong object.
class TForeignEntry : public TCustomAutoObject {
  PW_AUTO_CLASS(TForeignEntry, TCustomAutoObject)
};

PW_AUTO_MEMBERS(TForeignEntry, AutoGetter(1, "Count", &TTestBag::Count))

TEST(AutoClassProblems, ForeignMethodFailsAsAnExceptionInsteadOfMisbehaving) {
  ComPtr<TForeignEntry> object = MakeAutoObject<TForeignEntry>();
  Variant result;
  EXCEPINFO info;
  EXPECT_EQ(Call(object.Get(), 1, DISPATCH_PROPERTYGET, {}, &result, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrSource, QStringLiteral("TForeignEntry"));
  EXPECT_TRUE(result.IsEmpty());
}

}  // namespace
}  // namespace pw::tests
