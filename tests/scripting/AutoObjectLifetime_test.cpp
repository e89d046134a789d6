// Reference counting and object lifetime: nothing leaks, nothing is freed early.
#include <gtest/gtest.h>

#include <thread>

#include "TestObjects.h"
#include "scripting/AutoObject.h"

namespace pw::testing {
namespace {

TEST(AutoObjectLifetime, BornWithCountZeroAndFreedAtZero) {
  const std::int64_t before = TCustomAutoObject::LiveObjects();
  auto* raw = new TTestObject;
  EXPECT_EQ(raw->RefCount(), 0u);
  EXPECT_EQ(TCustomAutoObject::LiveObjects(), before + 1);
  {
    ComPtr<TTestObject> first(raw);
    ComPtr<IDispatch> second = first;
    EXPECT_EQ(raw->RefCount(), 2u);
    // Variants hold counted references, arrays of them too.
    Variant value = Variant::FromDispatch(raw);
    Variant array = Variant::FromArray({value, value});
    EXPECT_EQ(raw->RefCount(), 5u);
  }
  EXPECT_EQ(TCustomAutoObject::LiveObjects(), before);
}

TEST(AutoObjectLifetime, AThousandCyclesLeaveNoObjectBehind) {
  const std::int64_t before = TCustomAutoObject::LiveObjects();
  for (int i = 0; i < 1000; ++i) {
    ComPtr<TTestObject> object = MakeAutoObject<TTestObject>();
    ComPtr<TTestBag> bag = MakeAutoObject<TTestBag>();
    object->SetDynamicProvider(bag.Get());
    DISPID id = 0;
    ASSERT_EQ(object->GetDispID(QStringLiteral("self"), fdexNameEnsure, &id), S_OK);
    // A dynamic property holding another object, and a result holding an object.
    Args put({}, {{DISPID_PROPERTYPUT, Variant::FromDispatch(MakeAutoObject<TTestChild>().Get())}});
    ASSERT_EQ(object->InvokeEx(id, 0, DISPATCH_PROPERTYPUT, put.Get(), nullptr, nullptr, nullptr), S_OK);
    Variant passed;
    ASSERT_EQ(Call(object.Get(), 13, DISPATCH_METHOD, {Variant::FromDispatch(bag.Get())}, &passed), S_OK);
    EXCEPINFO info;
    ASSERT_EQ(Call(object.Get(), 5, DISPATCH_METHOD, {Variant(QStringLiteral("x"))}, nullptr, &info),
              DISP_E_EXCEPTION);
    TTestComponent component;
    ComPtr<IDispatch> face = component.DispatchRef();
    ASSERT_EQ(Call(face.Get(), 1, DISPATCH_METHOD, {}, nullptr), S_OK);
    ASSERT_TRUE(face.As<IAutoObjectRef>());
  }
  EXPECT_EQ(TCustomAutoObject::LiveObjects(), before);
}

TEST(AutoObjectLifetime, CountsAreSafeAcrossThreads) {
  ComPtr<TTestObject> object = MakeAutoObject<TTestObject>();
  auto churn = [&] {
    for (int i = 0; i < 100000; ++i) ComPtr<IDispatch> extra(object.Get());
  };
  std::thread a(churn), b(churn);
  a.join();
  b.join();
  EXPECT_EQ(object->RefCount(), 1u);
}

TEST(ComPtr, AdoptDetachAndOutParameters) {
  ComPtr<TTestObject> object = MakeAutoObject<TTestObject>();
  ComPtr<IDispatch> viaQuery;
  ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(viaQuery.ReleaseAndGetAddressOf())), S_OK);
  EXPECT_EQ(object->RefCount(), 2u);
  ComPtr<IDispatch> adopted = ComPtr<IDispatch>::Adopt(viaQuery.Detach());
  EXPECT_FALSE(viaQuery);
  EXPECT_EQ(object->RefCount(), 2u);
  adopted = nullptr;
  EXPECT_EQ(object->RefCount(), 1u);
  ComPtr<TTestObject> moved = std::move(object);
  EXPECT_FALSE(object);
  EXPECT_EQ(moved->RefCount(), 1u);
}

}  // namespace
}  // namespace pw::testing
