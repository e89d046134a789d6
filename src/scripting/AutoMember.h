// Member tables of scriptable classes: TAutoMember (one script-visible member), TAutoClass (the
// table of one class, linked to its parent's) and the helpers that build entries from ordinary
// C++ methods, deducing the type codes from the method's signature.
// Tables are built once, on first use, and never change; they are safe to read from any thread.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "scripting/Dispatch.h"
#include "scripting/Variant.h"

namespace pw {

class TAutoTarget;

// Member kinds (bits).
inline constexpr std::uint8_t akMethod = 1;
inline constexpr std::uint8_t akGet = 2;
inline constexpr std::uint8_t akPut = 4;

// Set in a parameter type code: passed by reference.
inline constexpr std::uint8_t kParamByRef = 0x80;

// One script-visible member. The code receives the target and the arguments in declaration
// order, already converted: each is a variant of exactly the parameter's type, or for a
// variant parameter the caller's own variant. A by-reference argument is written back into its
// variant after the call. result is null when the caller wants none.
struct TAutoMember {
  using TCode = std::function<void(TAutoTarget& target, Variant* const* args, Variant* result)>;

  DISPID DispID = 0;
  std::string Name;  // ASCII, at most 255 characters
  std::uint8_t Kind = 0;
  std::uint8_t ResultType = 0;  // 0: no result
  std::vector<std::uint8_t> ParamTypes;
  TCode Code;
};

// One or two entries (a read/write property gives two); what the helpers below return.
struct TAutoMembers {
  std::vector<TAutoMember> Entries;
};

// The member table of one class. Lookups search this class first, then each ancestor.
class TAutoClass {
 public:
  TAutoClass(const char* name, const TAutoClass* parent, std::initializer_list<TAutoMembers> members);
  TAutoClass(const TAutoClass&) = delete;
  TAutoClass& operator=(const TAutoClass&) = delete;

  const std::string& Name() const { return FName; }
  const TAutoClass* Parent() const { return FParent; }
  const std::vector<TAutoMember>& OwnMembers() const { return FMembers; }

  // The DispID of the first member whose name equals name without regard to ASCII case,
  // searching ancestors too; -1 when there is none. name is single-byte text.
  DISPID FindDispID(std::string_view name) const;
  // The first entry with this DispID whose kind shares a bit with flags; null when none.
  const TAutoMember* FindEntry(DISPID id, std::uint16_t flags) const;

  // Mistakes in this class's table and its ancestors': one line each, none when sound.
  // Checks: names empty or longer than 255 or not ASCII, more than 255 parameters, a DispID
  // used by two names, a name used for two DispIDs, two entries of one DispID sharing a kind,
  // a DispID of 6000 or more (those belong to dynamic members).
  std::vector<std::string> Problems() const;

 private:
  std::string FName;
  const TAutoClass* FParent;
  std::vector<TAutoMember> FMembers;
};

// Converts a script name to the single-byte text of member names: a character above U+00FF
// becomes byte 0 (so the name never matches) and the name is cut to 255 characters.
std::string AutoMemberName(const QString& name);

namespace auto_detail {

template <class T, class = void>
struct ValueType {
  static_assert(sizeof(T) == 0,
                "unsupported type in a script member: use bool, int16_t, int32_t, int64_t, "
                "uint8_t, float, double, Currency, Date, ErrorCode, QString, std::string, "
                "ComPtr<IDispatch> or Variant");
};

// Exact: the variant of exactly this type. Result: how a returned value is stored.
template <class T, VARTYPE vt>
struct PlainValue {
  static constexpr std::uint8_t code = vt;
  static Variant Exact(const T& value) { return Variant(value); }
  static Variant Result(const T& value) { return Variant(value); }
};

template <>
struct ValueType<bool> : PlainValue<bool, VT_BOOL> {
  static bool From(const Variant& v) { return v.BoolValue(); }
};
template <>
struct ValueType<std::int16_t> : PlainValue<std::int16_t, VT_I2> {
  static std::int16_t From(const Variant& v) { return static_cast<std::int16_t>(v.IntValue()); }
};
template <>
struct ValueType<std::int32_t> : PlainValue<std::int32_t, VT_I4> {
  static std::int32_t From(const Variant& v) { return static_cast<std::int32_t>(v.IntValue()); }
};
template <>
struct ValueType<std::int64_t> : PlainValue<std::int64_t, VT_I8> {
  static std::int64_t From(const Variant& v) { return v.IntValue(); }
};
template <>
struct ValueType<long long> : PlainValue<long long, VT_I8> {
  static long long From(const Variant& v) { return v.IntValue(); }
};
template <>
struct ValueType<std::uint8_t> : PlainValue<std::uint8_t, VT_UI1> {
  static std::uint8_t From(const Variant& v) { return static_cast<std::uint8_t>(v.IntValue()); }
};
template <>
struct ValueType<float> : PlainValue<float, VT_R4> {
  static float From(const Variant& v) { return static_cast<float>(v.RealValue()); }
};
template <>
struct ValueType<double> : PlainValue<double, VT_R8> {
  static double From(const Variant& v) { return v.RealValue(); }
};
template <>
struct ValueType<Currency> : PlainValue<Currency, VT_CY> {
  static Currency From(const Variant& v) { return v.CurrencyValue(); }
};
template <>
struct ValueType<Date> : PlainValue<Date, VT_DATE> {
  static Date From(const Variant& v) { return v.DateValue(); }
};
template <>
struct ValueType<ErrorCode> : PlainValue<ErrorCode, VT_ERROR> {
  static ErrorCode From(const Variant& v) { return ErrorCode{v.ErrorValue()}; }
};
template <>
struct ValueType<QString> : PlainValue<QString, VT_BSTR> {
  static QString From(const Variant& v) { return v.StringValue(); }
};
template <>
struct ValueType<std::string> {
  static constexpr std::uint8_t code = VT_BYTESTR;
  static std::string From(const Variant& v) { return v.ByteStringValue(); }
  static Variant Exact(const std::string& value) { return Variant(value); }
  static Variant Result(const std::string& value) {
    return Variant(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  }
};
template <>
struct ValueType<IDispatch*> {
  static constexpr std::uint8_t code = VT_DISPATCH;
  static IDispatch* From(const Variant& v) { return v.DispatchValue(); }
  static Variant Exact(IDispatch* value) { return Variant::FromDispatch(value); }
  static Variant Result(IDispatch* value) { return Variant::FromDispatch(value); }
};
// ComPtr<IDispatch> as parameter; ComPtr of any dispatch class as result.
template <class T>
struct ValueType<ComPtr<T>, std::enable_if_t<std::is_convertible_v<T*, IDispatch*>>> {
  static constexpr std::uint8_t code = VT_DISPATCH;
  static ComPtr<T> From(const Variant& v) {
    static_assert(std::is_same_v<T, IDispatch>, "a dispatch parameter is ComPtr<IDispatch>");
    return ComPtr<T>(v.DispatchValue());
  }
  static Variant Exact(const ComPtr<T>& value) { return Variant::FromDispatch(value.Get()); }
  static Variant Result(const ComPtr<T>& value) { return Variant::FromDispatch(value.Get()); }
};
template <>
struct ValueType<Variant> {
  static constexpr std::uint8_t code = VT_VARIANT;
  static Variant Exact(const Variant& value) { return value; }
  static Variant Result(const Variant& value) { return value; }
};

// How one declared parameter P receives its argument and writes it back.
template <class P>
struct Arg {
  using T = std::remove_cvref_t<P>;
  static constexpr bool kByRef =
      std::is_lvalue_reference_v<P> && !std::is_const_v<std::remove_reference_t<P>>;
  static constexpr std::uint8_t code =
      static_cast<std::uint8_t>(ValueType<T>::code | (kByRef ? kParamByRef : 0));
  static_assert(!std::is_rvalue_reference_v<P>, "script parameters are values or lvalue references");
  static_assert(!std::is_pointer_v<T> || std::is_same_v<T, IDispatch*>,
                "the only pointer parameter is IDispatch*");

  explicit Arg(Variant& v) : FValue(ValueType<T>::From(v)) {}
  T& Get() { return FValue; }
  void WriteBack(Variant& v) {
    if constexpr (kByRef) v = ValueType<T>::Exact(FValue);
  }
  T FValue;
};

// A variant parameter: the method sees the caller's variant itself (by value: read-only; by
// reference: the referenced variant).
template <>
struct Arg<const Variant&> {
  static constexpr std::uint8_t code = VT_VARIANT;
  explicit Arg(Variant& v) : FRef(v) {}
  const Variant& Get() { return FRef; }
  void WriteBack(Variant&) {}
  const Variant& FRef;
};
template <>
struct Arg<Variant> : Arg<const Variant&> {
  using Arg<const Variant&>::Arg;
};
template <>
struct Arg<Variant&> {
  static constexpr std::uint8_t code = VT_VARIANT | kParamByRef;
  explicit Arg(Variant& v) : FRef(v) {}
  Variant& Get() { return FRef; }
  void WriteBack(Variant&) {}
  Variant& FRef;
};

template <class R>
constexpr std::uint8_t ResultCode() {
  if constexpr (std::is_void_v<R>) {
    return 0;
  } else {
    static_assert(!std::is_reference_v<R>, "script members return values, not references");
    return ValueType<std::remove_cv_t<R>>::code;
  }
}

template <class... P>
struct TypeList {};

template <class M>
struct MethodTraits {
  static_assert(sizeof(M) == 0, "a script member is a pointer to a member function");
};
#define PW_AUTO_METHOD_TRAITS(QUALIFIERS)                      \
  template <class C, class R, class... P>                      \
  struct MethodTraits<R (C::*)(P...) QUALIFIERS> {             \
    using Class = C;                                           \
    using Result = R;                                          \
    using Params = TypeList<P...>;                             \
  };
PW_AUTO_METHOD_TRAITS()
PW_AUTO_METHOD_TRAITS(const)
PW_AUTO_METHOD_TRAITS(noexcept)
PW_AUTO_METHOD_TRAITS(const noexcept)
#undef PW_AUTO_METHOD_TRAITS

// Throws when target is not a C (an entry taken from another class's methods).
void ThrowForeignMember(const TAutoTarget& target, const char* memberName);

template <class C, class R, class... P, class M, std::size_t... I>
void CallMember(C& object, M method, Variant* const* args, Variant* result,
                std::index_sequence<I...>) {
  std::tuple<Arg<P>...> held{*args[I]...};
  if constexpr (std::is_void_v<R>) {
    (object.*method)(std::get<I>(held).Get()...);
  } else {
    R value = (object.*method)(std::get<I>(held).Get()...);
    if (result) *result = ValueType<std::remove_cv_t<R>>::Result(value);
  }
  (std::get<I>(held).WriteBack(*args[I]), ...);
}

template <class M, class C, class R, class... P>
TAutoMember MakeMember(DISPID id, const char* name, std::uint8_t kind, M method, TypeList<P...>) {
  static_assert(sizeof...(P) <= 255, "at most 255 parameters");
  static_assert(std::is_base_of_v<TAutoTarget, C>, "script members belong to a TAutoTarget class");
  TAutoMember member;
  member.DispID = id;
  member.Name = name;
  member.Kind = kind;
  member.ResultType = ResultCode<R>();
  member.ParamTypes = {Arg<P>::code...};
  member.Code = [method, name](TAutoTarget& target, Variant* const* args, Variant* result) {
    C* object = dynamic_cast<C*>(&target);
    if (!object) ThrowForeignMember(target, name);
    CallMember<C, R, P...>(*object, method, args, result, std::index_sequence_for<P...>{});
  };
  return member;
}

template <class M>
TAutoMember MakeMember(DISPID id, const char* name, std::uint8_t kind, M method) {
  using Traits = MethodTraits<M>;
  return MakeMember<M, typename Traits::Class, typename Traits::Result>(id, name, kind, method,
                                                                       typename Traits::Params{});
}

template <class M>
using ResultOf = typename MethodTraits<M>::Result;

template <class L>
struct LastOf;
template <class P>
struct LastOf<TypeList<P>> {
  using Type = P;
};
template <class P, class Q, class... Rest>
struct LastOf<TypeList<P, Q, Rest...>> : LastOf<TypeList<Q, Rest...>> {};

}  // namespace auto_detail

// A method: called with DISPATCH_METHOD.
template <class M>
TAutoMembers AutoMethod(DISPID id, const char* name, M method) {
  return {{auto_detail::MakeMember(id, name, akMethod, method)}};
}

// A property read; an indexed property's getter takes the index parameters.
template <class M>
TAutoMembers AutoGetter(DISPID id, const char* name, M getter) {
  static_assert(!std::is_void_v<auto_detail::ResultOf<M>>, "a getter returns the value");
  return {{auto_detail::MakeMember(id, name, akGet, getter)}};
}

// A property write: the index parameters, if any, then the value.
template <class M>
TAutoMembers AutoSetter(DISPID id, const char* name, M setter) {
  return {{auto_detail::MakeMember(id, name, akPut, setter)}};
}

// A read/write property: two entries with one DispID and name. The setter's last parameter
// must have the getter's type.
template <class G, class S>
TAutoMembers AutoProperty(DISPID id, const char* name, G getter, S setter) {
  static_assert(!std::is_void_v<auto_detail::ResultOf<G>>, "a getter returns the value");
  using Value = std::remove_cvref_t<
      typename auto_detail::LastOf<typename auto_detail::MethodTraits<S>::Params>::Type>;
  static_assert(std::is_same_v<Value, std::remove_cv_t<auto_detail::ResultOf<G>>>,
                "the setter takes the getter's type");
  return {{auto_detail::MakeMember(id, name, akGet, getter),
           auto_detail::MakeMember(id, name, akPut, setter)}};
}

// Any kind bits, for the rare member that is both a method and a property read.
template <class M>
TAutoMembers AutoMember(DISPID id, const char* name, std::uint8_t kind, M method) {
  return {{auto_detail::MakeMember(id, name, kind, method)}};
}

}  // namespace pw

// In the class body (first, like Q_OBJECT; leaves the access private): declares the class's
// member table, whose parent is Base's. Define the table in the .cpp with PW_AUTO_MEMBERS.
#define PW_AUTO_CLASS(Class, Base)                                                 \
 public:                                                                           \
  using AutoBase = Base;                                                           \
  static constexpr const char* kAutoClassName = #Class;                            \
  static const ::pw::TAutoClass& StaticAutoClass();                                \
  const ::pw::TAutoClass& AutoClass() const override { return StaticAutoClass(); } \
                                                                                   \
 private:

// In the .cpp: the member table of Class, entries made by AutoMethod, AutoGetter, AutoSetter,
// AutoProperty and AutoMember.
#define PW_AUTO_MEMBERS(Class, ...)                                                           \
  const ::pw::TAutoClass& Class::StaticAutoClass() {                                          \
    static const ::pw::TAutoClass table(Class::kAutoClassName, &AutoBase::StaticAutoClass(), \
                                        {__VA_ARGS__});                                       \
    return table;                                                                             \
  }
