// The conversion rules of VariantChangeTypeEx (declared and described in Variant.h).
#include "scripting/Variant.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "scripting/Dispatch.h"

namespace pw {

namespace {

constexpr int kMaxDefaultValueDepth = 8;
// The range of dates: years 100 to 9999.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958466.0;
constexpr std::int64_t kCurrencyScale = 10000;

// A number on its way between types: exact integers stay integers, currency stays scaled.
struct Number {
  enum TKind { kInt, kReal, kCurrency } Kind = kInt;
  std::int64_t Int = 0;  // kInt: the value; kCurrency: value x 10 000
  double Real = 0;       // kReal
};

QString Trimmed(const Variant& text) {
  if (text.Type() == VT_BYTESTR) {
    const std::string& bytes = text.ByteStringValue();
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).trimmed();
  }
  return text.StringValue().trimmed();
}

// Parses decimal (sign, digits, point, exponent) or "&H" hexadecimal text.
bool ParseNumber(const QString& text, Number& number) {
  if (text.isEmpty()) return false;
  const QByteArray ascii = text.toLatin1();
  if (text.size() > 2 && (ascii.startsWith("&H") || ascii.startsWith("&h"))) {
    std::uint64_t value = 0;
    const char* begin = ascii.constData() + 2;
    const char* end = ascii.constData() + ascii.size();
    auto [ptr, ec] = std::from_chars(begin, end, value, 16);
    if (ec != std::errc() || ptr != end) return false;
    // Eight digits or fewer read as a 32-bit pattern, as &HFFFFFFFF is -1.
    if (end - begin <= 8) value = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(value)));
    number = {Number::kInt, static_cast<std::int64_t>(value), 0};
    return true;
  }
  for (QChar c : text) {
    const char16_t u = c.unicode();
    const bool allowed = (u >= '0' && u <= '9') || u == '+' || u == '-' || u == '.' || u == 'e' || u == 'E';
    if (!allowed) return false;
  }
  const char* begin = ascii.constData();
  const char* end = begin + ascii.size();
  bool negative = false;
  if (*begin == '+' || *begin == '-') {
    negative = *begin == '-';
    ++begin;
  }
  if (begin == end || *begin == '+' || *begin == '-') return false;
  std::int64_t integer = 0;
  auto [intEnd, intError] = std::from_chars(begin, end, integer);
  if (intError == std::errc() && intEnd == end) {
    number = {Number::kInt, negative ? -integer : integer, 0};
    return true;
  }
  double real = 0;
  auto [ptr, ec] = std::from_chars(begin, end, real, std::chars_format::general);
  if (ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range)) return false;
  if (ec == std::errc::result_out_of_range) {
    // Too small for a double (a negative exponent, or nothing before the point but zeros) is
    // zero; too large is infinity.
    const std::string_view digits(begin, static_cast<std::size_t>(end - begin));
    const std::size_t exponent = digits.find_first_of("eE");
    const bool tiny = (exponent != std::string_view::npos && exponent + 1 < digits.size() &&
                       digits[exponent + 1] == '-') ||
                      digits.substr(0, digits.find_first_of(".eE")).find_first_not_of('0') ==
                          std::string_view::npos;
    real = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  number = {Number::kReal, 0, negative ? -real : real};
  return true;
}

// Parses "yyyy-MM-dd", "hh:mm[:ss]" or both joined by a space or "T".
bool ParseDate(const QString& text, double& value) {
  QString datePart = text;
  QString timePart;
  const qsizetype split = text.indexOf(QRegularExpression(QStringLiteral("[ T]")));
  if (split >= 0) {
    datePart = text.left(split);
    timePart = text.mid(split + 1).trimmed();
  } else if (text.contains(QLatin1Char(':'))) {
    datePart.clear();
    timePart = text;
  }
  qint64 days = 0;
  if (!datePart.isEmpty()) {
    const QDate date = QDate::fromString(datePart, QStringLiteral("yyyy-M-d"));
    if (!date.isValid()) return false;
    days = QDate(1899, 12, 30).daysTo(date);
  } else if (timePart.isEmpty()) {
    return false;
  }
  double fraction = 0;
  if (!timePart.isEmpty()) {
    QTime time = QTime::fromString(timePart, QStringLiteral("h:m:s"));
    if (!time.isValid()) time = QTime::fromString(timePart, QStringLiteral("h:m"));
    if (!time.isValid()) return false;
    fraction = time.msecsSinceStartOfDay() / 86400000.0;
  }
  value = days >= 0 ? days + fraction : days - fraction;
  return value >= kMinDate && value < kMaxDate;
}

QString FormatDate(double value) {
  double dayPart = std::trunc(value);
  qint64 seconds = std::llround(std::fabs(value - dayPart) * 86400.0);
  if (seconds >= 86400) {
    dayPart += 1;  // the time of day counts forwards, also before 1899-12-30
    seconds = 0;
  }
  const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(dayPart));
  const QTime time = QTime(0, 0).addSecs(static_cast<int>(seconds));
  const QString timeText = time.toString(QStringLiteral("hh:mm:ss"));
  if (seconds == 0) return date.toString(QStringLiteral("yyyy-MM-dd"));
  if (dayPart == 0) return timeText;
  return date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + timeText;
}

QString FormatReal(double value, int precision) {
  if (std::isnan(value)) return QStringLiteral("NaN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
  char buffer[64];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
  QString text = QString::fromLatin1(buffer, ec == std::errc() ? ptr - buffer : 0);
  return text.toUpper();  // "1E+20"
}

QString FormatCurrency(std::int64_t scaled) {
  const bool negative = scaled < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
  QString text = QString::number(magnitude / kCurrencyScale);
  const std::uint64_t fraction = magnitude % kCurrencyScale;
  if (fraction != 0) {
    QString digits = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
    while (digits.endsWith(QLatin1Char('0'))) digits.chop(1);
    text += QLatin1Char('.') + digits;
  }
  return negative ? QLatin1Char('-') + text : text;
}

// Rounds a scaled currency to whole units, half to even.
std::int64_t CurrencyToInteger(std::int64_t scaled) {
  std::int64_t quotient = scaled / kCurrencyScale;
  const std::int64_t remainder = scaled % kCurrencyScale;
  const std::int64_t absRemainder = remainder < 0 ? -remainder : remainder;
  if (absRemainder > kCurrencyScale / 2 || (absRemainder == kCurrencyScale / 2 && (quotient % 2) != 0)) {
    quotient += remainder < 0 ? -1 : 1;
  }
  return quotient;
}

HRESULT ToNumber(const Variant& source, VARTYPE target, Number& number) {
  switch (source.Type()) {
    case VT_EMPTY:
      number = {};
      return S_OK;
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
      number = {Number::kInt, source.IntValue(), 0};
      return S_OK;
    case VT_BOOL:
      number = {Number::kInt, source.BoolValue() ? -1 : 0, 0};
      return S_OK;
    case VT_R4:
    case VT_R8:
    case VT_DATE:
      number = {Number::kReal, 0, source.RealValue()};
      return S_OK;
    case VT_CY:
      number = {Number::kCurrency, source.CurrencyValue().Scaled, 0};
      return S_OK;
    case VT_BSTR:
    case VT_BYTESTR: {
      const QString text = Trimmed(source);
      if (target == VT_BOOL) {
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
          number = {Number::kInt, -1, 0};
          return S_OK;
        }
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
          number = {};
          return S_OK;
        }
      }
      if (target == VT_DATE) {
        double date = 0;
        if (ParseDate(text, date)) {
          number = {Number::kReal, 0, date};
          return S_OK;
        }
      }
      return ParseNumber(text, number) ? S_OK : DISP_E_TYPEMISMATCH;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToInteger(const Number& number, std::int64_t low, std::int64_t high, std::int64_t& out) {
  switch (number.Kind) {
    case Number::kInt:
      out = number.Int;
      break;
    case Number::kCurrency:
      out = CurrencyToInteger(number.Int);
      break;
    case Number::kReal: {
      if (!std::isfinite(number.Real)) return DISP_E_OVERFLOW;
      const double rounded = std::nearbyint(number.Real);  // the default mode rounds half to even
      if (rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0) return DISP_E_OVERFLOW;
      out = static_cast<std::int64_t>(rounded);
      break;
    }
  }
  return out < low || out > high ? DISP_E_OVERFLOW : S_OK;
}

double ToReal(const Number& number) {
  switch (number.Kind) {
    case Number::kInt:
      return static_cast<double>(number.Int);
    case Number::kCurrency:
      return static_cast<double>(number.Int) / kCurrencyScale;
    case Number::kReal:
      break;
  }
  return number.Real;
}

// number as an integer variant of type T, or DISP_E_OVERFLOW outside T's range.
template <class T>
HRESULT IntegerVariant(const Number& number, Variant& out) {
  std::int64_t integer = 0;
  const HRESULT hr = ToInteger(number, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), integer);
  if (SUCCEEDED(hr)) out = Variant(static_cast<T>(integer));
  return hr;
}

HRESULT FromNumber(const Number& number, VARTYPE target, Variant& out) {
  switch (target) {
    case VT_I2:
      return IntegerVariant<std::int16_t>(number, out);
    case VT_I4:
      return IntegerVariant<std::int32_t>(number, out);
    case VT_I8:
      return IntegerVariant<std::int64_t>(number, out);
    case VT_UI1:
      return IntegerVariant<std::uint8_t>(number, out);
    case VT_BOOL:
      out = Variant(number.Kind == Number::kReal ? number.Real != 0 : number.Int != 0);
      return S_OK;
    case VT_R4: {
      const double value = ToReal(number);
      if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
      out = Variant(static_cast<float>(value));
      return S_OK;
    }
    case VT_R8:
      out = Variant(ToReal(number));
      return S_OK;
    case VT_DATE: {
      const double value = ToReal(number);
      if (!(value >= kMinDate && value < kMaxDate)) return DISP_E_OVERFLOW;
      out = Variant(Date{value});
      return S_OK;
    }
    case VT_CY: {
      constexpr std::int64_t kMaxUnits = std::numeric_limits<std::int64_t>::max() / kCurrencyScale;
      if (number.Kind == Number::kCurrency) {
        out = Variant(Currency{number.Int});
        return S_OK;
      }
      if (number.Kind == Number::kInt) {
        if (number.Int > kMaxUnits || number.Int < -kMaxUnits) return DISP_E_OVERFLOW;
        out = Variant(Currency{number.Int * kCurrencyScale});
        return S_OK;
      }
      if (!std::isfinite(number.Real)) return DISP_E_OVERFLOW;
      const double scaled = std::nearbyint(number.Real * kCurrencyScale);
      if (scaled < -9223372036854775808.0 || scaled >= 9223372036854775808.0) return DISP_E_OVERFLOW;
      out = Variant(Currency{static_cast<std::int64_t>(scaled)});
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToText(const Variant& source, std::uint16_t flags, QString& text) {
  switch (source.Type()) {
    case VT_EMPTY:
      text.clear();
      return S_OK;
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
      text = QString::number(source.IntValue());
      return S_OK;
    case VT_BOOL:
      if (flags & VARIANT_ALPHABOOL) {
        text = source.BoolValue() ? QStringLiteral("True") : QStringLiteral("False");
      } else {
        text = source.BoolValue() ? QStringLiteral("-1") : QStringLiteral("0");
      }
      return S_OK;
    case VT_R4:
      text = FormatReal(source.RealValue(), 7);
      return S_OK;
    case VT_R8:
      text = FormatReal(source.RealValue(), 15);
      return S_OK;
    case VT_CY:
      text = FormatCurrency(source.CurrencyValue().Scaled);
      return S_OK;
    case VT_DATE:
      text = FormatDate(source.RealValue());
      return S_OK;
    case VT_BSTR:
      text = source.StringValue();
      return S_OK;
    case VT_BYTESTR: {
      const std::string& bytes = source.ByteStringValue();
      text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

bool IsKnownBaseType(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
    case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_VARIANT:
    case VT_UNKNOWN: case VT_UI1: case VT_I8: case VT_BYTESTR:
      return true;
    default:
      return false;
  }
}

HRESULT Convert(const Variant& source, std::uint16_t flags, VARTYPE vt, Variant& out, int depth) {
  if (vt & VT_BYREF) return DISP_E_BADVARTYPE;
  if (vt & VT_ARRAY) {
    if (vt != (VT_ARRAY | VT_UI1) && vt != (VT_ARRAY | VT_VARIANT)) return DISP_E_BADVARTYPE;
    if (source.Type() != vt) return DISP_E_TYPEMISMATCH;
    out = source;
    return S_OK;
  }
  if (!IsKnownBaseType(vt)) return DISP_E_BADVARTYPE;
  if (vt == VT_VARIANT || source.Type() == vt) {
    out = source;
    return S_OK;
  }
  if (vt == VT_EMPTY) {
    out = Variant();
    return S_OK;
  }
  if (source.IsArray()) return DISP_E_TYPEMISMATCH;
  if (vt == VT_NULL) {
    if (!source.IsEmpty()) return DISP_E_TYPEMISMATCH;
    out = Variant::Null();
    return S_OK;
  }
  if (source.IsNull() || source.Type() == VT_ERROR || vt == VT_ERROR) return DISP_E_TYPEMISMATCH;

  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
    if (source.IsEmpty()) {
      out = vt == VT_DISPATCH ? Variant::FromDispatch(nullptr) : Variant::FromUnknown(nullptr);
      return S_OK;
    }
    if (vt == VT_UNKNOWN && source.Type() == VT_DISPATCH) {
      out = Variant::FromUnknown(source.UnknownValue());
      return S_OK;
    }
    if (vt == VT_DISPATCH && source.Type() == VT_UNKNOWN) {
      if (!source.UnknownValue()) {
        out = Variant::FromDispatch(nullptr);
        return S_OK;
      }
      ComPtr<IDispatch> dispatch = ComPtr<IUnknown>(source.UnknownValue()).As<IDispatch>();
      if (!dispatch) return DISP_E_TYPEMISMATCH;
      out = Variant(dispatch);
      return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
  }

  if (source.Type() == VT_DISPATCH || source.Type() == VT_UNKNOWN) {
    ComPtr<IDispatch> dispatch = source.Type() == VT_DISPATCH
                                     ? ComPtr<IDispatch>(source.DispatchValue())
                                     : ComPtr<IUnknown>(source.UnknownValue()).As<IDispatch>();
    if (!dispatch || depth >= kMaxDefaultValueDepth) return DISP_E_TYPEMISMATCH;
    Variant value;
    if (FAILED(GetDefaultValue(dispatch.Get(), &value))) return DISP_E_TYPEMISMATCH;
    return Convert(value.Dereferenced(), flags, vt, out, depth + 1);
  }

  if (vt == VT_BSTR || vt == VT_BYTESTR) {
    QString text;
    const HRESULT hr = ToText(source, flags, text);
    if (FAILED(hr)) return hr;
    if (vt == VT_BSTR) {
      out = Variant(std::move(text));
    } else {
      out = Variant(text.toStdString());
    }
    return S_OK;
  }

  Number number;
  const HRESULT hr = ToNumber(source, vt, number);
  if (FAILED(hr)) return hr;
  return FromNumber(number, vt, out);
}

}  // namespace

HRESULT VariantChangeTypeEx(Variant& dest, const Variant& source, LCID, std::uint16_t flags,
                            VARTYPE vt) {
  Variant converted;
  const HRESULT hr = Convert(source.Dereferenced(), flags, vt, converted, 0);
  if (SUCCEEDED(hr)) dest = std::move(converted);
  return hr;
}

}  // namespace pw
