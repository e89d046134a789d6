#include "scripting/Dispatch.h"

#include <vector>

namespace pw {

HRESULT CallDispatch(IDispatch* dispatch, DISPID id, const Variant* args, std::size_t argCount,
                     IDispatch* thisObject, Variant* result) {
  if (!dispatch) return E_POINTER;
  if (argCount > 0 && !args) return E_POINTER;
  std::vector<Variant> vector;
  vector.reserve(argCount + (thisObject ? 1 : 0));
  DISPID thisId = DISPID_THIS;
  DISPPARAMS params;
  if (thisObject) {
    vector.push_back(Variant::FromDispatch(thisObject));
    params.rgdispidNamedArgs = &thisId;
    params.cNamedArgs = 1;
  }
  for (std::size_t i = argCount; i > 0; --i) vector.push_back(args[i - 1]);
  params.rgvarg = vector.data();
  params.cArgs = static_cast<std::uint32_t>(vector.size());
  return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

HRESULT GetDefaultValue(IDispatch* dispatch, Variant* result) {
  if (!dispatch) return E_POINTER;
  DISPPARAMS params;
  return dispatch->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, result,
                          nullptr, nullptr);
}

}  // namespace pw
