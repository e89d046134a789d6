// Every class scripts can create by name: made through the registry, with a sound member table
// whose every name resolves to its DispID from a script's point of view.
#include <gtest/gtest.h>

#include <set>

#include "TestObjects.h"
#include "scripting/objects/ScriptObjects.h"

namespace pw::tests {
namespace {

TEST(ScriptObjects, EveryRegisteredClassIsCreatedWithASoundMemberTable) {
  RegisterScriptObjects();
  RegisterScriptObjects();  // a second call registers nothing twice
  const QStringList names = ScriptObjectNames();
  const QStringList registered = RegisteredAutoObjects();
  for (const QString& name : names) EXPECT_EQ(registered.count(name), 1) << name.toStdString();

  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    ComPtr<IDispatch> object = CreateAutoObject(name, nullptr);
    ASSERT_TRUE(object);
    ComPtr<IAutoObjectRef> ref = object.As<IAutoObjectRef>();
    ASSERT_TRUE(ref);
    TAutoTarget* target = ref->GetAutoObject();
    ASSERT_NE(target, nullptr);
    const TAutoClass& table = target->AutoClass();
    EXPECT_TRUE(table.Problems().empty()) << ::testing::PrintToString(table.Problems());

    ComPtr<IDispatchEx> ex = object.As<IDispatchEx>();
    std::set<std::string> seen;
    for (const TAutoClass* cls = &table; cls; cls = cls->Parent()) {
      for (const TAutoMember& member : cls->OwnMembers()) {
        // A subclass may override an ancestor's entry; the first one found is the one called.
        if (!seen.insert(member.Name).second) continue;
        const QString memberName = QString::fromStdString(member.Name);
        EXPECT_EQ(IdOf(object.Get(), memberName), member.DispID) << member.Name;
        EXPECT_EQ(IdOf(object.Get(), memberName.toLower()), member.DispID) << member.Name;
        if (ex) {
          DISPID id = DISPID_UNKNOWN;
          EXPECT_EQ(ex->GetDispID(memberName.toUpper(), 0, &id), S_OK) << member.Name;
          EXPECT_EQ(id, member.DispID) << member.Name;
        }
      }
    }
  }
}

}  // namespace
}  // namespace pw::tests
