// Small scriptable classes that exercise every kind of member the dispatch layer supports.
#pragma once

#include <QString>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "scripting/AutoObject.h"

namespace pw::testing {

// DispIDs 0..15: a default property, methods with and without result, a read/write property,
// by-reference and variant parameters, every result conversion and failing members.
class TTestObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TTestObject, TCustomAutoObject)

 public:
  int touched = 0;
  QString name = QStringLiteral("initial");
  std::vector<QString> items{QStringLiteral("zero"), QStringLiteral("one")};
  Variant lastVariant;

  QString Item(std::int32_t index) const;
  void SetItem(std::int32_t index, const QString& value);
  void Touch() { ++touched; }
  std::int32_t Add(std::int32_t a, std::int32_t b) { return a + b; }
  QString GetHWID() const { return QStringLiteral("HW-1"); }
  QString Name() const { return name; }
  void SetName(const QString& value) { name = value; }
  void Fail(const QString& message) { throw EAutoObjectError(message); }
  void FailStd() { throw std::runtime_error("stream closed \xc3\xbc"); }
  void Exclaim(QString& text) { text += QLatin1Char('!'); }
  void AppendNative(std::string& text) { text += "\xc3\xbc"; }
  QString Describe(const Variant& value) {
    lastVariant = value;
    return value.DebugString();
  }
  void Increment(Variant& value) { value = Variant(static_cast<std::int32_t>(value.IntValue() + 1)); }
  std::string Echo(const std::string& text) { return text + "/native"; }
  std::int64_t Big() { return 1LL << 40; }
  Variant Pass(const Variant& value) { return value; }
  double Half(double value) { return value / 2; }
  void Twice(std::int32_t& value) { value *= 2; }
};

class TTestChild : public TTestObject {
  PW_AUTO_CLASS(TTestChild, TTestObject)

 public:
  std::int32_t Triple(std::int32_t value) { return value * 3; }
};

// A dictionary-like provider: names become indexes in creation order.
class TTestBag : public TCustomAutoObject {
  PW_AUTO_CLASS(TTestBag, TCustomAutoObject)

 public:
  std::vector<QString> names;
  std::vector<Variant> values;

  std::int32_t Count() const { return static_cast<std::int32_t>(names.size()); }

 protected:
  std::int32_t GetDynamicDispID(const QString& name, bool ensure) override;
  HRESULT InvokeDynamic(std::int32_t index, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                        Variant* result, EXCEPINFO* excepInfo, IUnknown* caller) override;
};

// A component with a script face through its adapter.
class TTestComponent : public TAutoComponent {
  PW_AUTO_CLASS(TTestComponent, TAutoComponent)

 public:
  std::int32_t counter = 0;
  std::int32_t Bump() { return ++counter; }
  void Explode() { throw EAutoObjectError(QStringLiteral("component failed")); }
};

// Builds DISPPARAMS from arguments in their natural order.
struct Args {
  std::vector<Variant> vector;  // reversed, named arguments first
  std::vector<DISPID> named;
  DISPPARAMS params;

  explicit Args(std::vector<Variant> natural = {},
                std::vector<std::pair<DISPID, Variant>> namedArgs = {});
  Args(const Args&) = delete;
  Args& operator=(const Args&) = delete;
  DISPPARAMS* Get() { return &params; }
};

// Invoke with arguments in natural order.
HRESULT Call(IDispatch* object, DISPID id, std::uint16_t flags, std::vector<Variant> args,
             Variant* result, EXCEPINFO* excepInfo = nullptr, std::uint32_t* argErr = nullptr);

DISPID IdOf(IDispatch* object, const QString& name);

}  // namespace pw::testing
