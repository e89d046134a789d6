// Dynamic members through a provider, adapters on components, CallDispatch and the registry.
#include <gtest/gtest.h>

#include "TestObjects.h"
#include "scripting/AutoObject.h"
#include "scripting/ThreadHandOver.h"

namespace pw::tests {
namespace {

HRESULT Put(IDispatchEx* object, DISPID id, const Variant& value) {
  return object->InvokeEx(id, 0, DISPATCH_PROPERTYPUT, Args({}, {{DISPID_PROPERTYPUT, value}}).Get(),
                          nullptr, nullptr, nullptr);
}

HRESULT Get(IDispatchEx* object, DISPID id, Variant* result) {
  return object->InvokeEx(id, 0, DISPATCH_PROPERTYGET, Args().Get(), result, nullptr, nullptr);
}

class DynamicMembersTest : public ::testing::Test {
 protected:
  void SetUp() override { FObject->SetDynamicProvider(FBag.Get()); }

  ComPtr<TTestObject> FObject = MakeAutoObject<TTestObject>();
  ComPtr<TTestBag> FBag = MakeAutoObject<TTestBag>();
};

TEST_F(DynamicMembersTest, AssigningCreatesAndReadingFindsWithoutRegardToCase) {
  DISPID id = 0;
  // Reading a name nobody knows fails and creates nothing.
  EXPECT_EQ(FObject->GetDispID(QStringLiteral("Color"), 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  EXPECT_TRUE(FBag->FNames.empty());

  EXPECT_EQ(FObject->GetDispID(QStringLiteral("Color"), fdexNameEnsure, &id), S_OK);
  EXPECT_EQ(id, 6000);
  EXPECT_EQ(Put(FObject.Get(), id, Variant(QStringLiteral("red"))), S_OK);
  EXPECT_EQ(FObject->GetDispID(QStringLiteral("color"), 0, &id), S_OK);
  EXPECT_EQ(id, 6000);
  Variant value;
  EXPECT_EQ(Get(FObject.Get(), id, &value), S_OK);
  EXPECT_EQ(value, Variant(QStringLiteral("red")));
  EXPECT_EQ(FObject->GetDispID(QStringLiteral("Size"), fdexNameEnsure, &id), S_OK);
  EXPECT_EQ(id, 6001);

  // Table members win; GetIDsOfNames never consults the provider.
  EXPECT_EQ(FObject->GetDispID(QStringLiteral("NAME"), fdexNameEnsure, &id), S_OK);
  EXPECT_EQ(id, 4);
  EXPECT_EQ(FBag->FNames.size(), 2u);
  EXPECT_EQ(IdOf(FObject.Get(), QStringLiteral("Color")), DISPID_UNKNOWN);
  // The provider's own members stay reachable on it.
  EXPECT_EQ(Call(FBag.Get(), 1, DISPATCH_PROPERTYGET, {}, &value), S_OK);
  EXPECT_EQ(value, Variant(2));
}

TEST_F(DynamicMembersTest, WithoutProviderDynamicMembersAreNotImplemented) {
  FObject->SetDynamicProvider(nullptr);
  DISPID id = 0;
  EXPECT_EQ(FObject->GetDispID(QStringLiteral("Color"), fdexNameEnsure, &id), DISP_E_UNKNOWNNAME);
  Variant value;
  EXPECT_EQ(Get(FObject.Get(), 6000, &value), E_NOTIMPL);
}

TEST_F(DynamicMembersTest, ProviderLinksAreCounted) {
  EXPECT_EQ(FBag->RefCount(), 2u);
  ComPtr<TTestBag> second = MakeAutoObject<TTestBag>();
  FObject->SetDynamicProvider(second.Get());
  EXPECT_EQ(FBag->RefCount(), 1u);
  EXPECT_EQ(second->RefCount(), 2u);
  EXPECT_EQ(FObject->DynamicProvider().Get(), static_cast<ICustomDispatch*>(second.Get()));
  // An object cannot be its own provider.
  second->SetDynamicProvider(second.Get());
  EXPECT_FALSE(second->DynamicProvider());
  EXPECT_EQ(second->RefCount(), 2u);
}

TEST(CustomDispatchInterface, ForwardsToTheDynamicVirtuals) {
  ComPtr<TTestBag> bag = MakeAutoObject<TTestBag>();
  ComPtr<ICustomDispatch> custom = bag.As<ICustomDispatch>();
  ASSERT_TRUE(custom);
  EXPECT_EQ(custom->GetCustomDispID(QStringLiteral("x"), false), -1);
  EXPECT_EQ(custom->GetCustomDispID(QStringLiteral("x"), true), 0);
  EXPECT_EQ(custom->InvokeCustom(0, 0, DISPATCH_PROPERTYPUT, Args({Variant(5)}).Get(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(bag->FValues[0], Variant(5));
}

// ---------------------------------------------------------------------------------------------

TEST(AutoComponent, DispatchesThroughItsAdapter) {
  TTestComponent component;
  IDispatchEx* face = component.Dispatch();
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(IdOf(face, QStringLiteral("bump")), 1);
  Variant result;
  EXPECT_EQ(Call(face, 1, DISPATCH_METHOD, {}, &result), S_OK);
  EXPECT_EQ(result, Variant(1));
  ComPtr<IAutoObjectRef> ref = ComPtr<IDispatch>(face).As<IAutoObjectRef>();
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->GetAutoObject(), static_cast<TAutoTarget*>(&component));
  // Exceptions name the adapter.
  EXCEPINFO info;
  EXPECT_EQ(Call(face, 2, DISPATCH_METHOD, {}, nullptr, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrSource, QStringLiteral("TAutoController"));
  EXPECT_EQ(info.bstrDescription, QStringLiteral("component failed"));
  // Dynamic members live on the adapter.
  ComPtr<TTestBag> bag = MakeAutoObject<TTestBag>();
  component.SetDynamicProvider(bag.Get());
  DISPID id = 0;
  EXPECT_EQ(face->GetDispID(QStringLiteral("note"), fdexNameEnsure, &id), S_OK);
  EXPECT_EQ(id, 6000);
  EXPECT_EQ(Put(face, id, Variant(QStringLiteral("kept"))), S_OK);
  EXPECT_EQ(bag->FValues[0], Variant(QStringLiteral("kept")));
}

TEST(AutoComponent, AdapterOutlivingItsComponentFailsCleanlyAndIsFreedWithTheLastHolder) {
  const std::int64_t before = TCustomAutoObject::LiveObjects();
  ComPtr<IDispatch> held;
  {
    TTestComponent component;
    held = component.DispatchRef();
    EXPECT_EQ(component.Controller()->RefCount(), 2u);
  }
  EXPECT_EQ(TCustomAutoObject::LiveObjects(), before + 1);
  Variant result;
  EXCEPINFO info;
  EXPECT_EQ(Call(held.Get(), 1, DISPATCH_METHOD, {}, &result, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(info.bstrSource, QStringLiteral("TAutoController"));
  EXPECT_FALSE(info.bstrDescription.isEmpty());
  EXPECT_EQ(IdOf(held.Get(), QStringLiteral("Bump")), DISPID_UNKNOWN);
  ComPtr<IAutoObjectRef> ref = held.As<IAutoObjectRef>();
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->GetAutoObject(), nullptr);
  EXPECT_EQ(held->OwnerThread(), nullptr);
  ref.Reset();
  held.Reset();
  EXPECT_EQ(TCustomAutoObject::LiveObjects(), before);
}

TEST(AutoComponent, CallsBelongToTheCreatingThread) {
  TTestComponent component;
  ThreadRef owner = component.Dispatch()->OwnerThread();
  ASSERT_TRUE(owner);
  EXPECT_EQ(owner, CurrentThreadRef());
  // Free-standing script objects may be called on any thread.
  EXPECT_EQ(MakeAutoObject<TTestObject>()->OwnerThread(), nullptr);
}

// ---------------------------------------------------------------------------------------------

// Records the last Invoke.
class TRecorder : public TCustomAutoObject {
 public:
  DISPID FId = 0;
  std::uint16_t FFlags = 0;
  std::vector<Variant> FVector;
  std::vector<DISPID> FNamed;
  bool FResultGiven = false;
  bool FExcepInfoGiven = true;

  HRESULT Invoke(DISPID calledId, const IID&, LCID, std::uint16_t calledFlags, DISPPARAMS* params,
                 Variant* result, EXCEPINFO* excepInfo, std::uint32_t*) override {
    FId = calledId;
    FFlags = calledFlags;
    FVector.assign(params->rgvarg, params->rgvarg + params->cArgs);
    FNamed.assign(params->rgdispidNamedArgs, params->rgdispidNamedArgs + params->cNamedArgs);
    FResultGiven = result != nullptr;
    FExcepInfoGiven = excepInfo != nullptr;
    if (result) *result = Variant(QStringLiteral("done"));
    return S_OK;
  }
};

TEST(CallDispatch, PassesArgumentsLastFirstAndThisAsNamedArgument) {
  ComPtr<TRecorder> recorder = MakeAutoObject<TRecorder>();
  ComPtr<TTestObject> self = MakeAutoObject<TTestObject>();
  const Variant args[] = {Variant(1), Variant(QStringLiteral("two")), Variant(3.0)};
  Variant result;
  EXPECT_EQ(CallDispatch(recorder.Get(), 7, args, 3, self.Get(), &result), S_OK);
  EXPECT_EQ(result, Variant(QStringLiteral("done")));
  EXPECT_EQ(recorder->FId, 7);
  EXPECT_EQ(recorder->FFlags, DISPATCH_METHOD);
  EXPECT_EQ(recorder->FVector, (std::vector<Variant>{Variant::FromDispatch(self.Get()), Variant(3.0),
                                                    Variant(QStringLiteral("two")), Variant(1)}));
  EXPECT_EQ(recorder->FNamed, std::vector<DISPID>{DISPID_THIS});
  EXPECT_FALSE(recorder->FExcepInfoGiven);

  EXPECT_EQ(CallDispatch(recorder.Get(), DISPID_VALUE, nullptr, 0, nullptr, nullptr), S_OK);
  EXPECT_TRUE(recorder->FVector.empty());
  EXPECT_TRUE(recorder->FNamed.empty());
  EXPECT_FALSE(recorder->FResultGiven);

  // GetDefaultValue reads the value member without arguments.
  EXPECT_EQ(GetDefaultValue(recorder.Get(), &result), S_OK);
  EXPECT_EQ(recorder->FId, DISPID_VALUE);
  EXPECT_EQ(recorder->FFlags, DISPATCH_PROPERTYGET);
  EXPECT_TRUE(recorder->FVector.empty());

  EXPECT_EQ(CallDispatch(nullptr, 0, nullptr, 0, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(GetDefaultValue(nullptr, &result), E_POINTER);
}

TEST(CallDispatch, ReachesNativeMethodsWithThis) {
  ComPtr<TTestObject> object = MakeAutoObject<TTestObject>();
  const Variant args[] = {Variant(40), Variant(2)};
  Variant result;
  EXPECT_EQ(CallDispatch(object.Get(), 2, args, 2, object.Get(), &result), S_OK);
  EXPECT_EQ(result, Variant(42));
}

// ---------------------------------------------------------------------------------------------

TEST(AutoObjectRegistry, FindsNamesWithoutRegardToCaseAndKeepsTheFirst) {
  int created = 0;
  RegisterAutoObject(QStringLiteral("Test.Widget"), [&](TScriptRuntime* runtime) -> ComPtr<IDispatch> {
    EXPECT_EQ(runtime, nullptr);
    ++created;
    return MakeAutoObject<TTestObject>();
  });
  RegisterAutoObject(QStringLiteral("test.WIDGET"), [](TScriptRuntime*) -> ComPtr<IDispatch> {
    return MakeAutoObject<TTestBag>();
  });
  EXPECT_TRUE(FindAutoObject(QStringLiteral("test.widget")));
  ComPtr<IDispatch> made = CreateAutoObject(QStringLiteral("TEST.WIDGET"), nullptr);
  ASSERT_TRUE(made);
  EXPECT_EQ(created, 1);
  EXPECT_EQ(IdOf(made.Get(), QStringLiteral("GetHWID")), 3);
  EXPECT_TRUE(RegisteredAutoObjects().contains(QStringLiteral("Test.Widget")));
}

TEST(AutoObjectRegistry, UnknownNamesAndFailingFactoriesGiveNull) {
  EXPECT_FALSE(FindAutoObject(QStringLiteral("Test.Nothing")));
  EXPECT_FALSE(CreateAutoObject(QStringLiteral("Test.Nothing"), nullptr));
  RegisterAutoObject(QStringLiteral("Test.Throws"), [](TScriptRuntime*) -> ComPtr<IDispatch> {
    throw std::runtime_error("no");
  });
  EXPECT_FALSE(CreateAutoObject(QStringLiteral("Test.Throws"), nullptr));
  // Empty names and factories are not registered.
  const auto before = RegisteredAutoObjects().size();
  RegisterAutoObject(QString(), [](TScriptRuntime*) { return ComPtr<IDispatch>(); });
  RegisterAutoObject(QStringLiteral("Test.Empty"), TAutoFactory());
  EXPECT_EQ(RegisteredAutoObjects().size(), before);
}

}  // namespace
}  // namespace pw::tests
