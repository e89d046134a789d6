// Variant values, copying rules, references and VariantChangeTypeEx.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scripting/AutoObject.h"
#include "TestObjects.h"
#include "scripting/Variant.h"

namespace pw {
namespace {

// The conversion of value to vt, or the failure code as a VT_ERROR variant.
Variant To(const Variant& value, VARTYPE vt, std::uint16_t flags = 0) {
  Variant out;
  const HRESULT hr = VariantChangeTypeEx(out, value, LOCALE_USER_DEFAULT, flags, vt);
  return SUCCEEDED(hr) ? out : Variant(ErrorCode{hr});
}

const Variant kTypeMismatch(ErrorCode{DISP_E_TYPEMISMATCH});
const Variant kOverflow(ErrorCode{DISP_E_OVERFLOW});
const Variant kBadType(ErrorCode{DISP_E_BADVARTYPE});

TEST(Variant, ConstructorsChooseTheTypeCodes) {
  EXPECT_EQ(Variant().Type(), VT_EMPTY);
  EXPECT_EQ(Variant::Null().Type(), VT_NULL);
  EXPECT_EQ(Variant(std::int16_t{1}).Type(), VT_I2);
  EXPECT_EQ(Variant(1).Type(), VT_I4);
  EXPECT_EQ(Variant(std::int64_t{1}).Type(), VT_I8);
  EXPECT_EQ(Variant(1LL).Type(), VT_I8);
  EXPECT_EQ(Variant(std::uint8_t{1}).Type(), VT_UI1);
  EXPECT_EQ(Variant(1.0f).Type(), VT_R4);
  EXPECT_EQ(Variant(1.0).Type(), VT_R8);
  EXPECT_EQ(Variant(Currency{1}).Type(), VT_CY);
  EXPECT_EQ(Variant(Date{1}).Type(), VT_DATE);
  EXPECT_EQ(Variant(ErrorCode{1}).Type(), VT_ERROR);
  EXPECT_EQ(Variant(true).Type(), VT_BOOL);
  EXPECT_EQ(Variant(QStringLiteral("w")).Type(), VT_BSTR);
  EXPECT_EQ(Variant(std::string("n")).Type(), VT_BYTESTR);
  EXPECT_EQ(Variant::FromDispatch(nullptr).Type(), VT_DISPATCH);
  EXPECT_EQ(Variant::FromUnknown(nullptr).Type(), VT_UNKNOWN);
  EXPECT_EQ(Variant::FromBytes(QByteArray("ab")).Type(), VT_ARRAY | VT_UI1);
  EXPECT_EQ(Variant::FromArray({}).Type(), VT_ARRAY | VT_VARIANT);
  EXPECT_TRUE(Variant::Missing().IsMissing());
  EXPECT_FALSE(Variant(ErrorCode{E_FAIL}).IsMissing());
}

TEST(Variant, GettersReadOnlyTheirOwnTypes) {
  EXPECT_EQ(Variant(42).IntValue(), 42);
  EXPECT_EQ(Variant(42.0).IntValue(), 0);
  EXPECT_EQ(Variant(true).IntValue(), 0);
  EXPECT_TRUE(Variant(true).BoolValue());
  EXPECT_FALSE(Variant(1).BoolValue());
  EXPECT_EQ(Variant(2.5f).RealValue(), 2.5);
  EXPECT_EQ(Variant(Date{3.25}).RealValue(), 3.25);
  EXPECT_TRUE(Variant(7).StringValue().isEmpty());
  EXPECT_TRUE(Variant(QStringLiteral("w")).ByteStringValue().empty());
  EXPECT_TRUE(Variant(7).Bytes().isEmpty());
  EXPECT_TRUE(Variant(7).Elements().empty());
  EXPECT_EQ(Variant(7).RefTarget(), nullptr);
  EXPECT_EQ(Variant(ErrorCode{E_FAIL}).ErrorValue(), E_FAIL);
  EXPECT_EQ(Variant(Currency{-5}).CurrencyValue(), Currency{-5});
}

TEST(Variant, EqualityNeedsTheSameTypeAndValue) {
  EXPECT_EQ(Variant(1), Variant(1));
  EXPECT_NE(Variant(1), Variant(std::int16_t{1}));
  EXPECT_NE(Variant(1), Variant(1.0));
  EXPECT_NE(Variant(), Variant::Null());
  EXPECT_EQ(Variant::FromArray({Variant(1)}), Variant::FromArray({Variant(1)}));
  EXPECT_NE(Variant::FromArray({Variant(1)}), Variant::FromArray({Variant(2)}));
  EXPECT_NE(Variant(std::nan("")), Variant(std::nan("")));
}

TEST(Variant, ArrayCopiesAreIndependent) {
  Variant original = Variant::FromArray({Variant(1), Variant(2)});
  Variant copy = original;
  copy.MutableElements().push_back(Variant(3));
  copy.MutableElements()[0] = Variant(QStringLiteral("changed"));
  EXPECT_EQ(original.Elements().size(), 2u);
  EXPECT_EQ(original.Elements()[0], Variant(1));
  EXPECT_EQ(copy.Elements().size(), 3u);

  Variant bytes = Variant::FromBytes(QByteArray("\x00\xff", 2));
  Variant bytesCopy = bytes;
  EXPECT_EQ(bytesCopy.Bytes(), QByteArray("\x00\xff", 2));

  // MutableElements turns any other value into an empty array first.
  Variant scalar(5);
  scalar.MutableElements().push_back(Variant(6));
  EXPECT_EQ(scalar, Variant::FromArray({Variant(6)}));
}

TEST(Variant, ReferencesPointAtTheirTarget) {
  Variant target(QStringLiteral("a"));
  Variant ref = Variant::ByRef(&target);
  EXPECT_EQ(ref.Type(), VT_BYREF | VT_BSTR);
  EXPECT_EQ(ref.RefTarget(), &target);
  EXPECT_EQ(ref.Dereferenced(), target);
  // Copying a reference copies the reference, not the value.
  Variant refCopy = ref;
  EXPECT_EQ(refCopy.RefTarget(), &target);
  // A reference to a reference is the same reference.
  EXPECT_EQ(Variant::ByRef(&ref).RefTarget(), &target);
  EXPECT_EQ(Variant::ByRefVariant(&ref).RefTarget(), &target);
  EXPECT_TRUE(Variant::ByRef(nullptr).IsEmpty());

  EXPECT_TRUE(ref.StoreThroughRef(Variant(QStringLiteral("b"))));
  EXPECT_EQ(target, Variant(QStringLiteral("b")));
  EXPECT_FALSE(ref.StoreThroughRef(Variant(5)));
  EXPECT_EQ(target, Variant(QStringLiteral("b")));
  EXPECT_FALSE(Variant(5).StoreThroughRef(Variant(6)));

  Variant anything = Variant::ByRefVariant(&target);
  EXPECT_EQ(anything.Type(), VT_BYREF | VT_VARIANT);
  EXPECT_TRUE(anything.StoreThroughRef(Variant(5)));
  EXPECT_EQ(target, Variant(5));
}

TEST(Variant, DebugStringsNameTypeAndValue) {
  EXPECT_EQ(Variant(42).DebugString(), QStringLiteral("VT_I4 42"));
  EXPECT_EQ(Variant(QStringLiteral("x")).DebugString(), QStringLiteral("VT_BSTR \"x\""));
  EXPECT_EQ(Variant::FromArray({Variant(true)}).DebugString(), QStringLiteral("VT_ARRAY|VT_VARIANT [VT_BOOL -1]"));
  Variant target(1);
  EXPECT_EQ(Variant::ByRef(&target).DebugString(), QStringLiteral("VT_BYREF|VT_I4 -> VT_I4 1"));
}

// ---------------------------------------------------------------------------------------------

TEST(VariantChangeType, IntegerRanges) {
  EXPECT_EQ(To(Variant(32767), VT_I2), Variant(std::int16_t{32767}));
  EXPECT_EQ(To(Variant(32768), VT_I2), kOverflow);
  EXPECT_EQ(To(Variant(-32769), VT_I2), kOverflow);
  EXPECT_EQ(To(Variant(255), VT_UI1), Variant(std::uint8_t{255}));
  EXPECT_EQ(To(Variant(256), VT_UI1), kOverflow);
  EXPECT_EQ(To(Variant(-1), VT_UI1), kOverflow);
  EXPECT_EQ(To(Variant(std::int64_t{1} << 31), VT_I4), kOverflow);
  EXPECT_EQ(To(Variant(-(std::int64_t{1} << 31)), VT_I4), Variant(std::numeric_limits<std::int32_t>::min()));
  EXPECT_EQ(To(Variant(std::numeric_limits<std::int64_t>::min()), VT_I8),
            Variant(std::numeric_limits<std::int64_t>::min()));
  EXPECT_EQ(To(Variant(9.3e18), VT_I8), kOverflow);
  EXPECT_EQ(To(Variant(std::nan("")), VT_I4), kOverflow);
  EXPECT_EQ(To(Variant(std::numeric_limits<double>::infinity()), VT_I4), kOverflow);
}

TEST(VariantChangeType, FractionsRoundHalfToEven) {
  EXPECT_EQ(To(Variant(2.5), VT_I4), Variant(2));
  EXPECT_EQ(To(Variant(3.5), VT_I4), Variant(4));
  EXPECT_EQ(To(Variant(-2.5), VT_I4), Variant(-2));
  EXPECT_EQ(To(Variant(2.51), VT_I4), Variant(3));
  EXPECT_EQ(To(Variant(Currency{25000}), VT_I4), Variant(2));
  EXPECT_EQ(To(Variant(Currency{35000}), VT_I4), Variant(4));
  EXPECT_EQ(To(Variant(Currency{-15001}), VT_I4), Variant(-2));
  EXPECT_EQ(To(Variant(QStringLiteral("1.5")), VT_I4), Variant(2));
  EXPECT_EQ(To(Variant(0.03125), VT_CY), Variant(Currency{312}));  // 312.5 units of 1/10000
  EXPECT_EQ(To(Variant(0.09375), VT_CY), Variant(Currency{938}));
}

TEST(VariantChangeType, BooleansAreMinusOneAndZero) {
  EXPECT_EQ(To(Variant(true), VT_I4), Variant(-1));
  EXPECT_EQ(To(Variant(false), VT_R8), Variant(0.0));
  EXPECT_EQ(To(Variant(true), VT_UI1), kOverflow);
  EXPECT_EQ(To(Variant(2), VT_BOOL), Variant(true));
  EXPECT_EQ(To(Variant(0.0), VT_BOOL), Variant(false));
  EXPECT_EQ(To(Variant(0.1), VT_BOOL), Variant(true));
  EXPECT_EQ(To(Variant(true), VT_BSTR), Variant(QStringLiteral("-1")));
  EXPECT_EQ(To(Variant(false), VT_BSTR), Variant(QStringLiteral("0")));
  EXPECT_EQ(To(Variant(true), VT_BSTR, VARIANT_ALPHABOOL), Variant(QStringLiteral("True")));
  EXPECT_EQ(To(Variant(QStringLiteral(" TRUE ")), VT_BOOL), Variant(true));
  EXPECT_EQ(To(Variant(QStringLiteral("false")), VT_BOOL), Variant(false));
  EXPECT_EQ(To(Variant(QStringLiteral("-1")), VT_BOOL), Variant(true));
  EXPECT_EQ(To(Variant(QStringLiteral("0")), VT_BOOL), Variant(false));
  EXPECT_EQ(To(Variant(QStringLiteral("yes")), VT_BOOL), kTypeMismatch);
  EXPECT_EQ(To(Variant(QStringLiteral("true")), VT_I4), kTypeMismatch);
}

TEST(VariantChangeType, TextToNumbers) {
  EXPECT_EQ(To(Variant(QStringLiteral("  42\t")), VT_I4), Variant(42));
  EXPECT_EQ(To(Variant(QStringLiteral("+7")), VT_I4), Variant(7));
  EXPECT_EQ(To(Variant(QStringLiteral("-7")), VT_I2), Variant(std::int16_t{-7}));
  EXPECT_EQ(To(Variant(QStringLiteral("1e3")), VT_I4), Variant(1000));
  EXPECT_EQ(To(Variant(QStringLiteral(".5")), VT_R8), Variant(0.5));
  EXPECT_EQ(To(Variant(QStringLiteral("&HFF")), VT_I4), Variant(255));
  EXPECT_EQ(To(Variant(QStringLiteral("&hffffffff")), VT_I4), Variant(-1));
  EXPECT_EQ(To(Variant(QStringLiteral("9007199254740993")), VT_I8), Variant(std::int64_t{9007199254740993}));
  EXPECT_EQ(To(Variant(QStringLiteral("9223372036854775808")), VT_I8), kOverflow);
  EXPECT_EQ(To(Variant(QStringLiteral("1e400")), VT_R8), Variant(std::numeric_limits<double>::infinity()));
  EXPECT_EQ(To(Variant(QStringLiteral("-1e400")), VT_R8), Variant(-std::numeric_limits<double>::infinity()));
  EXPECT_EQ(To(Variant(QStringLiteral("1e-400")), VT_R8), Variant(0.0));
  EXPECT_EQ(To(Variant(QStringLiteral("1e400")), VT_I4), kOverflow);
  EXPECT_EQ(To(Variant(QStringLiteral("1e39")), VT_R4), kOverflow);
  EXPECT_EQ(To(Variant(QStringLiteral("12.34")), VT_CY), Variant(Currency{123400}));
  EXPECT_EQ(To(Variant(std::string("12")), VT_UI1), Variant(std::uint8_t{12}));
  for (const char* bad : {"", "   ", "abc", "1,5", "1 2", "--1", "+-1", "nan", "inf", "0x10", "&H", "&HZZ", "1e"}) {
    EXPECT_EQ(To(Variant(QString::fromLatin1(bad)), VT_I4), kTypeMismatch) << bad;
  }
  EXPECT_EQ(To(Variant(QString::fromUtf8("\xd9\xa3")), VT_I4), kTypeMismatch);  // Arabic-Indic 3
}

TEST(VariantChangeType, NumbersToText) {
  EXPECT_EQ(To(Variant(-12), VT_BSTR), Variant(QStringLiteral("-12")));
  EXPECT_EQ(To(Variant(0.1), VT_BSTR), Variant(QStringLiteral("0.1")));
  EXPECT_EQ(To(Variant(0.1 + 0.2), VT_BSTR), Variant(QStringLiteral("0.3")));
  EXPECT_EQ(To(Variant(1e20), VT_BSTR), Variant(QStringLiteral("1E+20")));
  EXPECT_EQ(To(Variant(1e-5), VT_BSTR), Variant(QStringLiteral("1E-05")));
  EXPECT_EQ(To(Variant(123456789012345.0), VT_BSTR), Variant(QStringLiteral("123456789012345")));
  EXPECT_EQ(To(Variant(0.1f), VT_BSTR), Variant(QStringLiteral("0.1")));
  EXPECT_EQ(To(Variant(std::nan("")), VT_BSTR), Variant(QStringLiteral("NaN")));
  EXPECT_EQ(To(Variant(-std::numeric_limits<double>::infinity()), VT_BSTR), Variant(QStringLiteral("-Infinity")));
  EXPECT_EQ(To(Variant(Currency{12345678}), VT_BSTR), Variant(QStringLiteral("1234.5678")));
  EXPECT_EQ(To(Variant(Currency{15000}), VT_BSTR), Variant(QStringLiteral("1.5")));
  EXPECT_EQ(To(Variant(Currency{-5}), VT_BSTR), Variant(QStringLiteral("-0.0005")));
  EXPECT_EQ(To(Variant(Currency{std::numeric_limits<std::int64_t>::min()}), VT_BSTR),
            Variant(QStringLiteral("-922337203685477.5808")));
  EXPECT_EQ(To(Variant(std::uint8_t{200}), VT_BYTESTR), Variant(std::string("200")));
}

TEST(VariantChangeType, CurrencyRange) {
  EXPECT_EQ(To(Variant(std::int64_t{922337203685477}), VT_CY), Variant(Currency{9223372036854770000}));
  EXPECT_EQ(To(Variant(std::int64_t{922337203685478}), VT_CY), kOverflow);
  EXPECT_EQ(To(Variant(1e15), VT_CY), kOverflow);
  EXPECT_EQ(To(Variant(Currency{12345}), VT_R8), Variant(1.2345));
}

TEST(VariantChangeType, DatesAndText) {
  EXPECT_EQ(To(Variant(Date{0}), VT_BSTR), Variant(QStringLiteral("1899-12-30")));
  EXPECT_EQ(To(Variant(Date{45000.5}), VT_BSTR), Variant(QStringLiteral("2023-03-15 12:00:00")));
  EXPECT_EQ(To(Variant(Date{0.75}), VT_BSTR), Variant(QStringLiteral("18:00:00")));
  // Before 1899-12-30 the fraction still counts forwards from midnight.
  EXPECT_EQ(To(Variant(Date{-1.25}), VT_BSTR), Variant(QStringLiteral("1899-12-29 06:00:00")));
  // A time that rounds up to midnight moves to the next day.
  EXPECT_EQ(To(Variant(Date{1.9999999999}), VT_BSTR), Variant(QStringLiteral("1900-01-01")));

  EXPECT_EQ(To(Variant(QStringLiteral("2023-03-15 12:00:00")), VT_DATE), Variant(Date{45000.5}));
  EXPECT_EQ(To(Variant(QStringLiteral("2023-03-15T06:00")), VT_DATE), Variant(Date{45000.25}));
  EXPECT_EQ(To(Variant(QStringLiteral("1899-12-29 06:00:00")), VT_DATE), Variant(Date{-1.25}));
  EXPECT_EQ(To(Variant(QStringLiteral("12:00")), VT_DATE), Variant(Date{0.5}));
  EXPECT_EQ(To(Variant(QStringLiteral("45000")), VT_DATE), Variant(Date{45000}));
  EXPECT_EQ(To(Variant(QStringLiteral("2023-02-30")), VT_DATE), kTypeMismatch);
  EXPECT_EQ(To(Variant(QStringLiteral("2023-03-15 25:00")), VT_DATE), kTypeMismatch);
  EXPECT_EQ(To(Variant(QStringLiteral("Tuesday")), VT_DATE), kTypeMismatch);

  EXPECT_EQ(To(Variant(Date{2.75}), VT_I4), Variant(3));
  EXPECT_EQ(To(Variant(3), VT_DATE), Variant(Date{3}));
  EXPECT_EQ(To(Variant(3e6), VT_DATE), kOverflow);
  EXPECT_EQ(To(Variant(-7e5), VT_DATE), kOverflow);
}

TEST(VariantChangeType, WideAndNativeStringsMeetInUtf8) {
  EXPECT_EQ(To(Variant(QString::fromUtf8("\xc3\xbc\xe2\x82\xac")), VT_BYTESTR), Variant(std::string("\xc3\xbc\xe2\x82\xac")));
  EXPECT_EQ(To(Variant(std::string("\xc3\xbc")), VT_BSTR), Variant(QString::fromUtf8("\xc3\xbc")));
  EXPECT_EQ(To(Variant(std::string("a\xff")), VT_BSTR), Variant(QStringLiteral("a") + QChar(0xFFFD)));
}

TEST(VariantChangeType, EmptyNullAndError) {
  EXPECT_EQ(To(Variant(), VT_I4), Variant(0));
  EXPECT_EQ(To(Variant(), VT_BSTR), Variant(QString()));
  EXPECT_EQ(To(Variant(), VT_BOOL), Variant(false));
  EXPECT_EQ(To(Variant(), VT_DATE), Variant(Date{0}));
  EXPECT_EQ(To(Variant(), VT_DISPATCH), Variant::FromDispatch(nullptr));
  EXPECT_EQ(To(Variant(), VT_NULL), Variant::Null());
  EXPECT_EQ(To(Variant(), VT_ERROR), kTypeMismatch);
  for (VARTYPE vt : {VT_I4, VT_BSTR, VT_BOOL, VT_DISPATCH, VT_R8, VT_ERROR}) {
    EXPECT_EQ(To(Variant::Null(), vt), kTypeMismatch) << vt;
  }
  EXPECT_EQ(To(Variant::Null(), VT_NULL), Variant::Null());
  EXPECT_EQ(To(Variant::Null(), VT_VARIANT), Variant::Null());
  EXPECT_EQ(To(Variant::Null(), VT_EMPTY), Variant());
  EXPECT_EQ(To(Variant(7), VT_NULL), kTypeMismatch);
  EXPECT_EQ(To(Variant(ErrorCode{E_FAIL}), VT_I4), kTypeMismatch);
  EXPECT_EQ(To(Variant(ErrorCode{E_FAIL}), VT_ERROR), Variant(ErrorCode{E_FAIL}));
  EXPECT_EQ(To(Variant(5), VT_ERROR), kTypeMismatch);
}

TEST(VariantChangeType, ArraysConvertOnlyToThemselves) {
  const Variant bytes = Variant::FromBytes(QByteArray("ab"));
  EXPECT_EQ(To(bytes, VT_ARRAY | VT_UI1), bytes);
  EXPECT_EQ(To(bytes, VT_VARIANT), bytes);
  EXPECT_EQ(To(bytes, VT_BSTR), kTypeMismatch);
  EXPECT_EQ(To(bytes, VT_ARRAY | VT_VARIANT), kTypeMismatch);
  EXPECT_EQ(To(Variant(5), VT_ARRAY | VT_UI1), kTypeMismatch);
  EXPECT_EQ(To(Variant(5), VT_ARRAY | VT_I4), kBadType);
}

TEST(VariantChangeType, UnknownTargetTypesAreRefused) {
  EXPECT_EQ(To(Variant(5), VT_BYREF | VT_I4), kBadType);
  EXPECT_EQ(To(Variant(5), 99), kBadType);
  EXPECT_EQ(To(Variant(5), 0x0FFF), kBadType);
}

TEST(VariantChangeType, ReferencesAreFollowed) {
  Variant target(QStringLiteral("12"));
  EXPECT_EQ(To(Variant::ByRef(&target), VT_I4), Variant(12));
  EXPECT_EQ(To(Variant::ByRefVariant(&target), VT_VARIANT), target);
}

TEST(VariantChangeType, DestinationMayBeTheSource) {
  Variant value(QStringLiteral("41"));
  EXPECT_EQ(VariantChangeTypeEx(value, value, 0, 0, VT_I4), S_OK);
  EXPECT_EQ(value, Variant(41));
  EXPECT_EQ(VariantChangeTypeEx(value, value, 0, 0, VT_ERROR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(value, Variant(41));
}

TEST(VariantChangeType, ObjectsGiveTheirDefaultValue) {
  using testing::TTestBag;
  using testing::TTestObject;
  // TTestObject's default member is an indexed property: no default value without an index.
  ComPtr<TTestObject> indexed = MakeAutoObject<TTestObject>();
  EXPECT_EQ(To(Variant::FromDispatch(indexed.Get()), VT_BSTR), kTypeMismatch);
  EXPECT_EQ(To(Variant::FromDispatch(nullptr), VT_BSTR), kTypeMismatch);
  EXPECT_EQ(To(Variant::FromDispatch(nullptr), VT_UNKNOWN), Variant::FromUnknown(nullptr));

  struct TValued : TCustomAutoObject {
    HRESULT Invoke(DISPID id, const IID&, LCID, std::uint16_t, DISPPARAMS*, Variant* result,
                   EXCEPINFO*, std::uint32_t*) override {
      if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
      if (result) *result = Variant(QStringLiteral("17"));
      return S_OK;
    }
  };
  ComPtr<TValued> valued(new TValued);
  EXPECT_EQ(To(Variant::FromDispatch(valued.Get()), VT_I4), Variant(17));
  EXPECT_EQ(To(Variant::FromDispatch(valued.Get()), VT_BSTR), Variant(QStringLiteral("17")));
  EXPECT_EQ(To(Variant::FromDispatch(valued.Get()), VT_DISPATCH), Variant::FromDispatch(valued.Get()));
  // An IUnknown becomes a dispatch through QueryInterface.
  const Variant unknown = Variant::FromUnknown(static_cast<IDispatchEx*>(valued.Get()));
  EXPECT_EQ(To(unknown, VT_DISPATCH), Variant::FromDispatch(valued.Get()));
  EXPECT_EQ(To(unknown, VT_I4), Variant(17));
  EXPECT_EQ(To(Variant(5), VT_DISPATCH), kTypeMismatch);

  // An object whose default value is itself does not recurse forever.
  struct TSelfish : TCustomAutoObject {
    HRESULT Invoke(DISPID, const IID&, LCID, std::uint16_t, DISPPARAMS*, Variant* result,
                   EXCEPINFO*, std::uint32_t*) override {
      if (result) *result = Variant::FromDispatch(this);
      return S_OK;
    }
  };
  ComPtr<TSelfish> selfish(new TSelfish);
  EXPECT_EQ(To(Variant::FromDispatch(selfish.Get()), VT_I4), kTypeMismatch);
  EXPECT_EQ(selfish->RefCount(), 1u);
}

}  // namespace
}  // namespace pw
