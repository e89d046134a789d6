// Variant values, copying rules, references and VariantChangeTypeEx.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TestObjects.h"
#include "scripting/AutoObject.h"
#include "scripting/Variant.h"

namespace pw::tests {
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
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int64_t kI64Min = std::numeric_limits<std::int64_t>::min();

Variant S(const char* utf8) { return Variant(QString::fromUtf8(utf8)); }

TEST(Variant, ConstructorsChooseTheTypeCodes) {
  EXPECT_EQ(Variant(std::int16_t{1}).Type(), VT_I2);
  EXPECT_EQ(Variant(1LL).Type(), VT_I8);
  EXPECT_EQ(Variant(std::uint8_t{1}).Type(), VT_UI1);
  EXPECT_EQ(Variant(1.0f).Type(), VT_R4);
  EXPECT_EQ(Variant(true).Type(), VT_BOOL);
  EXPECT_EQ(Variant(std::string("n")).Type(), VT_BYTESTR);
  EXPECT_EQ(Variant::FromBytes(QByteArray("ab")).Type(), VT_ARRAY | VT_UI1);
  EXPECT_EQ(Variant::FromArray({}).Type(), VT_ARRAY | VT_VARIANT);
  EXPECT_TRUE(Variant::Missing().IsMissing());
  EXPECT_FALSE(Variant(ErrorCode{E_FAIL}).IsMissing());
  // Getters read only their own types.
  EXPECT_EQ(Variant(42.0).IntValue(), 0);
  EXPECT_FALSE(Variant(1).BoolValue());
  EXPECT_TRUE(Variant(QStringLiteral("w")).ByteStringValue().empty());
  EXPECT_EQ(Variant(7).RefTarget(), nullptr);
}

TEST(Variant, EqualityNeedsTheSameTypeAndValue) {
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
  copy.MutableElements()[0] = Variant(QStringLiteral("changed"));
  copy.MutableElements().push_back(Variant(3));
  EXPECT_EQ(original, Variant::FromArray({Variant(1), Variant(2)}));
  EXPECT_EQ(copy.Elements().size(), 3u);
  Variant bytesCopy = Variant::FromBytes(QByteArray("\x00\xff", 2));
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
  EXPECT_EQ(ref.Dereferenced(), target);
  // Copying a reference copies the reference; a reference to a reference is the same one.
  EXPECT_EQ(Variant(ref).RefTarget(), &target);
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
  EXPECT_EQ(Variant::ByRef(&target).DebugString(), QStringLiteral("VT_BYREF|VT_I4 -> VT_I4 5"));
  EXPECT_EQ(Variant::FromArray({Variant(true)}).DebugString(), QStringLiteral("VT_ARRAY|VT_VARIANT [VT_BOOL -1]"));
}

// ---------------------------------------------------------------------------------------------

TEST(VariantChangeType, Conversions) {
  Variant target(QStringLiteral("12"));
  const struct {
    Variant from;
    VARTYPE to;
    Variant want;
    std::uint16_t flags = 0;
  } cases[] = {
      // Integer ranges.
      {Variant(32767), VT_I2, Variant(std::int16_t{32767})},
      {Variant(32768), VT_I2, kOverflow},
      {Variant(-32769), VT_I2, kOverflow},
      {Variant(255), VT_UI1, Variant(std::uint8_t{255})},
      {Variant(256), VT_UI1, kOverflow},
      {Variant(-1), VT_UI1, kOverflow},
      {Variant(std::int64_t{1} << 31), VT_I4, kOverflow},
      {Variant(-(std::int64_t{1} << 31)), VT_I4, Variant(std::numeric_limits<std::int32_t>::min())},
      {Variant(kI64Min), VT_I8, Variant(kI64Min)},
      {Variant(9.3e18), VT_I8, kOverflow},
      {Variant(std::nan("")), VT_I4, kOverflow},
      {Variant(kInf), VT_I4, kOverflow},
      // Fractions round half to even.
      {Variant(2.5), VT_I4, Variant(2)},
      {Variant(3.5), VT_I4, Variant(4)},
      {Variant(-2.5), VT_I4, Variant(-2)},
      {Variant(2.51), VT_I4, Variant(3)},
      {Variant(Currency{25000}), VT_I4, Variant(2)},
      {Variant(Currency{35000}), VT_I4, Variant(4)},
      {Variant(Currency{-15001}), VT_I4, Variant(-2)},
      {S("1.5"), VT_I4, Variant(2)},
      {Variant(0.03125), VT_CY, Variant(Currency{312})},  // 312.5 units of 1/10000
      {Variant(0.09375), VT_CY, Variant(Currency{938})},
      // Booleans are -1 and 0.
      {Variant(true), VT_I4, Variant(-1)},
      {Variant(false), VT_R8, Variant(0.0)},
      {Variant(true), VT_UI1, kOverflow},
      {Variant(2), VT_BOOL, Variant(true)},
      {Variant(0.1), VT_BOOL, Variant(true)},
      {Variant(0.0), VT_BOOL, Variant(false)},
      {Variant(true), VT_BSTR, S("-1")},
      {Variant(false), VT_BSTR, S("0")},
      {Variant(true), VT_BSTR, S("True"), VARIANT_ALPHABOOL},
      {S(" TRUE "), VT_BOOL, Variant(true)},
      {S("false"), VT_BOOL, Variant(false)},
      {S("-1"), VT_BOOL, Variant(true)},
      {S("0"), VT_BOOL, Variant(false)},
      {S("yes"), VT_BOOL, kTypeMismatch},
      {S("true"), VT_I4, kTypeMismatch},
      // Text to numbers.
      {S("  42\t"), VT_I4, Variant(42)},
      {S("+7"), VT_I4, Variant(7)},
      {S("-7"), VT_I2, Variant(std::int16_t{-7})},
      {S("1e3"), VT_I4, Variant(1000)},
      {S(".5"), VT_R8, Variant(0.5)},
      {S("&HFF"), VT_I4, Variant(255)},
      {S("&hffffffff"), VT_I4, Variant(-1)},
      {S("9007199254740993"), VT_I8, Variant(std::int64_t{9007199254740993})},
      {S("9223372036854775808"), VT_I8, kOverflow},
      {S("1e400"), VT_R8, Variant(kInf)},
      {S("-1e400"), VT_R8, Variant(-kInf)},
      {S("1e-400"), VT_R8, Variant(0.0)},
      {S("1e400"), VT_I4, kOverflow},
      {S("1e39"), VT_R4, kOverflow},
      {S("12.34"), VT_CY, Variant(Currency{123400})},
      {Variant(std::string("12")), VT_UI1, Variant(std::uint8_t{12})},
      {S("\xd9\xa3"), VT_I4, kTypeMismatch},  // Arabic-Indic 3
      // Numbers to text.
      {Variant(-12), VT_BSTR, S("-12")},
      {Variant(0.1 + 0.2), VT_BSTR, S("0.3")},
      {Variant(1e20), VT_BSTR, S("1E+20")},
      {Variant(1e-5), VT_BSTR, S("1E-05")},
      {Variant(123456789012345.0), VT_BSTR, S("123456789012345")},
      {Variant(0.1f), VT_BSTR, S("0.1")},
      {Variant(std::nan("")), VT_BSTR, S("NaN")},
      {Variant(-kInf), VT_BSTR, S("-Infinity")},
      {Variant(Currency{12345678}), VT_BSTR, S("1234.5678")},
      {Variant(Currency{15000}), VT_BSTR, S("1.5")},
      {Variant(Currency{-5}), VT_BSTR, S("-0.0005")},
      {Variant(Currency{kI64Min}), VT_BSTR, S("-922337203685477.5808")},
      {Variant(std::uint8_t{200}), VT_BYTESTR, Variant(std::string("200"))},
      // Currency range.
      {Variant(std::int64_t{922337203685477}), VT_CY, Variant(Currency{9223372036854770000})},
      {Variant(std::int64_t{922337203685478}), VT_CY, kOverflow},
      {Variant(1e15), VT_CY, kOverflow},
      {Variant(Currency{12345}), VT_R8, Variant(1.2345)},
      // Dates; before 1899-12-30 the fraction still counts forwards from midnight, and a time
      // that rounds up to midnight moves to the next day.
      {Variant(Date{0}), VT_BSTR, S("1899-12-30")},
      {Variant(Date{45000.5}), VT_BSTR, S("2023-03-15 12:00:00")},
      {Variant(Date{0.75}), VT_BSTR, S("18:00:00")},
      {Variant(Date{-1.25}), VT_BSTR, S("1899-12-29 06:00:00")},
      {Variant(Date{1.9999999999}), VT_BSTR, S("1900-01-01")},
      {S("2023-03-15 12:00:00"), VT_DATE, Variant(Date{45000.5})},
      {S("2023-03-15T06:00"), VT_DATE, Variant(Date{45000.25})},
      {S("1899-12-29 06:00:00"), VT_DATE, Variant(Date{-1.25})},
      {S("12:00"), VT_DATE, Variant(Date{0.5})},
      {S("45000"), VT_DATE, Variant(Date{45000})},
      {S("2023-02-30"), VT_DATE, kTypeMismatch},
      {S("2023-03-15 25:00"), VT_DATE, kTypeMismatch},
      {S("Tuesday"), VT_DATE, kTypeMismatch},
      {Variant(Date{2.75}), VT_I4, Variant(3)},
      {Variant(3), VT_DATE, Variant(Date{3})},
      {Variant(3e6), VT_DATE, kOverflow},
      {Variant(-7e5), VT_DATE, kOverflow},
      // Wide and native strings meet in UTF-8.
      {S("\xc3\xbc\xe2\x82\xac"), VT_BYTESTR, Variant(std::string("\xc3\xbc\xe2\x82\xac"))},
      {Variant(std::string("\xc3\xbc")), VT_BSTR, S("\xc3\xbc")},
      {Variant(std::string("a\xff")), VT_BSTR, Variant(QStringLiteral("a") + QChar(0xFFFD))},
      // Empty, null and error.
      {Variant(), VT_I4, Variant(0)},
      {Variant(), VT_BSTR, Variant(QString())},
      {Variant(), VT_BOOL, Variant(false)},
      {Variant(), VT_DATE, Variant(Date{0})},
      {Variant(), VT_DISPATCH, Variant::FromDispatch(nullptr)},
      {Variant(), VT_NULL, Variant::Null()},
      {Variant(), VT_ERROR, kTypeMismatch},
      {Variant::Null(), VT_NULL, Variant::Null()},
      {Variant::Null(), VT_VARIANT, Variant::Null()},
      {Variant::Null(), VT_EMPTY, Variant()},
      {Variant(7), VT_NULL, kTypeMismatch},
      {Variant(ErrorCode{E_FAIL}), VT_I4, kTypeMismatch},
      {Variant(ErrorCode{E_FAIL}), VT_ERROR, Variant(ErrorCode{E_FAIL})},
      {Variant(5), VT_ERROR, kTypeMismatch},
      // Arrays convert only to themselves; unknown target types are refused.
      {Variant::FromBytes("ab"), VT_ARRAY | VT_UI1, Variant::FromBytes("ab")},
      {Variant::FromBytes("ab"), VT_VARIANT, Variant::FromBytes("ab")},
      {Variant::FromBytes("ab"), VT_BSTR, kTypeMismatch},
      {Variant::FromBytes("ab"), VT_ARRAY | VT_VARIANT, kTypeMismatch},
      {Variant(5), VT_ARRAY | VT_UI1, kTypeMismatch},
      {Variant(5), VT_ARRAY | VT_I4, kBadType},
      {Variant(5), VT_BYREF | VT_I4, kBadType},
      {Variant(5), 99, kBadType},
      {Variant(5), 0x0FFF, kBadType},
      // References are followed.
      {Variant::ByRef(&target), VT_I4, Variant(12)},
      {Variant::ByRefVariant(&target), VT_VARIANT, target},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(To(c.from, c.to, c.flags), c.want) << c.from.DebugString().toStdString() << " to " << c.to;
  }
  for (const char* bad : {"", "   ", "abc", "1,5", "1 2", "--1", "+-1", "nan", "inf", "0x10", "&H", "&HZZ", "1e"}) {
    EXPECT_EQ(To(S(bad), VT_I4), kTypeMismatch) << bad;
  }
  for (VARTYPE vt : {VT_I4, VT_BSTR, VT_BOOL, VT_DISPATCH, VT_R8, VT_ERROR}) {
    EXPECT_EQ(To(Variant::Null(), vt), kTypeMismatch) << vt;
  }
}

TEST(VariantChangeType, DestinationMayBeTheSource) {
  Variant value(QStringLiteral("41"));
  EXPECT_EQ(VariantChangeTypeEx(value, value, 0, 0, VT_I4), S_OK);
  EXPECT_EQ(value, Variant(41));
  EXPECT_EQ(VariantChangeTypeEx(value, value, 0, 0, VT_ERROR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(value, Variant(41));
}

TEST(VariantChangeType, ObjectsGiveTheirDefaultValue) {
  // TTestObject's default member is an indexed property: no default value without an index.
  ComPtr<TTestObject> indexed = MakeAutoObject<TTestObject>();
  EXPECT_EQ(To(Variant::FromDispatch(indexed.Get()), VT_BSTR), kTypeMismatch);
  EXPECT_EQ(To(Variant::FromDispatch(nullptr), VT_BSTR), kTypeMismatch);
  EXPECT_EQ(To(Variant::FromDispatch(nullptr), VT_UNKNOWN), Variant::FromUnknown(nullptr));

  ComPtr<TProbe> valued = MakeAutoObject<TProbe>();
  valued->FValue = QStringLiteral("17");
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
}  // namespace pw::tests
