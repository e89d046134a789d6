#include "scripting/AutoObjectTestClasses.h"

namespace pw::testing {

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

PW_AUTO_MEMBERS(TTestBag, AutoGetter(1, "Count", &TTestBag::Count))

PW_AUTO_MEMBERS(TTestComponent,
                AutoMethod(1, "Bump", &TTestComponent::Bump),
                AutoMethod(2, "Explode", &TTestComponent::Explode))

QString TTestObject::Item(std::int32_t index) const {
  if (index < 0 || index >= static_cast<std::int32_t>(items.size())) {
    throw EAutoObjectError(QStringLiteral("Index %1 out of range").arg(index));
  }
  return items[static_cast<std::size_t>(index)];
}

void TTestObject::SetItem(std::int32_t index, const QString& value) {
  if (index < 0 || index >= static_cast<std::int32_t>(items.size())) {
    throw EAutoObjectError(QStringLiteral("Index %1 out of range").arg(index));
  }
  items[static_cast<std::size_t>(index)] = value;
}

std::int32_t TTestBag::GetDynamicDispID(const QString& name, bool ensure) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].compare(name, Qt::CaseInsensitive) == 0) return static_cast<std::int32_t>(i);
  }
  if (!ensure) return -1;
  names.push_back(name);
  values.emplace_back();
  return static_cast<std::int32_t>(names.size() - 1);
}

HRESULT TTestBag::InvokeDynamic(std::int32_t index, LCID, std::uint16_t flags, DISPPARAMS* params,
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

Args::Args(std::vector<Variant> natural, std::vector<std::pair<DISPID, Variant>> namedArgs) {
  for (auto& [id, value] : namedArgs) {
    named.push_back(id);
    vector.push_back(value);
  }
  for (auto it = natural.rbegin(); it != natural.rend(); ++it) vector.push_back(*it);
  params.rgvarg = vector.empty() ? nullptr : vector.data();
  params.cArgs = static_cast<std::uint32_t>(vector.size());
  params.rgdispidNamedArgs = named.empty() ? nullptr : named.data();
  params.cNamedArgs = static_cast<std::uint32_t>(named.size());
}

HRESULT Call(IDispatch* object, DISPID id, std::uint16_t flags, std::vector<Variant> args,
             Variant* result, EXCEPINFO* excepInfo, std::uint32_t* argErr) {
  Args params(std::move(args));
  return object->Invoke(id, IID_NULL, 0, flags, params.Get(), result, excepInfo, argErr);
}

DISPID IdOf(IDispatch* object, const QString& name) {
  DISPID id = -99;
  object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
  return id;
}

}  // namespace pw::testing
