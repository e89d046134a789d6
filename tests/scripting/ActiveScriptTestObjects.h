// Native objects that scripts in the host tests call: every kind of member, a callback
// runner, dynamic members and a component bound to its thread.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QThread>

#include <vector>

#include "platform/QStringPrinter.h"
#include "scripting/ActiveScript.h"
#include "scripting/AutoObject.h"

namespace pw::testing {

// The process's QCoreApplication, made on first use (tests that hand calls over need one).
QCoreApplication& TestApp();

class TProbe : public TCustomAutoObject {
  PW_AUTO_CLASS(TProbe, TCustomAutoObject)

 public:
  QString value = QStringLiteral("probe value");
  QString name = QStringLiteral("first");
  std::vector<QString> lines{QStringLiteral("zero"), QStringLiteral("one"), QStringLiteral("two")};
  int touched = 0;
  Variant last;
  QThread* lastThread = nullptr;

  QString Value() const { return value; }
  void SetValue(const QString& v) { value = v; }
  std::int32_t Add(std::int32_t a, std::int32_t b) { return a + b; }
  void Touch() {
    ++touched;
    lastThread = QThread::currentThread();
  }
  QString Name() const { return name; }
  void SetName(const QString& v) { name = v; }
  QString Line(std::int32_t index) const;
  void SetLine(std::int32_t index, const QString& v);
  void Fail(const QString& message) { throw EAutoObjectError(message); }
  // Calls fn(arg) with this probe as `this`; a failed call becomes an exception.
  Variant Call(ComPtr<IDispatch> fn, const Variant& arg);
  Variant Bytes() { return Variant::FromBytes(QByteArray("\x01\x02\xff", 3)); }
  Variant List() {
    return Variant::FromArray({Variant(std::int32_t{1}), Variant(QStringLiteral("two")),
                               Variant::FromArray({Variant(true)})});
  }
  Variant Keep(const Variant& v) {
    last = v;
    return v;
  }
  QString TypeOf(const Variant& v) { return v.DebugString(); }
  ComPtr<IDispatch> Child();
  Date Noon() { return Date{36526.5}; }  // 2000-01-01 12:00 local
};

// Free-form properties by index, like the dictionary provider.
class TBag : public TCustomAutoObject {
  PW_AUTO_CLASS(TBag, TCustomAutoObject)

 public:
  std::vector<QString> names;
  std::vector<Variant> values;
  std::int32_t Count() const { return static_cast<std::int32_t>(names.size()); }

 protected:
  std::int32_t GetDynamicDispID(const QString& name, bool ensure) override;
  HRESULT InvokeDynamic(std::int32_t index, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                        Variant* result, EXCEPINFO* excepInfo, IUnknown* caller) override;
};

// A component: its calls belong to the thread that made it.
class TThreadBound : public TAutoComponent {
  PW_AUTO_CLASS(TThreadBound, TAutoComponent)

 public:
  QThread* lastThread = nullptr;
  std::int32_t Where() {
    lastThread = QThread::currentThread();
    return 7;
  }
  // Calls fn() here, on the component's thread.
  Variant Call(ComPtr<IDispatch> fn);
};

// Collects the errors a host reports.
struct ErrorLog {
  std::vector<TScriptError> errors;
  TScriptErrorHandler Handler() {
    return [this](const TScriptError& error) { errors.push_back(error); };
  }
};

}  // namespace pw::testing
