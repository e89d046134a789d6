// Scriptable classes shared by the dispatch and host tests: every kind of member, a
// dictionary-like provider of dynamic members and a component bound to its thread.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QThread>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/QStringPrinter.h"
#include "scripting/ActiveScript.h"
#include "scripting/AutoObject.h"

namespace pw::tests {

// The process's QCoreApplication, made on first use (tests that hand calls over need one).
QCoreApplication& TestApp();

// Runs body on a new thread while this thread processes its events, and returns when the body
// has ended.
void RunOnWorker(std::function<void()> body);

// DispIDs 0..15: an indexed default property, methods with and without result, a read/write
// property, by-reference and variant parameters, every result conversion and failing members.
class TTestObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TTestObject, TCustomAutoObject)

 public:
  int FTouched = 0;
  QString FName = QStringLiteral("initial");
  std::vector<QString> FItems{QStringLiteral("zero"), QStringLiteral("one")};
  Variant FLastVariant;

  QString Item(std::int32_t index) const;
  void SetItem(std::int32_t index, const QString& value);
  void Touch() { ++FTouched; }
  std::int32_t Add(std::int32_t a, std::int32_t b) { return a + b; }
  QString GetHWID() const { return QStringLiteral("HW-1"); }
  QString Name() const { return FName; }
  void SetName(const QString& value) { FName = value; }
  void Fail(const QString& message) { throw EAutoObjectError(message); }
  void FailStd() { throw std::runtime_error("stream closed \xc3\xbc"); }
  void Exclaim(QString& text) { text += QLatin1Char('!'); }
  void AppendNative(std::string& text) { text += "\xc3\xbc"; }
  QString Describe(const Variant& value) {
    FLastVariant = value;
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

// What scripts call: a plain default property, an indexed one, callbacks and values of every
// kind in both directions.
class TProbe : public TCustomAutoObject {
  PW_AUTO_CLASS(TProbe, TCustomAutoObject)

 public:
  QString FValue = QStringLiteral("probe value");
  QString FName = QStringLiteral("first");
  std::vector<QString> FLines{QStringLiteral("zero"), QStringLiteral("one"), QStringLiteral("two")};
  int FTouched = 0;
  Variant FLast;
  QThread* FLastThread = nullptr;

  QString Value() const { return FValue; }
  void SetValue(const QString& v) { FValue = v; }
  std::int32_t Add(std::int32_t a, std::int32_t b) { return a + b; }
  void Touch() {
    ++FTouched;
    FLastThread = QThread::currentThread();
  }
  QString Name() const { return FName; }
  void SetName(const QString& v) { FName = v; }
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
    FLast = v;
    return v;
  }
  ComPtr<IDispatch> Child();
  Date Noon() { return Date{36526.5}; }  // 2000-01-01 12:00 local
  // The elements of an array, nested arrays counted element by element; -1 for no array.
  std::int32_t Count(const Variant& value);
  ComPtr<IDispatch> Self() { return ComPtr<IDispatch>(AsDispatch()); }
  Variant Last() { return FLast; }
  std::int64_t Huge(std::int32_t add) { return (std::int64_t{1} << 53) + add; }
  // Calls fn(), ignoring a failure.
  void CallAndIgnore(ComPtr<IDispatch> fn);
  // Calls fn(); a failure becomes an exception with this probe's own message.
  void CallOwn(ComPtr<IDispatch> fn);
};

// Runs an action chosen by the test when a script calls Act.
class TCloser : public TCustomAutoObject {
  PW_AUTO_CLASS(TCloser, TCustomAutoObject)

 public:
  std::function<void()> FAction;
  void Act() { FAction(); }
};

// A dictionary-like provider: names, compared without regard to case, become indexes in
// creation order.
class TTestBag : public TCustomAutoObject {
  PW_AUTO_CLASS(TTestBag, TCustomAutoObject)

 public:
  std::vector<QString> FNames;
  std::vector<Variant> FValues;

  std::int32_t Count() const { return static_cast<std::int32_t>(FNames.size()); }

 protected:
  std::int32_t GetDynamicDispID(const QString& name, bool ensure) override;
  HRESULT InvokeDynamic(std::int32_t index, LCID lcid, std::uint16_t flags, DISPPARAMS* params,
                        Variant* result, EXCEPINFO* excepInfo, IUnknown* caller) override;
};

// A component: its script face is an adapter and its calls belong to the thread that made it.
class TTestComponent : public TAutoComponent {
  PW_AUTO_CLASS(TTestComponent, TAutoComponent)

 public:
  std::int32_t FCounter = 0;
  QThread* FLastThread = nullptr;
  std::int32_t Bump() {
    FLastThread = QThread::currentThread();
    return ++FCounter;
  }
  void Explode() { throw EAutoObjectError(QStringLiteral("component failed")); }
  // Calls fn() here, on the component's thread.
  Variant Call(ComPtr<IDispatch> fn);
};

// Collects the errors a host reports.
struct ErrorLog {
  std::vector<TScriptError> Errors;
  TScriptErrorHandler Handler() {
    return [this](const TScriptError& error) { Errors.push_back(error); };
  }
};

// A host with a probe and a bag, and short ways to run script text.
class HostTest : public ::testing::Test {
 protected:
  HostTest() { FHost.OnScriptError = FLog.Handler(); }
  // Adds the probe and the bag as "probe" and "bag", chooses JavaScript and, if asked, starts.
  void Open(bool start = true);
  Variant Eval(const QString& expression);
  // The value as text, booleans as True and False.
  QString Text(const QString& expression);
  void Run(const QString& code) { EXPECT_EQ(FHost.AddCode(code), S_OK) << code.toStdString(); }

  ComPtr<TProbe> FProbe = MakeAutoObject<TProbe>();
  ComPtr<TTestBag> FBag = MakeAutoObject<TTestBag>();
  ErrorLog FLog;
  TActiveScript FHost;
};

// Builds DISPPARAMS from arguments in their natural order.
struct Args {
  std::vector<Variant> Vector;  // reversed, named arguments first
  std::vector<DISPID> Named;
  DISPPARAMS Params;

  explicit Args(std::vector<Variant> natural = {},
                std::vector<std::pair<DISPID, Variant>> namedArgs = {});
  Args(const Args&) = delete;
  Args& operator=(const Args&) = delete;
  DISPPARAMS* Get() { return &Params; }
};

// Invoke with arguments in natural order.
HRESULT Call(IDispatch* object, DISPID id, std::uint16_t flags, std::vector<Variant> args,
             Variant* result, EXCEPINFO* excepInfo = nullptr, std::uint32_t* argErr = nullptr);

// Invoke with named arguments as well.
HRESULT InvokeWith(IDispatch* object, DISPID id, std::uint16_t flags, Args&& args,
                   Variant* result = nullptr, EXCEPINFO* excepInfo = nullptr,
                   std::uint32_t* argErr = nullptr);

DISPID IdOf(IDispatch* object, const QString& name);

}  // namespace pw::tests
