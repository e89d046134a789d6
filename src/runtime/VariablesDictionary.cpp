#include "runtime/VariablesDictionary.h"

#include <limits>

namespace pw {

namespace {

// A script value the generator cannot hold as such, kept whole; placeholders read its text.
class TScriptValue final : public IScriptObject {
 public:
  explicit TScriptValue(Variant value) : FValue(std::move(value)) {}
  const Variant& Value() const { return FValue; }
  std::string ToText() const override {
    Variant text;
    if (FAILED(VariantChangeTypeEx(text, FValue, LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR))) {
      return {};
    }
    return text.StringValue().toStdString();
  }

 private:
  Variant FValue;
};

std::string Utf8(const QString& text) { return text.toStdString(); }

}  // namespace

Variant VariantOfValue(const TValue& value) {
  struct Visitor {
    Variant operator()(std::monostate) const { return Variant(); }
    Variant operator()(const std::string& text) const { return Variant(QString::fromStdString(text)); }
    Variant operator()(std::int64_t number) const {
      if (number >= std::numeric_limits<std::int32_t>::min() &&
          number <= std::numeric_limits<std::int32_t>::max()) {
        return Variant(static_cast<std::int32_t>(number));
      }
      return Variant(number);
    }
    Variant operator()(double number) const { return Variant(number); }
    Variant operator()(bool flag) const { return Variant(flag); }
    Variant operator()(const std::shared_ptr<IScriptObject>& object) const {
      if (!object) return Variant();
      if (auto* held = dynamic_cast<const TScriptValue*>(object.get())) return held->Value();
      return Variant(QString::fromStdString(object->ToText()));
    }
  };
  return std::visit(Visitor{}, value);
}

TValue ValueOfVariant(const Variant& value) {
  const Variant v = value.Dereferenced();
  switch (v.Type()) {
    case VT_EMPTY:
      return std::monostate();
    case VT_BSTR:
      return Utf8(v.StringValue());
    case VT_BYTESTR:
      return v.ByteStringValue();
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
      return v.IntValue();
    case VT_R4:
    case VT_R8:
      return v.RealValue();
    case VT_BOOL:
      return v.BoolValue();
    default:
      return std::make_shared<TScriptValue>(v);
  }
}

void TVariablesDictionary::Detach() {
  // The base's lock is not needed: the variables are only touched on the owner thread.
  FVariables = nullptr;
}

TVariables& TVariablesDictionary::Vars() {
  if (!FVariables) throw EAutoObjectError(QStringLiteral("These variables are no longer available"));
  return *FVariables;
}

int TVariablesDictionary::StoreLength() { return Vars().Length(); }

int TVariablesDictionary::StoreIndexOf(const QString& key) { return Vars().IndexOf(Utf8(key)); }

QString TVariablesDictionary::StoreKey(int index) { return QString::fromStdString(Vars().At(index).Key); }

Variant TVariablesDictionary::StoreValue(int index) { return VariantOfValue(Vars().At(index).Value); }

void TVariablesDictionary::StoreSetValue(int index, const Variant& value) {
  Vars().At(index).Value = ValueOfVariant(value);
}

int TVariablesDictionary::StoreAppend(const QString& key, const Variant& value) {
  return Vars().Add(Utf8(key), ValueOfVariant(value));
}

void TVariablesDictionary::StoreRemoveAt(int index) { Vars().RemoveAt(index); }

void TVariablesDictionary::StoreClear() { Vars().RemoveAll(); }

void TVariablesDictionary::StoreSort() { Vars().Sort(); }

}  // namespace pw
