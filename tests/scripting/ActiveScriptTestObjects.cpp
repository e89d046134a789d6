#include "ActiveScriptTestObjects.h"

namespace pw::testing {

QCoreApplication& TestApp() {
  static int argc = 1;
  static char name[] = "pw_tests_scripting";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app =
      QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
  return *app;
}

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
                AutoMethod(10, "TypeOf", &TProbe::TypeOf),
                AutoMethod(11, "Child", &TProbe::Child),
                AutoMethod(12, "Noon", &TProbe::Noon))

PW_AUTO_MEMBERS(TBag, AutoGetter(1, "Count", &TBag::Count))

PW_AUTO_MEMBERS(TThreadBound,
                AutoMethod(1, "Where", &TThreadBound::Where),
                AutoMethod(2, "Call", &TThreadBound::Call))

Variant TThreadBound::Call(ComPtr<IDispatch> fn) {
  lastThread = QThread::currentThread();
  Variant result;
  if (FAILED(CallDispatch(fn.Get(), DISPID_VALUE, nullptr, 0, nullptr, &result))) {
    throw EAutoObjectError(QStringLiteral("callback failed"));
  }
  return result;
}

QString TProbe::Line(std::int32_t index) const {
  if (index < 0 || index >= static_cast<std::int32_t>(lines.size())) {
    throw EAutoObjectError(QStringLiteral("Line %1 out of range").arg(index));
  }
  return lines[static_cast<std::size_t>(index)];
}

void TProbe::SetLine(std::int32_t index, const QString& v) {
  if (index < 0 || index >= static_cast<std::int32_t>(lines.size())) {
    throw EAutoObjectError(QStringLiteral("Line %1 out of range").arg(index));
  }
  lines[static_cast<std::size_t>(index)] = v;
}

Variant TProbe::Call(ComPtr<IDispatch> fn, const Variant& arg) {
  Variant result;
  HRESULT hr = CallDispatch(fn.Get(), DISPID_VALUE, &arg, 1, AsDispatch(), &result);
  if (FAILED(hr)) throw EAutoObjectError(QStringLiteral("callback failed"));
  return result;
}

ComPtr<IDispatch> TProbe::Child() {
  auto child = MakeAutoObject<TProbe>();
  child->name = QStringLiteral("child");
  return ComPtr<IDispatch>(child.Get()->AsDispatch());
}

std::int32_t TBag::GetDynamicDispID(const QString& name, bool ensure) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<std::int32_t>(i);
  }
  if (!ensure) return -1;
  names.push_back(name);
  values.emplace_back();
  return static_cast<std::int32_t>(names.size() - 1);
}

HRESULT TBag::InvokeDynamic(std::int32_t index, LCID, std::uint16_t flags, DISPPARAMS* params,
                            Variant* result, EXCEPINFO*, IUnknown*) {
  if (index < 0 || index >= static_cast<std::int32_t>(values.size())) return DISP_E_MEMBERNOTFOUND;
  Variant& slot = values[static_cast<std::size_t>(index)];
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (!params || params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
    slot = params->rgvarg[0].Dereferenced();
    return S_OK;
  }
  if (result) *result = slot;
  return S_OK;
}

}  // namespace pw::testing
