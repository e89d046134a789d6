#include "TestObjects.h"

#include <QEventLoop>

#include <memory>

namespace pw::tests {

QCoreApplication& TestApp() {
  static int argc = 1;
  static char name[] = "pw_tests_scripting";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app =
      QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
  return *app;
}

void RunOnWorker(std::function<void()> body) {
  TestApp();
  std::unique_ptr<QThread> worker(QThread::create(std::move(body)));
  QEventLoop loop;
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
  worker->start();
  loop.exec();
  worker->wait();
}

PW_AUTO_MEMBERS(TTestObject,
                AutoProperty(DISPID_VALUE, "Item", &TTestObject::Item, &TTestObject::SetItem),
                AutoMethod(1, "Touch", &TTestObject::Touch),
                AutoMethod(2, "Add", &TTestObject::Add),
                AutoMethod(3, "GetHWID", &TTestObject::GetHWID),
                AutoProperty(4, "Name", &TTestObject::Name, &TTestObject::SetName),
                AutoMethod(5, "Fail", &TTestObject::Fail),
                AutoMethod(6, "FailStd", &TTestObject::FailStd),
                AutoMethod(7, "Exclaim", &TTestObject::Exclaim),
                AutoMethod(8, "AppendNative", &TTestObject::AppendNative),
                AutoMethod(9, "Describe", &TTestObject::Describe),
                AutoMethod(10, "Increment", &TTestObject::Increment),
                AutoMethod(11, "Echo", &TTestObject::Echo),
                AutoMethod(12, "Big", &TTestObject::Big),
                AutoMethod(13, "Pass", &TTestObject::Pass),
                AutoMethod(14, "Half", &TTestObject::Half),
                AutoMethod(15, "Twice", &TTestObject::Twice))

PW_AUTO_MEMBERS(TTestChild, AutoMethod(16, "Triple", &TTestChild::Triple))

PW_AUTO_MEMBERS(TProbe,
                AutoProperty(DISPID_VALUE, "Value", &TProbe::Value, &TProbe::SetValue),
                AutoMethod(1, "Add", &TProbe::Add),
                AutoMethod(2, "Touch", &TProbe::Touch),
                AutoProperty(3, "Name", &TProbe::Name, &TProbe::SetName),
                AutoProperty(4, "Line", &TProbe::Line, &TProbe::SetLine),
                AutoMethod(5, "Fail", &TProbe::Fail),
                AutoMethod(6, "Call", &TProbe::Call),
                AutoMethod(7, "Bytes", &TProbe::Bytes),
                AutoMethod(8, "List", &TProbe::List),
                AutoMethod(9, "Keep", &TProbe::Keep),
                AutoMethod(11, "Child", &TProbe::Child),
                AutoMethod(12, "Noon", &TProbe::Noon),
                AutoMethod(13, "Count", &TProbe::Count),
                AutoMethod(14, "Self", &TProbe::Self),
                AutoMethod(15, "Last", &TProbe::Last),
                AutoMethod(16, "Huge", &TProbe::Huge),
                AutoMethod(17, "CallAndIgnore", &TProbe::CallAndIgnore),
                AutoMethod(18, "CallOwn", &TProbe::CallOwn))

PW_AUTO_MEMBERS(TCloser, AutoMethod(1, "Act", &TCloser::Act))

PW_AUTO_MEMBERS(TTestBag, AutoGetter(1, "Count", &TTestBag::Count))

PW_AUTO_MEMBERS(TTestComponent,
                AutoMethod(1, "Bump", &TTestComponent::Bump),
                AutoMethod(2, "Explode", &TTestComponent::Explode),
                AutoMethod(3, "Call", &TTestComponent::Call))

namespace {

// The element at index, or the exception a script sees for an index out of range.
template <class List>
auto& At(List& list, std::int32_t index, const char* what) {
  if (index < 0 || index >= static_cast<std::int32_t>(list.size())) {
    throw EAutoObjectError(QStringLiteral("%1 %2 out of range").arg(QLatin1String(what)).arg(index));
  }
  return list[static_cast<std::size_t>(index)];
}

}  // namespace

QString TTestObject::Item(std::int32_t index) const { return At(FItems, index, "Index"); }
void TTestObject::SetItem(std::int32_t index, const QString& value) { At(FItems, index, "Index") = value; }
QString TProbe::Line(std::int32_t index) const { return At(FLines, index, "Line"); }
void TProbe::SetLine(std::int32_t index, const QString& v) { At(FLines, index, "Line") = v; }

Variant TProbe::Call(ComPtr<IDispatch> fn, const Variant& arg) {
  // Passes the callback's failure on as it is: with its own description.
  Variant result;
  Variant thisArg = Variant::FromDispatch(AsDispatch());
  EXCEPINFO info;
  Args args({arg}, {{DISPID_THIS, thisArg}});
  HRESULT hr = fn->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, args.Get(), &result, &info, nullptr);
  if (FAILED(hr)) throw EAutoObjectError(info.bstrDescription);
  return result;
}

std::int32_t TProbe::Count(const Variant& value) {
  if (!value.IsArray()) return -1;
  std::int32_t count = 0;
  for (const Variant& element : value.Elements()) count += element.IsArray() ? Count(element) : 1;
  return count;
}

void TProbe::CallAndIgnore(ComPtr<IDispatch> fn) {
  Variant result;
  CallDispatch(fn.Get(), DISPID_VALUE, nullptr, 0, nullptr, &result);
}

void TProbe::CallOwn(ComPtr<IDispatch> fn) {
  Variant result;
  if (FAILED(CallDispatch(fn.Get(), DISPID_VALUE, nullptr, 0, nullptr, &result))) {
    throw EAutoObjectError(QStringLiteral("own failure"));
  }
}

ComPtr<IDispatch> TProbe::Child() {
  auto child = MakeAutoObject<TProbe>();
  child->FName = QStringLiteral("child");
  return ComPtr<IDispatch>(child.Get()->AsDispatch());
}

Variant TTestComponent::Call(ComPtr<IDispatch> fn) {
  FLastThread = QThread::currentThread();
  Variant result;
  if (FAILED(CallDispatch(fn.Get(), DISPID_VALUE, nullptr, 0, nullptr, &result))) {
    throw EAutoObjectError(QStringLiteral("callback failed"));
  }
  return result;
}

std::int32_t TTestBag::GetDynamicDispID(const QString& name, bool ensure) {
  for (std::size_t i = 0; i < FNames.size(); ++i) {
    if (FNames[i].compare(name, Qt::CaseInsensitive) == 0) return static_cast<std::int32_t>(i);
  }
  if (!ensure) return -1;
  FNames.push_back(name);
  FValues.emplace_back();
  return static_cast<std::int32_t>(FNames.size() - 1);
}

HRESULT TTestBag::InvokeDynamic(std::int32_t index, LCID, std::uint16_t flags, DISPPARAMS* params,
                                Variant* result, EXCEPINFO*, IUnknown*) {
  if (index < 0 || index >= static_cast<std::int32_t>(FValues.size())) return DISP_E_MEMBERNOTFOUND;
  Variant& slot = FValues[static_cast<std::size_t>(index)];
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (!params || params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
    slot = params->rgvarg[0].Dereferenced();
    return S_OK;
  }
  if (result) *result = slot;
  return S_OK;
}

void HostTest::Open(bool start) {
  ASSERT_EQ(FHost.AddItem(QStringLiteral("probe"), FProbe->AsDispatch(), false), S_OK);
  ASSERT_EQ(FHost.AddItem(QStringLiteral("bag"), FBag->AsDispatch(), false), S_OK);
  ASSERT_EQ(FHost.SetLanguage(QStringLiteral("JavaScript")), S_OK);
  if (start) {
    ASSERT_EQ(FHost.Start(), S_OK);
  }
}

Variant HostTest::Eval(const QString& expression) {
  Variant result;
  EXPECT_EQ(FHost.Evaluate(expression, &result), S_OK) << expression.toStdString();
  return result;
}

QString HostTest::Text(const QString& expression) {
  const Variant result = Eval(expression);
  Variant text;
  if (FAILED(VariantChangeTypeEx(text, result, 0, VARIANT_ALPHABOOL, VT_BSTR))) {
    return QStringLiteral("<") + result.DebugString() + QStringLiteral(">");
  }
  return text.StringValue();
}

Args::Args(std::vector<Variant> natural, std::vector<std::pair<DISPID, Variant>> namedArgs) {
  for (auto& [id, value] : namedArgs) {
    Named.push_back(id);
    Vector.push_back(value);
  }
  for (auto it = natural.rbegin(); it != natural.rend(); ++it) Vector.push_back(*it);
  Params.rgvarg = Vector.empty() ? nullptr : Vector.data();
  Params.cArgs = static_cast<std::uint32_t>(Vector.size());
  Params.rgdispidNamedArgs = Named.empty() ? nullptr : Named.data();
  Params.cNamedArgs = static_cast<std::uint32_t>(Named.size());
}

HRESULT Call(IDispatch* object, DISPID id, std::uint16_t flags, std::vector<Variant> args,
             Variant* result, EXCEPINFO* excepInfo, std::uint32_t* argErr) {
  return InvokeWith(object, id, flags, Args(std::move(args)), result, excepInfo, argErr);
}

HRESULT InvokeWith(IDispatch* object, DISPID id, std::uint16_t flags, Args&& args,
                   Variant* result, EXCEPINFO* excepInfo, std::uint32_t* argErr) {
  return object->Invoke(id, IID_NULL, 0, flags, args.Get(), result, excepInfo, argErr);
}

DISPID IdOf(IDispatch* object, const QString& name) {
  DISPID id = -99;
  object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
  return id;
}

}  // namespace pw::tests
