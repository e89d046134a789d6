#include "scripting/Variant.h"

#include <QStringList>

#include <ostream>

#include "scripting/Dispatch.h"

namespace pw {

namespace {

const QString kEmptyString;
const std::string kEmptyByteString;
const QByteArray kEmptyBytes;
const std::vector<Variant> kNoElements;

}  // namespace

Variant::Variant(bool value) : FVt(VT_BOOL), FValue(std::int64_t{value ? -1 : 0}) {}
Variant::Variant(std::int16_t value) : FVt(VT_I2), FValue(std::int64_t{value}) {}
Variant::Variant(std::int32_t value) : FVt(VT_I4), FValue(std::int64_t{value}) {}
Variant::Variant(std::int64_t value) : FVt(VT_I8), FValue(value) {}
Variant::Variant(long long value) : FVt(VT_I8), FValue(static_cast<std::int64_t>(value)) {}
Variant::Variant(std::uint8_t value) : FVt(VT_UI1), FValue(std::int64_t{value}) {}
Variant::Variant(float value) : FVt(VT_R4), FValue(double{value}) {}
Variant::Variant(double value) : FVt(VT_R8), FValue(value) {}
Variant::Variant(Currency value) : FVt(VT_CY), FValue(value.Scaled) {}
Variant::Variant(Date value) : FVt(VT_DATE), FValue(value.Value) {}
Variant::Variant(ErrorCode value) : FVt(VT_ERROR), FValue(std::int64_t{value.SCode}) {}
Variant::Variant(QString value) : FVt(VT_BSTR), FValue(std::move(value)) {}
Variant::Variant(std::string value) : FVt(VT_BYTESTR), FValue(std::move(value)) {}
Variant::Variant(ComPtr<IDispatch> value)
    : FVt(VT_DISPATCH), FValue(ComPtr<IUnknown>(static_cast<IUnknown*>(value.Get()))) {}

Variant Variant::Null() { return Variant(VT_NULL, std::monostate{}); }

Variant Variant::FromDispatch(IDispatch* value) {
  return Variant(VT_DISPATCH, ComPtr<IUnknown>(static_cast<IUnknown*>(value)));
}

Variant Variant::FromUnknown(IUnknown* value) {
  return Variant(VT_UNKNOWN, ComPtr<IUnknown>(value));
}

Variant Variant::FromBytes(QByteArray bytes) {
  return Variant(VT_ARRAY | VT_UI1, std::move(bytes));
}

Variant Variant::FromArray(std::vector<Variant> elements) {
  return Variant(VT_ARRAY | VT_VARIANT, std::make_shared<std::vector<Variant>>(std::move(elements)));
}

Variant Variant::Missing() { return Variant(ErrorCode{DISP_E_PARAMNOTFOUND}); }

Variant Variant::ByRef(Variant* target) {
  if (!target) return Variant();
  if (target->IsByRef()) return *target;  // a reference to a reference is the same reference
  return Variant(static_cast<VARTYPE>(VT_BYREF | target->FVt), target);
}

Variant Variant::ByRefVariant(Variant* target) {
  if (!target) return Variant();
  if (target->IsByRef()) target = target->RefTarget();
  return Variant(VT_BYREF | VT_VARIANT, target);
}

bool Variant::IsMissing() const {
  return FVt == VT_ERROR && ErrorValue() == DISP_E_PARAMNOTFOUND;
}

std::int64_t Variant::IntValue() const {
  switch (FVt) {
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_ERROR:
      return std::get<std::int64_t>(FValue);
    default:
      return 0;
  }
}

double Variant::RealValue() const {
  switch (FVt) {
    case VT_R4:
    case VT_R8:
    case VT_DATE:
      return std::get<double>(FValue);
    default:
      return 0;
  }
}

bool Variant::BoolValue() const { return FVt == VT_BOOL && std::get<std::int64_t>(FValue) != 0; }

Currency Variant::CurrencyValue() const {
  return FVt == VT_CY ? Currency{std::get<std::int64_t>(FValue)} : Currency{};
}

Date Variant::DateValue() const { return FVt == VT_DATE ? Date{std::get<double>(FValue)} : Date{}; }

HRESULT Variant::ErrorValue() const {
  return FVt == VT_ERROR ? static_cast<HRESULT>(std::get<std::int64_t>(FValue)) : 0;
}

const QString& Variant::StringValue() const {
  return FVt == VT_BSTR ? std::get<QString>(FValue) : kEmptyString;
}

const std::string& Variant::ByteStringValue() const {
  return FVt == VT_BYTESTR ? std::get<std::string>(FValue) : kEmptyByteString;
}

IDispatch* Variant::DispatchValue() const {
  // Only dispatch pointers are stored under VT_DISPATCH, so the downcast is exact.
  return FVt == VT_DISPATCH ? static_cast<IDispatch*>(std::get<ComPtr<IUnknown>>(FValue).Get())
                            : nullptr;
}

IUnknown* Variant::UnknownValue() const {
  return (FVt == VT_DISPATCH || FVt == VT_UNKNOWN) ? std::get<ComPtr<IUnknown>>(FValue).Get()
                                                    : nullptr;
}

const QByteArray& Variant::Bytes() const {
  return FVt == (VT_ARRAY | VT_UI1) ? std::get<QByteArray>(FValue) : kEmptyBytes;
}

const std::vector<Variant>& Variant::Elements() const {
  return FVt == (VT_ARRAY | VT_VARIANT) ? *std::get<TElementList>(FValue) : kNoElements;
}

std::vector<Variant>& Variant::MutableElements() {
  if (FVt != (VT_ARRAY | VT_VARIANT)) *this = FromArray({});
  TElementList& elements = std::get<TElementList>(FValue);
  if (elements.use_count() > 1) elements = std::make_shared<std::vector<Variant>>(*elements);
  return *elements;
}

Variant* Variant::RefTarget() const { return IsByRef() ? std::get<Variant*>(FValue) : nullptr; }

Variant Variant::Dereferenced() const {
  if (!IsByRef()) return *this;
  return *RefTarget();
}

bool Variant::StoreThroughRef(const Variant& value) const {
  Variant* target = RefTarget();
  if (!target) return false;
  if (FVt == (VT_BYREF | VT_VARIANT)) {
    if (&value != target) *target = value.Dereferenced();
    return true;
  }
  if (value.Type() != BaseType() && value.Type() != (FVt & ~VT_BYREF)) return false;
  *target = value;
  return true;
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.FVt != b.FVt) return false;
  if (a.FVt == (VT_ARRAY | VT_VARIANT)) return a.Elements() == b.Elements();
  return a.FValue == b.FValue;
}

namespace {

QString TypeName(VARTYPE vt) {
  static const std::pair<VARTYPE, const char*> kNames[] = {
      {VT_EMPTY, "VT_EMPTY"},   {VT_NULL, "VT_NULL"},   {VT_I2, "VT_I2"},
      {VT_I4, "VT_I4"},         {VT_R4, "VT_R4"},       {VT_R8, "VT_R8"},
      {VT_CY, "VT_CY"},         {VT_DATE, "VT_DATE"},   {VT_BSTR, "VT_BSTR"},
      {VT_DISPATCH, "VT_DISPATCH"}, {VT_ERROR, "VT_ERROR"}, {VT_BOOL, "VT_BOOL"},
      {VT_VARIANT, "VT_VARIANT"}, {VT_UNKNOWN, "VT_UNKNOWN"}, {VT_UI1, "VT_UI1"},
      {VT_I8, "VT_I8"},         {VT_BYTESTR, "VT_BYTESTR"}};
  QString name;
  for (const auto& [code, text] : kNames) {
    if (code == (vt & VT_TYPEMASK)) name = QString::fromLatin1(text);
  }
  if (name.isEmpty()) name = QStringLiteral("VT_%1").arg(vt & VT_TYPEMASK);
  if (vt & VT_ARRAY) name.prepend(QStringLiteral("VT_ARRAY|"));
  if (vt & VT_BYREF) name.prepend(QStringLiteral("VT_BYREF|"));
  return name;
}

}  // namespace

QString Variant::DebugString() const {
  QString text = TypeName(FVt);
  if (IsByRef()) return text + QStringLiteral(" -> ") + RefTarget()->DebugString();
  Variant asText;
  if (FVt == VT_BSTR || FVt == VT_BYTESTR) {
    VariantChangeTypeEx(asText, *this, 0, 0, VT_BSTR);
    return text + QStringLiteral(" \"") + asText.StringValue() + QLatin1Char('"');
  }
  if (FVt == (VT_ARRAY | VT_UI1)) return text + QLatin1Char(' ') + QString::fromLatin1(Bytes().toHex());
  if (FVt == (VT_ARRAY | VT_VARIANT)) {
    QStringList parts;
    for (const Variant& element : Elements()) parts << element.DebugString();
    return text + QStringLiteral(" [") + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
  }
  if (FVt == VT_DISPATCH || FVt == VT_UNKNOWN) {
    return text + QStringLiteral(" 0x") + QString::number(reinterpret_cast<quintptr>(UnknownValue()), 16);
  }
  if (FVt == VT_ERROR) return text + QStringLiteral(" 0x") + QString::number(static_cast<quint32>(ErrorValue()), 16);
  if (FVt == VT_EMPTY || FVt == VT_NULL) return text;
  if (SUCCEEDED(VariantChangeTypeEx(asText, *this, 0, 0, VT_BSTR))) {
    return text + QLatin1Char(' ') + asText.StringValue();
  }
  return text;
}

void PrintTo(const Variant& value, std::ostream* out) { *out << value.DebugString().toStdString(); }

}  // namespace pw
