#include "scripting/JSBridge.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "scripting/AutoObject.h"
#include "scripting/JSDispatch.h"
#include "scripting/JSEngine.h"
#include "scripting/JSUtil.h"
#include "scripting/VariantBuffer.h"
#include "scripting/ThreadHandOver.h"

namespace pw::js {

namespace {

std::atomic<std::int64_t> gLiveWrappers{0};

// Arrays nested deeper than this travel as dispatch objects.
constexpr int kMaxArrayDepth = 32;
// The elements one conversion (the arguments of one call, one value) copies at most: an array
// that would take more travels as a dispatch object. A sparse `new Array(1e9)`, or one array
// shared by many elements, must not become millions of variants.
constexpr std::size_t kMaxCopiedElements = 1 << 20;
// How many elements are copied between two looks at a stop request.
constexpr std::size_t kStopCheckInterval = 4096;
// Integers a double holds exactly; larger 64-bit integers travel as BigInts.
constexpr std::int64_t kMaxExactInteger = std::int64_t{1} << 53;

constexpr double kMsPerDay = 86400000.0;

// The engine of a global object (the object the global class's callbacks receive).
Engine* EngineOfGlobal(JSObjectRef global) { return static_cast<Engine*>(JSObjectGetPrivate(global)); }

// A class of script objects called name, with the callbacks fill sets.
template <class Fill>
JSClassRef CreateClass(const char* name, Fill fill) {
  // All zeros, as the library's kJSClassDefinitionEmpty is: that is data, which the table of
  // functions opened on first use does not carry.
  JSClassDefinition definition{};
  definition.className = name;
  fill(definition);
  return JSClassCreate(&definition);
}

// --- Dates: local-time day numbers since 1899-12-30 against JavaScript's UTC milliseconds.

const QDate& DateBase() {
  static const QDate base(1899, 12, 30);
  return base;
}

double MsFromDate(Date date) {
  double day = std::trunc(date.Value);
  double fraction = std::fabs(date.Value - day);
  qint64 ms = std::llround(fraction * kMsPerDay);
  QDate d = DateBase().addDays(static_cast<qint64>(day));
  if (ms >= static_cast<qint64>(kMsPerDay)) {
    d = d.addDays(1);
    ms -= static_cast<qint64>(kMsPerDay);
  }
  QDateTime local(d, QTime(0, 0).addMSecs(static_cast<int>(ms)));
  return static_cast<double>(local.toMSecsSinceEpoch());
}

Date DateFromMs(double ms) {
  QDateTime local = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms));
  qint64 day = DateBase().daysTo(local.date());
  double fraction = local.time().msecsSinceStartOfDay() / kMsPerDay;
  return Date{day >= 0 ? day + fraction : day - fraction};
}

// --- Calls into native objects.

// A native object with what every call on it needs, looked up once.
struct NativeTarget {
  ComPtr<IDispatch> Object;
  ComPtr<IDispatchEx> Ex;  // null when the object answers IDispatch only
  ThreadRef Owner;         // null: callable on any thread
  const TAutoClass* Class = nullptr;  // the member table of an automation object
  explicit NativeTarget(IDispatch* o)
      : Object(o), Ex(ComPtr<IDispatch>(o).As<IDispatchEx>()), Owner(o->OwnerThread()) {
    if (ComPtr<IAutoObjectRef> ref = ComPtr<IDispatch>(o).As<IAutoObjectRef>()) {
      if (TAutoTarget* target = ref->GetAutoObject()) Class = &target->AutoClass();
    }
  }
};

// What the bridge knows of one name of an object. Known: from the class's member table, with
// whether a read without arguments gives a value (else a read gives a callable reference) and
// whether a call answers one; otherwise both are found out by trying.
struct TMemberInfo {
  DISPID Id = DISPID_UNKNOWN;
  bool Known = false;
  bool Readable = false;
  bool HasResult = true;
};

struct TNameHash {
  using is_transparent = void;
  std::size_t operator()(std::u16string_view name) const {
    return std::hash<std::u16string_view>{}(name);
  }
};
using TClassNames = std::unordered_map<std::u16string, TMemberInfo, TNameHash, std::equal_to<>>;

// The member of cls called name, or null. Member tables never change and every object of a
// class resolves its table's names alike (dynamic members only come after them), so each name
// is looked up once per thread and class; names that are not in the table are not kept.
const TMemberInfo* FindClassMember(const TAutoClass& cls, std::u16string_view name) {
  thread_local std::unordered_map<const TAutoClass*, TClassNames> cache;
  TClassNames& names = cache[&cls];
  auto found = names.find(name);
  if (found != names.end()) return &found->second;
  const QString text(reinterpret_cast<const QChar*>(name.data()), static_cast<qsizetype>(name.size()));
  TMemberInfo member;
  member.Id = cls.FindDispID(AutoMemberName(text));
  if (member.Id == DISPID_UNKNOWN) return nullptr;
  member.Known = true;
  const TAutoMember* get = cls.FindEntry(member.Id, DISPATCH_PROPERTYGET);
  member.Readable = get && get->ParamTypes.empty();
  const TAutoMember* call = cls.FindEntry(member.Id, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  member.HasResult = !call || call->ResultType != 0;
  return &names.emplace(std::u16string(name), member).first->second;
}

HRESULT ResolveName(const NativeTarget& target, const QString& name, bool ensure, DISPID* id) {
  *id = DISPID_UNKNOWN;
  return RunOnThread(target.Owner, E_UNEXPECTED, [&]() -> HRESULT {
    if (target.Ex) {
      return target.Ex->GetDispID(name, fdexNameCaseSensitive | (ensure ? fdexNameEnsure : 0), id);
    }
    return target.Object->GetIDsOfNames(IID_NULL, &name, 1, 0, id);
  });
}

// Invokes a member with count arguments in the automation order (the last argument first);
// for a property write args[0] is the value.
HRESULT InvokeNative(const NativeTarget& target, DISPID id, std::uint16_t flags, Variant* args,
                     std::size_t count, Variant* result, EXCEPINFO* excepInfo) {
  DISPID namedPut = DISPID_PROPERTYPUT;
  DISPPARAMS params;
  params.rgvarg = count > 0 ? args : nullptr;
  params.cArgs = static_cast<std::uint32_t>(count);
  if ((flags & DISPATCH_PROPERTYPUT) && count > 0) {
    params.rgdispidNamedArgs = &namedPut;
    params.cNamedArgs = 1;
  }
  auto invoke = [&]() -> HRESULT {
    if (target.Ex) return target.Ex->InvokeEx(id, 0, flags, &params, result, excepInfo, nullptr);
    return target.Object->Invoke(id, IID_NULL, 0, flags, &params, result, excepInfo, nullptr);
  };
  if (!target.Owner) return invoke();
  return RunOnThread(target.Owner, E_UNEXPECTED, invoke);
}

// The arguments of one call, in the automation order.
using TArgs = TVariantBuffer<6>;

JSObjectRef MakeError(JSContextRef ctx, const QString& message, HRESULT code,
                      const QString& source = QString()) {
  JSValueRef text = JSValueMakeString(ctx, JSString(message));
  JSObjectRef error = JSObjectMakeError(ctx, 1, &text, nullptr);
  // The fields scripts written for automation hosts read.
  JSObjectSetProperty(ctx, error, JSString("number"), JSValueMakeNumber(ctx, code),
                      kJSPropertyAttributeDontEnum, nullptr);
  JSObjectSetProperty(ctx, error, JSString("description"), text, kJSPropertyAttributeDontEnum,
                      nullptr);
  // The class that raised a native exception; the error report names it.
  if (!source.isEmpty()) {
    JSObjectSetProperty(ctx, error, JSString("source"), JSValueMakeString(ctx, JSString(source)),
                        kJSPropertyAttributeDontEnum, nullptr);
  }
  return error;
}

QString FailureMessage(HRESULT hr, const EXCEPINFO& info, const QString& member) {
  if (!info.bstrDescription.isEmpty()) return info.bstrDescription;
  static constexpr struct {
    HRESULT Hr;
    const char* Text;  // %1 is the member
  } kMessages[] = {
      {DISP_E_UNKNOWNNAME, "Object doesn't support property or method %1"},
      {DISP_E_MEMBERNOTFOUND, "Object doesn't support property or method %1"},
      {DISP_E_BADPARAMCOUNT, "Wrong number of arguments for %1"},
      {DISP_E_PARAMNOTOPTIONAL, "Argument not optional for %1"},
      {DISP_E_TYPEMISMATCH, "Type mismatch in %1"},
      {DISP_E_OVERFLOW, "Overflow in %1"},
      {DISP_E_NONAMEDARGS, "%1 does not take named arguments"},
      {E_NOTIMPL, "%1 is not implemented"},
      {E_UNEXPECTED, "The object behind %1 is no longer available"},
      {SCRIPT_E_REPORTED, "Script error in %1"},
  };
  QString name = member.isEmpty() ? QStringLiteral("default member") : QLatin1Char('\'') + member + QLatin1Char('\'');
  for (const auto& message : kMessages) {
    if (message.Hr == hr) return QString::fromLatin1(message.Text).arg(name);
  }
  return QStringLiteral("Call of %1 failed (0x%2)")
      .arg(name)
      .arg(static_cast<std::uint32_t>(hr), 8, 16, QLatin1Char('0'));
}

// The script exception for a failed native call: the very exception of a script that failed
// underneath, or a new Error carrying the native message and code.
JSValueRef FailureException(Engine& engine, HRESULT hr, const EXCEPINFO& info,
                            const QString& member) {
  if (JSValueRef pending = engine.SettlePendingException(hr, info)) return pending;
  JSContextRef ctx = engine.Context();
  HRESULT code = (hr == DISP_E_EXCEPTION && info.scode != 0) ? info.scode : hr;
  JSObjectRef error = MakeError(ctx, FailureMessage(hr, info, member), code,
                                hr == DISP_E_EXCEPTION ? info.bstrSource : QString());
  if (hr == SCRIPT_E_REPORTED) engine.SetReportedMarker(error);
  return error;
}

// One conversion from script values: the arrays being copied (a cycle closes on one of them)
// and the elements it may still copy.
struct TConversion {
  explicit TConversion(Engine& engine) : Owner(engine) {}
  Engine& Owner;
  std::vector<JSObjectRef> Path;
  std::size_t Budget = kMaxCopiedElements;
};

Variant FromJSAt(TConversion& conversion, JSValueRef value, int depth);

// Converts values (in their natural order) into args from position first on, in the
// automation order: the last value lands at first.
void ArgsFromJS(Engine& engine, std::size_t count, const JSValueRef values[], TArgs& args,
                std::size_t first = 0) {
  TConversion conversion(engine);
  for (std::size_t i = 0; i < count; ++i) {
    args[first + count - 1 - i] = FromJSAt(conversion, values[i], 0);
  }
}

// C++ exceptions (out of memory, a bug) must not unwind through the engine's C frames: a
// callback that fails that way raises a script exception instead.
inline JSValueRef* ExceptionPlace(JSValueRef* place) { return place; }
template <class T>
JSValueRef* ExceptionPlace(T) {
  return nullptr;
}

template <auto Callback>
struct Guarded;

template <class R, class... A, R (*Callback)(JSContextRef, A...)>
struct Guarded<Callback> {
  static R Call(JSContextRef ctx, A... args) {
    try {
      return Callback(ctx, args...);
    } catch (const std::exception& error) {
      Raise(ctx, QString::fromUtf8(error.what()), args...);
    } catch (...) {
      Raise(ctx, QStringLiteral("Unknown error"), args...);
    }
    return R{};
  }

  static void Raise(JSContextRef ctx, const QString& message, A... args) {
    JSValueRef* place = nullptr;
    ((place = ExceptionPlace(args) ? ExceptionPlace(args) : place), ...);
    if (place) *place = MakeError(ctx, message, E_FAIL);
  }
};

// --- The script face of a native object.

// A member's name for error messages: the script's text, converted only when needed.
struct TName {
  JSStringRef Script = nullptr;
  const QString* Text = nullptr;
  QString Get() const { return Text ? *Text : Script ? ToQString(Script) : QString(); }
};

using TMemberObjects = std::vector<std::pair<DISPID, JSObjectRef>>;

struct NativeRef {
  Engine* Owner;
  std::shared_ptr<const NativeTarget> Target;
  // The last name resolved by asking the object (a dynamic member, an object without table).
  QString LastName;
  TMemberInfo LastMember;
  // The names of the class's table this face was asked for, as the script wrote them:
  // comparing script strings needs neither a conversion nor the engine's lock.
  std::vector<std::pair<JSStringRef, TMemberInfo>> Names;
  // The member references handed out, protected until this face goes, so that a script that
  // calls T.Add in a loop gets one reference instead of one per call.
  TMemberObjects Members;

  IUnknown* Key;  // the object's identity in the engine's list of faces

  NativeRef(Engine& engine, IDispatch* o, IUnknown* key)
      : Owner(&engine), Target(std::make_shared<NativeTarget>(o)), Key(key) {
    ++gLiveWrappers;
  }
  ~NativeRef() {
    Owner->DropWrapper(Key, this);
    for (const auto& [name, member] : Names) JSStringRelease(name);
    // Called by the collector, which the engine may not be called from: the engine lets go of
    // the references when the script call ends.
    for (const auto& [id, object] : Members) Owner->DeferRelease(object);
    --gLiveWrappers;
  }

  bool Resolve(JSStringRef name, bool ensure, TMemberInfo* member) {
    for (const auto& [known, info] : Names) {
      if (JSStringIsEqual(known, name)) {
        *member = info;
        return true;
      }
    }
    if (Target->Class) {
      const std::u16string_view text(reinterpret_cast<const char16_t*>(JSStringGetCharactersPtr(name)),
                                     JSStringGetLength(name));
      if (const TMemberInfo* known = FindClassMember(*Target->Class, text)) {
        *member = *known;
        Names.emplace_back(JSStringRetain(name), *known);
        return true;
      }
    }
    const QString text = ToQString(name);
    if (LastMember.Id != DISPID_UNKNOWN && text == LastName) {
      *member = LastMember;
      return true;
    }
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(ResolveName(*Target, text, ensure, &id))) return false;
    LastName = text;
    LastMember = TMemberInfo{id};
    *member = LastMember;
    return true;
  }
};

struct MemberRef {
  Engine* Owner;
  std::shared_ptr<const NativeTarget> Target;
  TMemberInfo Member;
  QString Name;
  MemberRef(Engine& engine, std::shared_ptr<const NativeTarget> target, const TMemberInfo& member,
            QString name)
      : Owner(&engine), Target(std::move(target)), Member(member), Name(std::move(name)) {
    ++gLiveWrappers;
  }
  ~MemberRef() { --gLiveWrappers; }
};

JSClassRef NativeObjectClass();
JSClassRef MemberClass();

// The native data of a script object of ours; null once its engine's context is gone.
template <class Ref>
Ref* Bind(JSObjectRef object) {
  auto* ref = static_cast<Ref*>(JSObjectGetPrivate(object));
  return ref && ref->Owner->Context() ? ref : nullptr;
}

// Before a native call: true, with the exception to raise, when the script must stop (an
// interrupt, or its engine was closed under it).
bool Stopping(Engine& engine, JSValueRef* exception) {
  if (!engine.StopRequested()) return false;
  *exception = engine.StopScript();
  return true;
}

// After a native call: on failure the script exception and false. A script exception that the
// native code received from a callback and did not pass on is reported (Engine::HandleException).
// A stop requested while the native code ran stops the script now.
bool Settle(Engine& engine, HRESULT hr, const EXCEPINFO& info, const TName& name,
            JSValueRef* exception) {
  if (engine.StopRequested()) {
    engine.DropPendingException();
    *exception = engine.StopScript();
    return false;
  }
  if (FAILED(hr)) {
    *exception = FailureException(engine, hr, info, name.Get());
    return false;
  }
  engine.ReportPendingException();
  return true;
}

// The callable reference to a member; one per member of a face (kept in members).
JSObjectRef MemberObject(Engine& engine, TMemberObjects* members,
                         const std::shared_ptr<const NativeTarget>& target,
                         const TMemberInfo& member, const TName& name) {
  if (members) {
    for (const auto& [id, object] : *members) {
      if (id == member.Id) return object;
    }
  }
  JSObjectRef object = JSObjectMake(engine.Context(), MemberClass(),
                                    new MemberRef(engine, target, member, name.Get()));
  if (members) {
    engine.Protect(object);
    members->emplace_back(member.Id, object);
  }
  return object;
}

// Reads a member: its value, or a callable reference when it cannot be read without
// arguments (a method, an indexed property).
JSValueRef GetMember(Engine& engine, TMemberObjects* members,
                     const std::shared_ptr<const NativeTarget>& target, const TMemberInfo& member,
                     const TName& name, JSValueRef* exception) {
  if (Stopping(engine, exception)) return nullptr;
  if (member.Known && !member.Readable) return MemberObject(engine, members, target, member, name);
  Variant result;
  EXCEPINFO info;
  HRESULT hr = InvokeNative(*target, member.Id, DISPATCH_PROPERTYGET, nullptr, 0, &result, &info);
  if (!member.Known && (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_BADPARAMCOUNT ||
                        hr == DISP_E_PARAMNOTOPTIONAL)) {
    return MemberObject(engine, members, target, member, name);
  }
  return Settle(engine, hr, info, name, exception) ? ToJS(engine, result) : nullptr;
}

bool PutMember(Engine& engine, const NativeTarget& target, DISPID id, const TName& name,
               TArgs& args, JSValueRef* exception) {
  if (Stopping(engine, exception)) return false;
  EXCEPINFO info;
  HRESULT hr = InvokeNative(target, id, DISPATCH_PROPERTYPUT, args.Data(), args.Size(), nullptr, &info);
  return Settle(engine, hr, info, name, exception);
}

JSValueRef CallMember(Engine& engine, const NativeTarget& target, const TMemberInfo& member,
                      const TName& name, std::size_t argc, const JSValueRef argv[],
                      JSValueRef* exception) {
  if (Stopping(engine, exception)) return nullptr;
  TArgs args(argc);
  ArgsFromJS(engine, argc, argv, args);
  if (Stopping(engine, exception)) return nullptr;
  Variant result;
  EXCEPINFO info;
  const std::uint16_t flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  Variant* place = member.Known && !member.HasResult ? nullptr : &result;
  HRESULT hr = InvokeNative(target, member.Id, flags, args.Data(), argc, place, &info);
  if (hr == DISP_E_MEMBERNOTFOUND && place && !member.Known) {
    // A method without a result refuses a result place; whether the script uses the value is
    // unknown here, so ask again without one.
    hr = InvokeNative(target, member.Id, flags, args.Data(), argc, nullptr, &info);
  }
  return Settle(engine, hr, info, name, exception) ? ToJS(engine, result) : nullptr;
}

// No hasProperty callback: a read answers whether the name exists as well, and the engine
// would otherwise ask twice for every member it reads.
JSValueRef NativeGet(JSContextRef, JSObjectRef object, JSStringRef name, JSValueRef* exception) {
  NativeRef* ref = Bind<NativeRef>(object);
  if (!ref) return nullptr;
  TMemberInfo member;
  if (!ref->Resolve(name, false, &member)) return nullptr;
  return GetMember(*ref->Owner, &ref->Members, ref->Target, member, TName{name}, exception);
}

bool NativeSet(JSContextRef, JSObjectRef object, JSStringRef name, JSValueRef value,
               JSValueRef* exception) {
  NativeRef* ref = Bind<NativeRef>(object);
  if (!ref) return false;
  Engine& engine = *ref->Owner;
  TMemberInfo member;
  if (!ref->Resolve(name, true, &member)) {
    *exception = FailureException(engine, DISP_E_UNKNOWNNAME, EXCEPINFO(), ToQString(name));
    return true;
  }
  TArgs args(1);
  ArgsFromJS(engine, 1, &value, args);
  PutMember(engine, *ref->Target, member.Id, TName{name}, args, exception);
  return true;
}

JSValueRef NativeCall(JSContextRef ctx, JSObjectRef function, JSObjectRef, std::size_t argc,
                      const JSValueRef argv[], JSValueRef* exception) {
  NativeRef* ref = Bind<NativeRef>(function);
  if (!ref) return JSValueMakeUndefined(ctx);
  return CallMember(*ref->Owner, *ref->Target, TMemberInfo{DISPID_VALUE}, TName{}, argc, argv,
                    exception);
}

JSValueRef NativeConvert(JSContextRef, JSObjectRef object, JSType, JSValueRef* exception) {
  NativeRef* ref = Bind<NativeRef>(object);
  if (!ref) return nullptr;
  Engine& engine = *ref->Owner;
  if (Stopping(engine, exception)) return nullptr;
  Variant value;
  EXCEPINFO info;
  const HRESULT hr =
      InvokeNative(*ref->Target, DISPID_VALUE, DISPATCH_PROPERTYGET, nullptr, 0, &value, &info);
  if (engine.StopRequested()) {
    *exception = engine.StopScript();
    return nullptr;
  }
  engine.ReportPendingException();
  // Without a default value the object converts as an object would.
  if (FAILED(hr)) return nullptr;
  if (value.BaseType() == VT_DISPATCH || value.BaseType() == VT_UNKNOWN) return nullptr;
  return ToJS(engine, value);
}

void NativeFinalize(JSObjectRef object) { delete static_cast<NativeRef*>(JSObjectGetPrivate(object)); }

JSClassRef NativeObjectClass() {
  static JSClassRef cls = CreateClass("NativeObject", [](JSClassDefinition& d) {
    d.getProperty = Guarded<NativeGet>::Call;
    d.setProperty = Guarded<NativeSet>::Call;
    d.callAsFunction = Guarded<NativeCall>::Call;
    d.convertToType = Guarded<NativeConvert>::Call;
    d.finalize = NativeFinalize;
  });
  return cls;
}

// --- A member reference: obj.Method, obj.Item.

JSValueRef MemberCall(JSContextRef ctx, JSObjectRef function, JSObjectRef, std::size_t argc,
                      const JSValueRef argv[], JSValueRef* exception) {
  MemberRef* ref = Bind<MemberRef>(function);
  if (!ref) return JSValueMakeUndefined(ctx);
  return CallMember(*ref->Owner, *ref->Target, ref->Member, TName{nullptr, &ref->Name}, argc,
                    argv, exception);
}

// member[index] = value writes an indexed property.
bool MemberSet(JSContextRef, JSObjectRef object, JSStringRef name, JSValueRef value,
               JSValueRef* exception) {
  MemberRef* ref = Bind<MemberRef>(object);
  if (!ref) return false;
  QString index = ToQString(name);
  bool numeric = false;
  int number = index.toInt(&numeric);
  TArgs args(2);
  if (numeric && number >= 0 && QString::number(number) == index) {
    args[1] = Variant(static_cast<std::int32_t>(number));
  } else {
    args[1] = Variant(index);
  }
  ArgsFromJS(*ref->Owner, 1, &value, args);
  PutMember(*ref->Owner, *ref->Target, ref->Member.Id, TName{nullptr, &ref->Name}, args, exception);
  return true;
}

void MemberFinalize(JSObjectRef object) { delete static_cast<MemberRef*>(JSObjectGetPrivate(object)); }

JSClassRef MemberClass() {
  static JSClassRef cls = CreateClass("NativeMember", [](JSClassDefinition& d) {
    d.callAsFunction = Guarded<MemberCall>::Call;
    d.setProperty = Guarded<MemberSet>::Call;
    d.finalize = MemberFinalize;
  });
  return cls;
}

// --- The global object.

// What the bridge keeps of a global-members item: the object's target and the member
// references it handed out, released (when the script call ends) with the item.
struct TItemFace {
  Engine* Owner;
  std::shared_ptr<const NativeTarget> Target;
  TMemberObjects Members;
  TItemFace(Engine& engine, IDispatch* object)
      : Owner(&engine), Target(std::make_shared<const NativeTarget>(object)) {}
  ~TItemFace() {
    for (const auto& [id, member] : Members) Owner->DeferRelease(member);
  }
};

// The first global-members item that knows name, and the member.
std::shared_ptr<TItemFace> FindItemMember(JSContextRef ctx, JSObjectRef global, Engine& engine,
                                          JSStringRef name, TMemberInfo* member) {
  // Called for every global name the script reads: the common case must be quick.
  if (engine.FItemLookupSuspended || !engine.HasGlobalMembers()) return nullptr;
  // The script's own globals and the built-in ones come first.
  engine.FItemLookupSuspended = true;
  bool own = JSObjectHasProperty(ctx, global, name);
  engine.FItemLookupSuspended = false;
  if (own) return nullptr;
  const std::u16string_view text(reinterpret_cast<const char16_t*>(JSStringGetCharactersPtr(name)),
                                 JSStringGetLength(name));
  // The list may change while a native call runs: each step holds its own face.
  for (std::size_t i = 0; i < engine.Items().size(); ++i) {
    const Engine::Item& item = engine.Items()[i];
    if (!(item.Flags & kItemGlobalMembers)) continue;
    if (!item.Face) engine.SetItemFace(i, std::make_shared<TItemFace>(engine, item.Object.Get()));
    auto face = std::const_pointer_cast<TItemFace>(
        std::static_pointer_cast<const TItemFace>(engine.Items()[i].Face));
    if (face->Target->Class) {
      if (const TMemberInfo* known = FindClassMember(*face->Target->Class, text)) {
        *member = *known;
        return face;
      }
    }
    DISPID id = DISPID_UNKNOWN;
    if (SUCCEEDED(ResolveName(*face->Target, ToQString(name), false, &id))) {
      *member = TMemberInfo{id};
      return face;
    }
  }
  return nullptr;
}

// The engine asks whether a global name exists, then reads it: the answer to the question is
// kept for the read that follows, which would otherwise look the name up again.
struct TLastGlobal {
  Engine* Owner = nullptr;
  JSStringRef Name = nullptr;
  std::shared_ptr<TItemFace> Face;
  TMemberInfo Member;

  void Set(Engine* engine, JSStringRef name, std::shared_ptr<TItemFace> face,
           const TMemberInfo& member) {
    Clear();
    Owner = engine;
    Name = JSStringRetain(name);
    Face = std::move(face);
    Member = member;
  }
  // The kept answer for name, taken out; null when it is about another name or engine.
  std::shared_ptr<TItemFace> Take(Engine* engine, JSStringRef name, TMemberInfo* member) {
    std::shared_ptr<TItemFace> face;
    if (Owner == engine && Name && JSStringIsEqual(Name, name)) {
      face = std::move(Face);
      *member = Member;
    }
    Clear();
    return face;
  }
  void Clear() {
    if (Name) JSStringRelease(Name);
    Name = nullptr;
    Owner = nullptr;
    Face.reset();
  }
  ~TLastGlobal() { Clear(); }
};

thread_local TLastGlobal gLastGlobal;

bool GlobalHas(JSContextRef ctx, JSObjectRef object, JSStringRef name) {
  Engine* engine = EngineOfGlobal(object);
  if (!engine) return false;
  TMemberInfo member;
  std::shared_ptr<TItemFace> face = FindItemMember(ctx, object, *engine, name, &member);
  if (!face) return false;
  gLastGlobal.Set(engine, name, std::move(face), member);
  return true;
}

JSValueRef GlobalGet(JSContextRef ctx, JSObjectRef object, JSStringRef name,
                     JSValueRef* exception) {
  Engine* engine = EngineOfGlobal(object);
  if (!engine) return nullptr;
  TMemberInfo member;
  std::shared_ptr<TItemFace> face = gLastGlobal.Take(engine, name, &member);
  if (!face) face = FindItemMember(ctx, object, *engine, name, &member);
  if (!face) return nullptr;
  return GetMember(*engine, &face->Members, face->Target, member, TName{name}, exception);
}

bool GlobalSet(JSContextRef ctx, JSObjectRef object, JSStringRef name, JSValueRef value,
               JSValueRef* exception) {
  Engine* engine = EngineOfGlobal(object);
  if (!engine) return false;
  TMemberInfo member;
  auto face = FindItemMember(ctx, object, *engine, name, &member);
  if (!face) return false;
  TArgs args(1);
  ArgsFromJS(*engine, 1, &value, args);
  PutMember(*engine, *face->Target, member.Id, TName{name}, args, exception);
  return true;
}

// The array's elements, copied; or, for an array that cannot be copied (one that contains
// itself, nests too deep or is too long for what is left of the conversion's budget), the
// array itself as a dispatch object.
Variant ArrayFromJS(TConversion& conversion, JSObjectRef array, int depth) {
  Engine& engine = conversion.Owner;
  JSContextRef ctx = engine.Context();
  double length = JSValueToNumber(ctx, GetProperty(ctx, array, "length"), nullptr);
  if (!std::isfinite(length) || length < 0) length = 0;
  const bool cycle =
      std::find(conversion.Path.begin(), conversion.Path.end(), array) != conversion.Path.end();
  if (cycle || depth >= kMaxArrayDepth || length > static_cast<double>(conversion.Budget)) {
    return Variant(ComPtr<IDispatch>(new JSDispatch(engine.shared_from_this(), array)));
  }
  const auto count = static_cast<std::size_t>(length);
  conversion.Budget -= count;
  conversion.Path.push_back(array);
  std::vector<Variant> elements;
  elements.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    // A getter may run for long, and the elements may be many: an interrupt ends the copy (the
    // caller stops the script before the native call).
    if (i % kStopCheckInterval == 0 && engine.StopRequested()) break;
    JSValueRef element = JSObjectGetPropertyAtIndex(ctx, array, static_cast<unsigned>(i), nullptr);
    elements.push_back(element ? FromJSAt(conversion, element, depth + 1) : Variant());
  }
  conversion.Path.pop_back();
  return Variant::FromArray(std::move(elements));
}

// A BigInt as a 64-bit integer when it fits, else as its decimal text.
Variant BigIntFromJS(JSContextRef ctx, JSValueRef value) {
  if (JSValueCompareInt64(ctx, value, std::numeric_limits<std::int64_t>::min(), nullptr) !=
          kJSRelationConditionLessThan &&
      JSValueCompareInt64(ctx, value, std::numeric_limits<std::int64_t>::max(), nullptr) !=
          kJSRelationConditionGreaterThan) {
    return Variant(std::int64_t{JSValueToInt64(ctx, value, nullptr)});
  }
  return Variant(ValueToQString(ctx, value));
}

Variant FromJSAt(TConversion& conversion, JSValueRef value, int depth) {
  Engine& engine = conversion.Owner;
  JSContextRef ctx = engine.Context();
  if (!value) return Variant();
  switch (JSValueGetType(ctx, value)) {
    case kJSTypeUndefined:
      return Variant();
    case kJSTypeNull:
      return Variant::Null();
    case kJSTypeBoolean:
      return Variant(JSValueToBoolean(ctx, value));
    case kJSTypeNumber: {
      double number = JSValueToNumber(ctx, value, nullptr);
      if (number >= std::numeric_limits<std::int32_t>::min() &&
          number <= std::numeric_limits<std::int32_t>::max() && std::trunc(number) == number &&
          !(number == 0 && std::signbit(number))) {
        return Variant(static_cast<std::int32_t>(number));
      }
      return Variant(number);
    }
    case kJSTypeString:
      return Variant(ValueToQString(ctx, value));
    case kJSTypeBigInt:
      return BigIntFromJS(ctx, value);
    default:
      break;
  }
  // Symbols have no counterpart; they travel as their text.
  if (!JSValueIsObject(ctx, value)) return Variant(ValueToQString(ctx, value));
  JSObjectRef object = JSValueToObject(ctx, value, nullptr);
  if (IDispatch* native = UnwrapNative(ctx, value)) return Variant::FromDispatch(native);
  if (JSValueIsDate(ctx, value)) {
    double ms = JSValueToNumber(ctx, value, nullptr);
    if (!std::isfinite(ms)) return Variant::Null();
    return Variant(DateFromMs(ms));
  }
  JSTypedArrayType typed = JSValueGetTypedArrayType(ctx, value, nullptr);
  if (typed == kJSTypedArrayTypeUint8Array || typed == kJSTypedArrayTypeUint8ClampedArray) {
    auto* base = static_cast<const char*>(JSObjectGetTypedArrayBytesPtr(ctx, object, nullptr));
    std::size_t offset = JSObjectGetTypedArrayByteOffset(ctx, object, nullptr);
    std::size_t length = JSObjectGetTypedArrayByteLength(ctx, object, nullptr);
    return Variant::FromBytes(base ? QByteArray(base + offset, static_cast<qsizetype>(length))
                                   : QByteArray());
  }
  if (typed == kJSTypedArrayTypeArrayBuffer) {
    auto* base = static_cast<const char*>(JSObjectGetArrayBufferBytesPtr(ctx, object, nullptr));
    std::size_t length = JSObjectGetArrayBufferByteLength(ctx, object, nullptr);
    return Variant::FromBytes(base ? QByteArray(base, static_cast<qsizetype>(length))
                                   : QByteArray());
  }
  if (JSValueIsArray(ctx, value)) return ArrayFromJS(conversion, object, depth);
  ComPtr<IDispatch> dispatch(new JSDispatch(engine.shared_from_this(), object));
  return Variant(std::move(dispatch));
}

}  // namespace

JSClassRef GlobalClass() {
  static JSClassRef cls = CreateClass("global", [](JSClassDefinition& d) {
    d.hasProperty = Guarded<GlobalHas>::Call;
    d.getProperty = Guarded<GlobalGet>::Call;
    d.setProperty = Guarded<GlobalSet>::Call;
  });
  return cls;
}

JSObjectRef WrapNative(Engine& engine, IDispatch* object) {
  // One face per object, so that scripts may compare objects; the engine does not keep the
  // face alive, so an object nobody in the script holds is released as before.
  IUnknown* key = object;
  ComPtr<IUnknown> identity = ComPtr<IDispatch>(object).As<IUnknown>();
  if (identity) key = identity.Get();
  if (JSObjectRef existing = engine.FindWrapper(key)) return existing;
  auto* face = new NativeRef(engine, object, key);
  JSObjectRef wrapper = JSObjectMake(engine.Context(), NativeObjectClass(), face);
  engine.AddWrapper(key, wrapper, face);
  return wrapper;
}

IDispatch* UnwrapNative(JSContextRef ctx, JSValueRef value) {
  if (!JSValueIsObjectOfClass(ctx, value, NativeObjectClass())) return nullptr;
  auto* ref = static_cast<NativeRef*>(JSObjectGetPrivate(JSValueToObject(ctx, value, nullptr)));
  return ref ? ref->Target->Object.Get() : nullptr;
}

std::int64_t LiveNativeWrappers() { return gLiveWrappers.load(); }

void ForgetEngine(Engine& engine) {
  if (gLastGlobal.Owner == &engine) gLastGlobal.Clear();
}

Variant FromJS(Engine& engine, JSValueRef value) {
  TConversion conversion(engine);
  return FromJSAt(conversion, value, 0);
}

JSValueRef ToJS(Engine& engine, const Variant& input) {
  JSContextRef ctx = engine.Context();
  const Variant& value = input.IsByRef() ? *input.RefTarget() : input;
  if (value.IsArray()) {
    if (value.BaseType() == VT_UI1) {
      const QByteArray& bytes = value.Bytes();
      JSObjectRef array = JSObjectMakeTypedArray(ctx, kJSTypedArrayTypeUint8Array,
                                                 static_cast<std::size_t>(bytes.size()), nullptr);
      if (!array) return JSValueMakeNull(ctx);
      auto* base = static_cast<char*>(JSObjectGetTypedArrayBytesPtr(ctx, array, nullptr));
      std::size_t offset = JSObjectGetTypedArrayByteOffset(ctx, array, nullptr);
      if (base && !bytes.isEmpty()) std::memcpy(base + offset, bytes.constData(), bytes.size());
      return array;
    }
    const std::vector<Variant>& elements = value.Elements();
    std::vector<JSValueRef> converted;
    converted.reserve(elements.size());
    for (const Variant& element : elements) converted.push_back(ToJS(engine, element));
    JSObjectRef array = JSObjectMakeArray(ctx, converted.size(), converted.data(), nullptr);
    return array ? static_cast<JSValueRef>(array) : JSValueMakeNull(ctx);
  }
  switch (value.BaseType()) {
    case VT_EMPTY:
    case VT_ERROR:
      return JSValueMakeUndefined(ctx);
    case VT_NULL:
      return JSValueMakeNull(ctx);
    case VT_I8: {
      const std::int64_t integer = value.IntValue();
      if (integer > kMaxExactInteger || integer < -kMaxExactInteger) {
        if (JSValueRef big = JSBigIntCreateWithInt64(ctx, integer, nullptr)) return big;
      }
      return JSValueMakeNumber(ctx, static_cast<double>(integer));
    }
    case VT_I2:
    case VT_I4:
    case VT_UI1:
      return JSValueMakeNumber(ctx, static_cast<double>(value.IntValue()));
    case VT_R4:
    case VT_R8:
      return JSValueMakeNumber(ctx, value.RealValue());
    case VT_CY:
      return JSValueMakeNumber(ctx, static_cast<double>(value.CurrencyValue().Scaled) / 10000.0);
    case VT_BOOL:
      return JSValueMakeBoolean(ctx, value.BoolValue());
    case VT_BSTR:
      return JSValueMakeString(ctx, JSString(value.StringValue()));
    case VT_BYTESTR: {
      const std::string& bytes = value.ByteStringValue();
      return JSValueMakeString(
          ctx, JSString(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))));
    }
    case VT_DATE: {
      JSValueRef ms = JSValueMakeNumber(ctx, MsFromDate(value.DateValue()));
      JSObjectRef date = JSObjectMakeDate(ctx, 1, &ms, nullptr);
      return date ? static_cast<JSValueRef>(date) : JSValueMakeNull(ctx);
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      IUnknown* unknown = value.UnknownValue();
      if (!unknown) return JSValueMakeNull(ctx);
      void* out = nullptr;
      if (SUCCEEDED(unknown->QueryInterface(JSDispatch::kIID, &out)) && out) {
        ComPtr<JSDispatch> script = ComPtr<JSDispatch>::Adopt(static_cast<JSDispatch*>(out));
        if (JSObjectRef object = script->ObjectFor(engine)) return object;
      }
      ComPtr<IDispatch> dispatch = ComPtr<IUnknown>(unknown).As<IDispatch>();
      if (!dispatch) return JSValueMakeNull(ctx);
      return WrapNative(engine, dispatch.Get());
    }
    default:
      return JSValueMakeUndefined(ctx);
  }
}

}  // namespace pw::js
