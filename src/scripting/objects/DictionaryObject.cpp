#include "scripting/objects/DictionaryObject.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <utility>

namespace pw {

PW_AUTO_MEMBERS(TDictionaryObject,
    AutoMethod(1, "IndexOf", &TDictionaryObject::IndexOf),
    AutoMethod(2, "Exists", &TDictionaryObject::Exists),
    AutoMethod(3, "Sort", &TDictionaryObject::Sort),
    AutoMethod(4, "Add", &TDictionaryObject::Add),
    AutoMethod(5, "Remove", &TDictionaryObject::Remove),
    AutoMethod(6, "RemoveAt", &TDictionaryObject::RemoveAt),
    AutoMethod(7, "Items", &TDictionaryObject::Items),
    AutoMethod(8, "Keys", &TDictionaryObject::Keys),
    AutoMethod(9, "RemoveAll", &TDictionaryObject::RemoveAll),
    AutoProperty(DISPID_VALUE, "Item", &TDictionaryObject::Item, &TDictionaryObject::SetItem),
    AutoProperty(10, "Value", &TDictionaryObject::Value, &TDictionaryObject::SetValue),
    AutoGetter(11, "Length", &TDictionaryObject::Length))

namespace {

using TLock = std::lock_guard<std::recursive_mutex>;

// A by-reference argument is stored as the value it refers to, never as the reference.
Variant Stored(const Variant& value) { return value.IsByRef() ? value.Dereferenced() : value; }

}  // namespace

QString DictionaryKey(const Variant& key) {
  const Variant value = key.Dereferenced();
  switch (value.Type()) {
    case VT_BSTR:
      return value.StringValue();
    case VT_BYTESTR:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_UI1:
    case VT_R4:
    case VT_R8: {
      Variant text;
      if (SUCCEEDED(VariantChangeTypeEx(text, value, LOCALE_USER_DEFAULT, 0, VT_BSTR))) {
        return text.StringValue();
      }
      break;
    }
    default:
      break;
  }
  throw EAutoObjectError(QStringLiteral("A dictionary key must be text, not %1")
                             .arg(value.DebugString().section(QLatin1Char(' '), 0, 0)));
}

int TDictionaryObject::CheckedIndex(std::int32_t index) {
  const int length = StoreLength();
  if (index < 0 || index >= length) {
    throw EAutoObjectError(length == 0
                               ? QStringLiteral("Index %1 is out of range: the dictionary is empty")
                                     .arg(index)
                               : QStringLiteral("Index %1 is out of range 0..%2")
                                     .arg(index)
                                     .arg(length - 1));
  }
  return index;
}

int TDictionaryObject::SetLocked(const QString& key, const Variant& value) {
  const int index = StoreIndexOf(key);
  if (index < 0) return StoreAppend(key, Stored(value));
  StoreSetValue(index, Stored(value));
  return index;
}

std::int32_t TDictionaryObject::IndexOf(const Variant& key) {
  const QString text = DictionaryKey(key);
  TLock lock(FMutex);
  return StoreIndexOf(text);
}

bool TDictionaryObject::Exists(const Variant& key) { return IndexOf(key) >= 0; }

void TDictionaryObject::Sort() {
  TLock lock(FMutex);
  StoreSort();
}

std::int32_t TDictionaryObject::Add(const Variant& key, const Variant& value) {
  const QString text = DictionaryKey(key);
  TLock lock(FMutex);
  return StoreAppend(text, Stored(value));
}

void TDictionaryObject::Remove(const Variant& key) {
  const QString text = DictionaryKey(key);
  TLock lock(FMutex);
  const int index = StoreIndexOf(text);
  if (index >= 0) StoreRemoveAt(index);
}

void TDictionaryObject::RemoveAt(std::int32_t index) {
  TLock lock(FMutex);
  StoreRemoveAt(CheckedIndex(index));
}

Variant TDictionaryObject::Items(std::int32_t index) {
  TLock lock(FMutex);
  return StoreValue(CheckedIndex(index));
}

QString TDictionaryObject::Keys(std::int32_t index) {
  TLock lock(FMutex);
  return StoreKey(CheckedIndex(index));
}

void TDictionaryObject::RemoveAll() {
  TLock lock(FMutex);
  StoreClear();
}

Variant TDictionaryObject::Item(const Variant& key) { return Get(DictionaryKey(key)); }

void TDictionaryObject::SetItem(const Variant& key, const Variant& value) {
  Set(DictionaryKey(key), value);
}

Variant TDictionaryObject::Value(std::int32_t index) { return Items(index); }

void TDictionaryObject::SetValue(std::int32_t index, const Variant& value) {
  TLock lock(FMutex);
  StoreSetValue(CheckedIndex(index), Stored(value));
}

std::int32_t TDictionaryObject::Length() {
  TLock lock(FMutex);
  return StoreLength();
}

Variant TDictionaryObject::Get(const QString& key) {
  TLock lock(FMutex);
  const int index = StoreIndexOf(key);
  return index < 0 ? Variant() : StoreValue(index);
}

void TDictionaryObject::Set(const QString& key, const Variant& value) {
  TLock lock(FMutex);
  SetLocked(key, value);
}

// --- The dynamic-member provider.

std::int32_t TDictionaryObject::GetDynamicDispID(const QString& name, bool ensure) {
  try {
    return FindDynamic(name, ensure);
  } catch (const std::exception&) {
    return -1;  // a store that is gone knows no names
  }
}

std::int32_t TDictionaryObject::NameId(const QString& name) {
  for (std::size_t i = 0; i < FDynamicNames.size(); ++i) {
    if (FDynamicNames[i].compare(name, Qt::CaseInsensitive) == 0) return static_cast<std::int32_t>(i);
  }
  FDynamicNames.push_back(name);
  return static_cast<std::int32_t>(FDynamicNames.size()) - 1;
}

QString TDictionaryObject::DynamicName(std::int32_t id) {
  if (id >= DISPID_DYNAMIC_BASE) {
    TDictionaryObject* parent = ParentDictionary();
    return parent ? parent->DynamicName(id - DISPID_DYNAMIC_BASE) : QString();
  }
  TLock lock(FMutex);
  if (id < 0 || static_cast<std::size_t>(id) >= FDynamicNames.size()) return QString();
  return FDynamicNames[static_cast<std::size_t>(id)];
}

TDictionaryObject* TDictionaryObject::ParentDictionary() const {
  ComPtr<IAutoObjectRef> ref = DynamicProvider().As<IAutoObjectRef>();
  return ref ? dynamic_cast<TDictionaryObject*>(ref->GetAutoObject()) : nullptr;
}

std::int32_t TDictionaryObject::FindDynamic(const QString& name, bool ensure) {
  {
    TLock lock(FMutex);
    if (StoreIndexOf(name) >= 0) return NameId(name);
    if (ensure) {
      StoreAppend(name, Variant());
      return NameId(name);
    }
  }
  // Absent here: the parent's entries answer, offset past this dictionary's own range.
  ComPtr<ICustomDispatch> parent = DynamicProvider();
  if (!parent) return -1;
  const std::int32_t inParent = parent->GetCustomDispID(name, false);
  if (inParent < 0 || inParent > INT32_MAX - DISPID_DYNAMIC_BASE) return -1;
  return DISPID_DYNAMIC_BASE + inParent;
}

HRESULT TDictionaryObject::InvokeDynamic(std::int32_t index, LCID lcid, std::uint16_t flags,
                                         DISPPARAMS* params, Variant* result,
                                         EXCEPINFO* excepInfo, IUnknown* caller) {
  try {
    return InvokeEntry(index, lcid, flags, params, result, excepInfo, caller);
  } catch (const std::exception& error) {
    if (excepInfo) {
      excepInfo->Clear();
      FillExceptInfo(*excepInfo, QString::fromUtf8(error.what()));
    }
    return DISP_E_EXCEPTION;
  }
}

HRESULT TDictionaryObject::InvokeEntry(std::int32_t index, LCID lcid, std::uint16_t flags,
                                       DISPPARAMS* params, Variant* result, EXCEPINFO* excepInfo,
                                       IUnknown* caller) {
  if (index < 0) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS none;
  if (!params) params = &none;
  if ((params->cArgs > 0 && !params->rgvarg) ||
      (params->cNamedArgs > 0 && !params->rgdispidNamedArgs) ||
      params->cNamedArgs > params->cArgs) {
    return E_INVALIDARG;
  }
  if (flags & DISPATCH_PROPERTYPUTREF) {
    flags = static_cast<std::uint16_t>((flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT);
  }
  // A property write: the named argument DISPID_PROPERTYPUT holds the new value.
  const Variant* putValue = nullptr;
  for (std::uint32_t i = 0; i < params->cNamedArgs; ++i) {
    if (params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) putValue = &params->rgvarg[i];
  }
  const bool plainWrite = (flags & DISPATCH_PROPERTYPUT) && !(flags & DISPATCH_METHOD) &&
                          putValue && params->cArgs == 1;

  // Identifiers stand for names, never for positions: callers may keep them across removals and
  // sorting, and may write through the identifier a read of the parent gave them.
  const QString name = DynamicName(index);
  if (name.isEmpty() && index < DISPID_DYNAMIC_BASE) return DISP_E_MEMBERNOTFOUND;
  Variant value;
  bool own = false;
  if (!name.isEmpty()) {
    TLock lock(FMutex);
    if (plainWrite) {
      // Assignments create the name here, even when it was read from the parent before.
      SetLocked(name, *putValue);
      return S_OK;
    }
    const int at = StoreIndexOf(name);
    if (at >= 0) {
      own = true;
      value = StoreValue(at);  // copied, so that a stored function runs without the lock
    }
  }
  if (!own) {
    ComPtr<ICustomDispatch> parent = DynamicProvider();
    const std::int32_t inParent = !parent ? -1
                                  : name.isEmpty() ? index - DISPID_DYNAMIC_BASE
                                                   : parent->GetCustomDispID(name, false);
    if (inParent >= 0) {
      return parent->InvokeCustom(inParent, lcid, flags, params, result, excepInfo, caller);
    }
    // A name removed since it was looked up reads as empty.
    if ((flags & DISPATCH_PROPERTYGET) && !(flags & DISPATCH_METHOD)) {
      if (!result) return E_POINTER;
      *result = Variant();
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

  // Calls the default member of the object held in the entry with the same flags and
  // arguments: a function stored as a property is called as a method.
  auto callHeld = [&](HRESULT notAnObject) -> HRESULT {
    IDispatch* object = value.BaseType() == VT_DISPATCH ? value.DispatchValue() : nullptr;
    if (!object) return notAnObject;
    ComPtr<IDispatch> held(object);
    return held->Invoke(DISPID_VALUE, IID_NULL, lcid, flags, params, result, excepInfo, nullptr);
  };
  if (flags & DISPATCH_METHOD) return callHeld(DISP_E_BADCALLEE);
  if (flags & DISPATCH_PROPERTYGET) {
    if (!result) return E_POINTER;
    *result = value;
    return S_OK;
  }
  if (!(flags & DISPATCH_PROPERTYPUT)) return DISP_E_MEMBERNOTFOUND;
  if (!putValue) return DISP_E_BADPARAMCOUNT;
  // Further arguments index into the object held in the entry.
  return callHeld(DISP_E_BADPARAMCOUNT);
}

// --- Storage: the entries of this object.

int TDictionaryObject::StoreLength() { return static_cast<int>(FEntries.size()); }

int TDictionaryObject::StoreIndexOf(const QString& key) {
  for (std::size_t i = 0; i < FEntries.size(); ++i) {
    if (FEntries[i].Key.compare(key, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
  }
  return -1;
}

QString TDictionaryObject::StoreKey(int index) { return FEntries[static_cast<std::size_t>(index)].Key; }

Variant TDictionaryObject::StoreValue(int index) {
  return FEntries[static_cast<std::size_t>(index)].Value;
}

void TDictionaryObject::StoreSetValue(int index, const Variant& value) {
  FEntries[static_cast<std::size_t>(index)].Value = value;
}

int TDictionaryObject::StoreAppend(const QString& key, const Variant& value) {
  FEntries.push_back(TEntry{key, value});
  return static_cast<int>(FEntries.size()) - 1;
}

void TDictionaryObject::StoreRemoveAt(int index) {
  FEntries.erase(FEntries.begin() + index);
}

void TDictionaryObject::StoreClear() { FEntries.clear(); }

void TDictionaryObject::StoreSort() {
  std::stable_sort(FEntries.begin(), FEntries.end(), [](const TEntry& a, const TEntry& b) {
    return a.Key.compare(b.Key, Qt::CaseInsensitive) < 0;
  });
}

}  // namespace pw
