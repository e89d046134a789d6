// The dispatch layer of automation objects: name lookup, Invoke's argument rules, results,
// exceptions and the optional IDispatchEx methods.
#include <gtest/gtest.h>

#include "scripting/AutoObject.h"
#include "TestObjects.h"

namespace pw::testing {
namespace {

class AutoObjectTest : public ::testing::Test {
 protected:
  ComPtr<TTestObject> object = MakeAutoObject<TTestObject>();
  IDispatch* dispatch = object.Get();
};

TEST_F(AutoObjectTest, NamesMatchWithoutRegardToAsciiCase) {
  EXPECT_EQ(IdOf(dispatch, QStringLiteral("GetHWID")), 3);
  EXPECT_EQ(IdOf(dispatch, QStringLiteral("gethwid")), 3);
  EXPECT_EQ(IdOf(dispatch, QStringLiteral("GETHWID")), 3);
  EXPECT_EQ(IdOf(dispatch, QStringLiteral("item")), DISPID_VALUE);
}

TEST_F(AutoObjectTest, UnknownAndNonLatinNamesDoNotMatch) {
  QString name = QStringLiteral("GetHWIDX");
  DISPID id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  // U+0130 (capital I with dot) would fold to "i" under Unicode rules; it must not match.
  EXPECT_EQ(IdOf(dispatch, QString::fromUtf8("GetHW\xc4\xb0" "D")), DISPID_UNKNOWN);
  // A character above U+00FF becomes byte 0, never a letter of the member name.
  EXPECT_EQ(IdOf(dispatch, QStringLiteral("Add") + QChar(0x0100)), DISPID_UNKNOWN);
  EXPECT_EQ(IdOf(dispatch, QString()), DISPID_UNKNOWN);
  EXPECT_EQ(IdOf(dispatch, QStringLiteral("Add ")), DISPID_UNKNOWN);
}

TEST_F(AutoObjectTest, NamesAreCutTo255Characters) {
  // A name longer than 255 characters is compared by its first 255 only, so it never equals
  // a short member name even when it starts with one.
  EXPECT_EQ(IdOf(dispatch, QStringLiteral("Add") + QString(300, QLatin1Char(' '))), DISPID_UNKNOWN);
  EXPECT_EQ(AutoMemberName(QString(300, QLatin1Char('a'))).size(), 255u);
  EXPECT_EQ(AutoMemberName(QString::fromUtf8("\xc3\xa9\xc4\x80")), std::string("\xe9\0", 2));
}

TEST_F(AutoObjectTest, SeveralNamesMeanNamedArgumentsAndFail) {
  const QString names[] = {QStringLiteral("Add"), QStringLiteral("a")};
  DISPID ids[] = {7, 7};
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
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
  EXPECT_EQ(IdOf(dispatch, QStringLiteral("Triple")), DISPID_UNKNOWN);
  EXPECT_EQ(Call(dispatch, 16, DISPATCH_METHOD, {Variant(7)}, &result), DISP_E_MEMBERNOTFOUND);
}

TEST_F(AutoObjectTest, MethodWithoutResultRunsOnlyWhenNoResultIsAsked) {
  EXPECT_EQ(Call(dispatch, 1, DISPATCH_METHOD, {}, nullptr), S_OK);
  EXPECT_EQ(object->touched, 1);
  Variant result;
  EXPECT_EQ(Call(dispatch, 1, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(object->touched, 1);
}

TEST_F(AutoObjectTest, ArgumentCountMustMatchExactly) {
  Variant result;
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(1)}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(1), Variant(2), Variant(3)}, &result),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(dispatch, 1, DISPATCH_METHOD, {Variant(1)}, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(1), Variant(2)}, &result), S_OK);
  EXPECT_EQ(result, Variant(3));
  // No parameter block at all is a call without arguments.
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
}

TEST_F(AutoObjectTest, UnknownIdsAndWrongKindsAreNotFound) {
  Variant result;
  EXPECT_EQ(Call(dispatch, 99, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(dispatch, -4, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  // Add is a method only; Name is a property only.
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_PROPERTYGET, {Variant(1), Variant(2)}, &result),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(dispatch, 4, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  // The usual call of a function shares a bit with the method entry.
  EXPECT_EQ(Call(dispatch, 3, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result, Variant(QStringLiteral("HW-1")));
}

TEST_F(AutoObjectTest, ReadWritePropertyHasOneIdAndTwoEntries) {
  const DISPID id = IdOf(dispatch, QStringLiteral("name"));
  ASSERT_EQ(id, 4);
  Variant result;
  EXPECT_EQ(Call(dispatch, id, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result, Variant(QStringLiteral("initial")));

  Args put({}, {{DISPID_PROPERTYPUT, Variant(QStringLiteral("renamed"))}});
  EXPECT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, put.Get(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(object->name, QStringLiteral("renamed"));

  // PUTREF is a PUT.
  Args putRef({}, {{DISPID_PROPERTYPUT, Variant(QStringLiteral("by ref"))}});
  EXPECT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUTREF, putRef.Get(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(object->name, QStringLiteral("by ref"));

  // A write without the DISPID_PROPERTYPUT marker is accepted too.
  EXPECT_EQ(Call(dispatch, id, DISPATCH_PROPERTYPUT, {Variant(QStringLiteral("plain"))}, nullptr), S_OK);
  EXPECT_EQ(object->name, QStringLiteral("plain"));

  // A setter has no result.
  EXPECT_EQ(Call(dispatch, id, DISPATCH_PROPERTYPUT, {Variant(QStringLiteral("x"))}, &result),
            DISP_E_MEMBERNOTFOUND);
}

TEST_F(AutoObjectTest, IndexedDefaultPropertyTakesIndexBeforeValue) {
  Variant result;
  EXPECT_EQ(Call(dispatch, DISPID_VALUE, DISPATCH_PROPERTYGET, {Variant(1)}, &result), S_OK);
  EXPECT_EQ(result, Variant(QStringLiteral("one")));
  // rgvarg = [value (named DISPID_PROPERTYPUT), index]
  Args put({Variant(0)}, {{DISPID_PROPERTYPUT, Variant(QStringLiteral("first"))}});
  EXPECT_EQ(dispatch->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYPUT, put.Get(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(object->items[0], QStringLiteral("first"));
  EXPECT_EQ(GetDefaultValue(dispatch, &result), DISP_E_BADPARAMCOUNT);
}

TEST_F(AutoObjectTest, NamedArgumentsOtherThanThisAreRefused) {
  Variant result;
  Args named({Variant(1)}, {{5, Variant(2)}});
  EXPECT_EQ(dispatch->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, named.Get(), &result, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  Args twoThis({}, {{DISPID_THIS, Variant()}, {DISPID_THIS, Variant()}});
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, twoThis.Get(), nullptr, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  // A PROPERTYPUT marker on a method call is a named argument like any other.
  Args marker({}, {{DISPID_PROPERTYPUT, Variant(1)}});
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, marker.Get(), nullptr, nullptr, nullptr),
            DISP_E_NONAMEDARGS);
}

TEST_F(AutoObjectTest, ThisArgumentIsDropped) {
  ComPtr<TTestObject> other = MakeAutoObject<TTestObject>();
  Variant result;
  Args withThis({Variant(2), Variant(40)}, {{DISPID_THIS, Variant::FromDispatch(other.Get())}});
  EXPECT_EQ(dispatch->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, withThis.Get(), &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result, Variant(42));

  Args putWithThis({}, {{DISPID_THIS, Variant::FromDispatch(other.Get())},
                        {DISPID_PROPERTYPUT, Variant(QStringLiteral("v"))}});
  // rgvarg = [this, value]: after dropping `this` the value remains.
  EXPECT_EQ(dispatch->Invoke(4, IID_NULL, 0, DISPATCH_PROPERTYPUT, putWithThis.Get(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(object->name, QStringLiteral("v"));
}

TEST_F(AutoObjectTest, ArgumentsAreConvertedToParameterTypes) {
  Variant result;
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(QStringLiteral(" 2 ")), Variant(3.5)}, &result), S_OK);
  EXPECT_EQ(result, Variant(6));  // 3.5 rounds half to even: 4
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(true), Variant()}, &result), S_OK);
  EXPECT_EQ(result, Variant(-1));
  EXPECT_EQ(Call(dispatch, 14, DISPATCH_METHOD, {Variant(QStringLiteral("5"))}, &result), S_OK);
  EXPECT_EQ(result, Variant(2.5));
}

TEST_F(AutoObjectTest, ConversionFailureNamesTheArgumentInCallerOrder) {
  Variant result;
  std::uint32_t argErr = 77;
  // Add("x", 1): rgvarg = [1, "x"], so the bad argument is element 1.
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(QStringLiteral("x")), Variant(1)}, &result, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
  // The first declared parameter is converted first.
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(QStringLiteral("x")), Variant(QStringLiteral("y"))}, &result, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(1), Variant(1e12)}, &result, nullptr, &argErr),
            DISP_E_OVERFLOW);
  EXPECT_EQ(argErr, 0u);
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant::Null(), Variant(1)}, &result, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);

  // With `this` in front, the index still counts in the caller's vector.
  Args withThis({Variant(QStringLiteral("x")), Variant(1)}, {{DISPID_THIS, Variant()}});
  EXPECT_EQ(dispatch->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, withThis.Get(), &result, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 2u);
  EXPECT_TRUE(result.IsEmpty());
}

TEST_F(AutoObjectTest, MissingArgumentOnlyForVariantByValue) {
  Variant result;
  std::uint32_t argErr = 77;
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(1), Variant::Missing()}, &result, nullptr, &argErr),
            DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(argErr, 0u);
  // Any VT_ERROR counts as missing for a typed parameter.
  EXPECT_EQ(Call(dispatch, 2, DISPATCH_METHOD, {Variant(ErrorCode{E_FAIL}), Variant(1)}, &result),
            DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(Call(dispatch, 9, DISPATCH_METHOD, {Variant::Missing()}, &result), S_OK);
  EXPECT_TRUE(object->lastVariant.IsMissing());
  EXPECT_EQ(Call(dispatch, 10, DISPATCH_METHOD, {Variant::Missing()}, nullptr), DISP_E_PARAMNOTOPTIONAL);
}

TEST_F(AutoObjectTest, VariantParameterSeesTheCallersValue) {
  Variant result;
  const Variant array = Variant::FromArray({Variant(1), Variant(QStringLiteral("two"))});
  EXPECT_EQ(Call(dispatch, 13, DISPATCH_METHOD, {array}, &result), S_OK);
  EXPECT_EQ(result, array);
  EXPECT_EQ(Call(dispatch, 13, DISPATCH_METHOD, {Variant::Null()}, &result), S_OK);
  EXPECT_TRUE(result.IsNull());
  // A by-reference argument reaches a by-value variant parameter as its value.
  Variant referenced(QStringLiteral("deep"));
  EXPECT_EQ(Call(dispatch, 13, DISPATCH_METHOD, {Variant::ByRef(&referenced)}, &result), S_OK);
  EXPECT_EQ(result, Variant(QStringLiteral("deep")));
}

TEST_F(AutoObjectTest, ByReferenceStringIsWrittenBack) {
  Variant text(QStringLiteral("hello"));
  EXPECT_EQ(Call(dispatch, 7, DISPATCH_METHOD, {Variant::ByRef(&text)}, nullptr), S_OK);
  EXPECT_EQ(text, Variant(QStringLiteral("hello!")));
  EXPECT_EQ(Call(dispatch, 7, DISPATCH_METHOD, {Variant::ByRef(&text)}, nullptr), S_OK);
  EXPECT_EQ(text, Variant(QStringLiteral("hello!!")));
}

TEST_F(AutoObjectTest, ByReferenceNativeStringTravelsAsWideString) {
  Variant text(QString::fromUtf8("caf\xc3\xa9 "));
  EXPECT_EQ(Call(dispatch, 8, DISPATCH_METHOD, {Variant::ByRef(&text)}, nullptr), S_OK);
  EXPECT_EQ(text, Variant(QString::fromUtf8("caf\xc3\xa9 \xc3\xbc")));
  // The script side never passes a native string by reference.
  Variant native(std::string("x"));
  EXPECT_EQ(Call(dispatch, 8, DISPATCH_METHOD, {Variant::ByRef(&native)}, nullptr), DISP_E_TYPEMISMATCH);
}

TEST_F(AutoObjectTest, ByReferenceNeedsExactlyTheParameterType) {
  std::uint32_t argErr = 77;
  Variant number(5);
  EXPECT_EQ(Call(dispatch, 7, DISPATCH_METHOD, {Variant::ByRef(&number)}, nullptr, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  EXPECT_EQ(number, Variant(5));
  // A value where a reference is declared is a mismatch, not a conversion.
  EXPECT_EQ(Call(dispatch, 7, DISPATCH_METHOD, {Variant(QStringLiteral("v"))}, nullptr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Call(dispatch, 15, DISPATCH_METHOD, {Variant(5)}, nullptr), DISP_E_TYPEMISMATCH);
  // A VT_BYREF|VT_VARIANT reference is not a reference to a string.
  Variant text(QStringLiteral("v"));
  EXPECT_EQ(Call(dispatch, 7, DISPATCH_METHOD, {Variant::ByRefVariant(&text)}, nullptr), DISP_E_TYPEMISMATCH);

  EXPECT_EQ(Call(dispatch, 15, DISPATCH_METHOD, {Variant::ByRef(&number)}, nullptr), S_OK);
  EXPECT_EQ(number, Variant(10));
}

TEST_F(AutoObjectTest, ByReferenceVariantIsTheCallersVariant) {
  Variant counter(41);
  EXPECT_EQ(Call(dispatch, 10, DISPATCH_METHOD, {Variant::ByRefVariant(&counter)}, nullptr), S_OK);
  EXPECT_EQ(counter, Variant(42));
  EXPECT_EQ(Call(dispatch, 10, DISPATCH_METHOD, {Variant::ByRef(&counter)}, nullptr), DISP_E_TYPEMISMATCH);
}

TEST_F(AutoObjectTest, ResultsAreStoredWithTheirTypes) {
  Variant result;
  EXPECT_EQ(Call(dispatch, 11, DISPATCH_METHOD, {Variant(QString::fromUtf8("\xc3\xa9"))}, &result), S_OK);
  EXPECT_EQ(result, Variant(QString::fromUtf8("\xc3\xa9/native")));
  EXPECT_EQ(Call(dispatch, 12, DISPATCH_METHOD, {}, &result), S_OK);
  EXPECT_EQ(result.Type(), VT_I8);
  EXPECT_EQ(result.IntValue(), 1LL << 40);
  EXPECT_EQ(Call(dispatch, 3, DISPATCH_METHOD, {}, &result), S_OK);
  EXPECT_EQ(result.Type(), VT_BSTR);
}

TEST_F(AutoObjectTest, ExceptionBecomesDispatchExceptionWithMessage) {
  EXCEPINFO info;
  info.bstrHelpFile = QStringLiteral("stale");
  info.dwHelpContext = 9;
  EXPECT_EQ(Call(dispatch, 5, DISPATCH_METHOD, {Variant(QStringLiteral("disk is full"))}, nullptr, &info),
            DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrDescription, QStringLiteral("disk is full"));
  EXPECT_EQ(info.bstrSource, QStringLiteral("TTestObject"));
  EXPECT_EQ(info.scode, E_FAIL);
  EXPECT_TRUE(info.bstrHelpFile.isEmpty());
  EXPECT_EQ(info.dwHelpContext, 0u);

  EXPECT_EQ(Call(dispatch, 6, DISPATCH_METHOD, {}, nullptr, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrDescription, QString::fromUtf8("stream closed \xc3\xbc"));

  // Without a record the call still fails the same way.
  EXPECT_EQ(Call(dispatch, 5, DISPATCH_METHOD, {Variant(QStringLiteral("x"))}, nullptr), DISP_E_EXCEPTION);

  // A subclass reports its own class name.
  ComPtr<TTestChild> child = MakeAutoObject<TTestChild>();
  // A getter called without a result place still runs.
  EXPECT_EQ(Call(child.Get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {Variant(9)}, nullptr, &info),
            DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrSource, QStringLiteral("TTestChild"));
  EXPECT_EQ(info.bstrDescription, QStringLiteral("Index 9 out of range"));
}

TEST_F(AutoObjectTest, OptionalInterfaceMethodsAnswerNotImplemented) {
  std::uint32_t count = 5;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  IUnknown* info = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, &info), E_NOTIMPL);
  EXPECT_EQ(info, nullptr);
  IDispatchEx* ex = object.Get();
  IUnknown* parent = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(ex->GetNameSpaceParent(&parent), E_NOTIMPL);
  EXPECT_EQ(parent, nullptr);
  EXPECT_EQ(ex->DeleteMemberByName(QStringLiteral("Add"), 0), E_NOTIMPL);
  EXPECT_EQ(ex->DeleteMemberByDispID(2), E_NOTIMPL);
  std::uint32_t properties = 0;
  EXPECT_EQ(ex->GetMemberProperties(2, 0, &properties), E_NOTIMPL);
  QString name;
  EXPECT_EQ(ex->GetMemberName(2, &name), E_NOTIMPL);
  DISPID next = 0;
  EXPECT_EQ(ex->GetNextDispID(0, DISPID_VALUE, &next), E_NOTIMPL);
}

TEST_F(AutoObjectTest, QueryInterfaceAnswersTheDispatchInterfaces) {
  EXPECT_TRUE(object.As<IDispatch>());
  EXPECT_TRUE(object.As<IDispatchEx>());
  EXPECT_TRUE(object.As<ICustomDispatch>());
  EXPECT_TRUE(object.As<IUnknown>());
  ComPtr<IAutoObjectRef> ref = object.As<IAutoObjectRef>();
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->GetAutoObject(), static_cast<TAutoTarget*>(object.Get()));
  ref.Reset();

  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(object->QueryInterface(IID{"IOther"}, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(object->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
  // Every successful query added one reference, released again by the smart pointers.
  EXPECT_EQ(object->RefCount(), 1u);
}

TEST_F(AutoObjectTest, InvokeExPassesStaticIdsToInvoke) {
  IDispatchEx* ex = object.Get();
  DISPID id = 0;
  EXPECT_EQ(ex->GetDispID(QStringLiteral("add"), 0, &id), S_OK);
  EXPECT_EQ(id, 2);
  Args args({Variant(20), Variant(22)});
  Variant result;
  EXPECT_EQ(ex->InvokeEx(id, 0, DISPATCH_METHOD, args.Get(), &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result, Variant(42));
  EXCEPINFO info;
  Args message({Variant(QStringLiteral("through InvokeEx"))});
  EXPECT_EQ(ex->InvokeEx(5, 0, DISPATCH_METHOD, message.Get(), nullptr, &info, nullptr), DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrDescription, QStringLiteral("through InvokeEx"));
}

TEST_F(AutoObjectTest, MemberTablesOfTheTestClassesAreSound) {
  EXPECT_TRUE(TTestObject::StaticAutoClass().Problems().empty());
  EXPECT_TRUE(TTestChild::StaticAutoClass().Problems().empty());
  EXPECT_TRUE(TTestBag::StaticAutoClass().Problems().empty());
  EXPECT_TRUE(TTestComponent::StaticAutoClass().Problems().empty());
  EXPECT_EQ(TTestChild::StaticAutoClass().Parent(), &TTestObject::StaticAutoClass());
}

TEST_F(AutoObjectTest, DeclaredTypeCodesFollowTheSignatures) {
  const TAutoClass& table = TTestObject::StaticAutoClass();
  auto entry = [&](DISPID id, std::uint16_t flags) { return table.FindEntry(id, flags); };
  ASSERT_TRUE(entry(2, DISPATCH_METHOD));
  EXPECT_EQ(entry(2, DISPATCH_METHOD)->resultType, VT_I4);
  EXPECT_EQ(entry(2, DISPATCH_METHOD)->paramTypes, (std::vector<std::uint8_t>{VT_I4, VT_I4}));
  EXPECT_EQ(entry(1, DISPATCH_METHOD)->resultType, 0);
  EXPECT_EQ(entry(7, DISPATCH_METHOD)->paramTypes, (std::vector<std::uint8_t>{VT_BSTR | kParamByRef}));
  EXPECT_EQ(entry(8, DISPATCH_METHOD)->paramTypes, (std::vector<std::uint8_t>{VT_BYTESTR | kParamByRef}));
  EXPECT_EQ(entry(9, DISPATCH_METHOD)->paramTypes, (std::vector<std::uint8_t>{VT_VARIANT}));
  EXPECT_EQ(entry(10, DISPATCH_METHOD)->paramTypes, (std::vector<std::uint8_t>{VT_VARIANT | kParamByRef}));
  EXPECT_EQ(entry(11, DISPATCH_METHOD)->resultType, VT_BYTESTR);
  EXPECT_EQ(entry(12, DISPATCH_METHOD)->resultType, VT_I8);
  EXPECT_EQ(entry(4, DISPATCH_PROPERTYGET)->kind, akGet);
  EXPECT_EQ(entry(4, DISPATCH_PROPERTYPUT)->kind, akPut);
  EXPECT_EQ(entry(DISPID_VALUE, DISPATCH_PROPERTYPUT)->paramTypes,
            (std::vector<std::uint8_t>{VT_I4, VT_BSTR}));
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
}  // namespace pw::testing
