// Variant: the tagged value that crosses the script boundary (arguments, results, properties),
// with the automation type codes, and VariantChangeTypeEx, the conversion between them.
// A Variant owns its value: strings and arrays by value (shared copy-on-write), interfaces by
// one counted reference. A by-reference variant only points at another Variant and owns nothing.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "scripting/Unknown.h"

namespace pw {

struct IDispatch;

// Type codes. The low 12 bits name the base type; VT_ARRAY and VT_BYREF are flags.
enum : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,  // wide (UTF-16) string
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,  // only with VT_BYREF or VT_ARRAY, and as a parameter or result type
  VT_UNKNOWN = 13,
  VT_UI1 = 17,
  VT_I8 = 20,
  VT_BYTESTR = 0x48,  // native single-byte (UTF-8) string; a wide string on the script side
  VT_TYPEMASK = 0x0FFF,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

// A currency amount: the value times 10 000, as a 64-bit integer.
struct Currency {
  std::int64_t Scaled = 0;
  friend bool operator==(const Currency&, const Currency&) = default;
};

// A date and time: days since 1899-12-30 00:00 local time; the fraction is the time of day
// (for negative values the fraction still counts forwards from midnight of the day).
struct Date {
  double Value = 0;
  friend bool operator==(const Date&, const Date&) = default;
};

// A VT_ERROR value: a result code, DISP_E_PARAMNOTFOUND for a missing argument.
struct ErrorCode {
  HRESULT SCode = 0;
  friend bool operator==(const ErrorCode&, const ErrorCode&) = default;
};

class Variant {
 public:
  Variant() noexcept = default;  // VT_EMPTY
  Variant(bool value);
  Variant(std::int16_t value);
  Variant(std::int32_t value);
  Variant(std::int64_t value);
  Variant(long long value);  // VT_I8, like std::int64_t
  Variant(std::uint8_t value);
  Variant(float value);
  Variant(double value);
  Variant(Currency value);
  Variant(Date value);
  Variant(ErrorCode value);
  Variant(QString value);         // VT_BSTR
  Variant(std::string value);     // VT_BYTESTR
  // No pointer may silently become a Boolean: say QString or std::string for text, and
  // FromDispatch/FromUnknown for interfaces.
  template <class T>
  Variant(T*) = delete;
  Variant(ComPtr<IDispatch> value);  // VT_DISPATCH (null allowed)

  Variant(const Variant&) = default;
  Variant(Variant&&) noexcept = default;
  Variant& operator=(const Variant&) = default;
  Variant& operator=(Variant&&) noexcept = default;
  ~Variant() = default;

  static Variant Null();
  static Variant FromDispatch(IDispatch* value);  // takes a new reference
  static Variant FromUnknown(IUnknown* value);    // takes a new reference
  static Variant FromBytes(QByteArray bytes);     // VT_ARRAY | VT_UI1, lower bound 0
  static Variant FromArray(std::vector<Variant> elements);  // VT_ARRAY | VT_VARIANT
  // VT_ERROR holding DISP_E_PARAMNOTFOUND: how a caller marks an omitted argument.
  static Variant Missing();
  // VT_BYREF | the target's type: a reference to the target's value, which must outlive this
  // variant. The target must not itself be by-reference.
  static Variant ByRef(Variant* target);
  // VT_BYREF | VT_VARIANT: a reference to the whole target variant, whatever its type.
  static Variant ByRefVariant(Variant* target);

  VARTYPE Type() const { return FVt; }
  VARTYPE BaseType() const { return FVt & VT_TYPEMASK; }
  bool IsEmpty() const { return FVt == VT_EMPTY; }
  bool IsNull() const { return FVt == VT_NULL; }
  bool IsByRef() const { return (FVt & VT_BYREF) != 0; }
  bool IsArray() const { return (FVt & VT_ARRAY) != 0; }
  bool IsMissing() const;
  void Clear() { *this = Variant(); }

  // Raw access. Each getter reads the value of its own types and answers a zero value for any
  // other type; none of them converts (use VariantChangeTypeEx) or follows a reference.
  std::int64_t IntValue() const;   // VT_I2, VT_I4, VT_I8, VT_UI1, VT_ERROR
  double RealValue() const;        // VT_R4, VT_R8, VT_DATE
  bool BoolValue() const;          // VT_BOOL
  Currency CurrencyValue() const;  // VT_CY
  Date DateValue() const;          // VT_DATE
  HRESULT ErrorValue() const;      // VT_ERROR
  const QString& StringValue() const;          // VT_BSTR
  const std::string& ByteStringValue() const;  // VT_BYTESTR
  IDispatch* DispatchValue() const;  // VT_DISPATCH; borrowed, may be null
  IUnknown* UnknownValue() const;    // VT_DISPATCH or VT_UNKNOWN; borrowed, may be null
  const QByteArray& Bytes() const;   // VT_ARRAY | VT_UI1
  const std::vector<Variant>& Elements() const;  // VT_ARRAY | VT_VARIANT
  std::vector<Variant>& MutableElements();  // VT_ARRAY | VT_VARIANT; detaches shared copies
  Variant* RefTarget() const;  // VT_BYREF; the referenced variant

  // The value behind a reference (a copy of the target), or a copy of this variant when it is
  // not by-reference. Copying a by-reference variant copies the reference only.
  Variant Dereferenced() const;

  // Writes value through a reference: a VT_BYREF | VT_VARIANT target becomes value; a typed
  // target must receive a value of its own type. False when this is no reference or the type
  // differs.
  bool StoreThroughRef(const Variant& value) const;

  // Same type and equal value (references: the same target; interfaces: the same pointer).
  friend bool operator==(const Variant& a, const Variant& b);

  // A short description for diagnostics and test output, such as "VT_I4 42".
  QString DebugString() const;

 private:
  using TElementList = std::shared_ptr<std::vector<Variant>>;
  using Storage = std::variant<std::monostate, std::int64_t, double, QString, std::string,
                               QByteArray, TElementList, ComPtr<IUnknown>, Variant*>;

  Variant(VARTYPE vt, Storage value) : FVt(vt), FValue(std::move(value)) {}

  VARTYPE FVt = VT_EMPTY;
  Storage FValue;
};

void PrintTo(const Variant& value, std::ostream* out);  // for test output

// Conversion flags (the only one this implementation reads).
inline constexpr std::uint16_t VARIANT_ALPHABOOL = 0x2;  // Boolean to text: "True"/"False"

inline constexpr LCID LOCALE_USER_DEFAULT = 0x400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x800;

// Converts source to type vt and stores the result in dest (dest may be source itself; it is
// left unchanged on failure). The locale is accepted and ignored: numbers are read and written
// with "." as the decimal separator. Rules, after following a by-reference source:
//  - to its own type, to VT_VARIANT, or to VT_EMPTY: a copy (VT_EMPTY clears);
//  - from VT_EMPTY: 0, 0.0, false, an empty string, date 0 or a null interface;
//  - VT_NULL only from VT_NULL or VT_EMPTY; from VT_NULL to anything else is
//    DISP_E_TYPEMISMATCH;
//  - between numbers, Booleans, currency and dates: true is -1, false is 0, any non-zero
//    number is true; fractions round half to even; values beyond the target's range (or NaN)
//    give DISP_E_OVERFLOW; a date is its day number;
//  - numbers to text: integers in decimal, doubles with up to 15 significant digits (singles 7),
//    exponent written as "E+20"; currency with up to 4 decimals; Booleans "-1"/"0", or
//    "True"/"False" with VARIANT_ALPHABOOL; dates "yyyy-MM-dd", "hh:mm:ss" or both joined by
//    a space (date 0 with a time gives the time only);
//  - text to numbers: surrounding white space is ignored; decimal with optional sign, point and
//    exponent, or "&H" hexadecimal; an empty or malformed text is DISP_E_TYPEMISMATCH; text to
//    Boolean also accepts "true"/"false" in any case; text to date accepts the forms written
//    above, with "T" or a space between date and time, or a number of days;
//  - VT_BSTR and VT_BYTESTR convert into each other through UTF-8 (invalid UTF-8 becomes U+FFFD);
//  - an interface to anything else: its default value (DISPID_VALUE, property get), converted;
//    a null interface is DISP_E_TYPEMISMATCH; VT_UNKNOWN to VT_DISPATCH asks QueryInterface;
//  - VT_ERROR only to VT_ERROR; arrays only to their own type; anything else is
//    DISP_E_TYPEMISMATCH; an unknown or by-reference target type is DISP_E_BADVARTYPE.
HRESULT VariantChangeTypeEx(Variant& dest, const Variant& source, LCID lcid,
                            std::uint16_t flags, VARTYPE vt);

}  // namespace pw
