// The module's own scripts: compiled on load, shown as "Script Error" through the host, and a
// failed build that still writes its pages.
#include "runtime/RuntimeFixture.h"
#include "support/ModuleFixture.h"

namespace pw::tests {
namespace {

class ModuleScriptsTest : public ModuleTest {
 protected:
  void SetUp() override {
    RuntimeApp();
    ModuleTest::SetUp();
    FModule->EnableScripts();
    connect = QObject::connect(FModule.get(), &TModule::TasksChanged, [this] { ++tasksChanged; });
  }
  QMetaObject::Connection connect;
  int tasksChanged = 0;
};

TEST_F(ModuleScriptsTest, AScriptErrorIsShownAndFailsTheBuildWhichStillWrites) {
  platform::WriteWholeFile(Path("site/template/index.html"), "{$content}");
  platform::WriteWholeFile(Path("site/template/template.js"),
                           "AddTask('Tidy', function () {});\nAddPreBuild(function () { nosuch(); });\n");
  ASSERT_TRUE(FModule->LoadProject(WriteProject("site/site.pwproj", "[index.html]\nHi\n")));
  EXPECT_EQ(FModule->TaskCaptions(), QStringList{"Tidy"});
  EXPECT_GE(tasksChanged, 1);
  EXPECT_FALSE(FModule->BuildSite());
  ASSERT_EQ(FHost.Messages.size(), 1u);
  EXPECT_EQ(FHost.Messages[0].Title, "Script Error");
  EXPECT_TRUE(FHost.Messages[0].Text.startsWith("Script Line: 2 Pos: ")) << FHost.Messages[0].Text.toStdString();
  EXPECT_EQ(ReadOr(Path("site/html/index.html")), "Hi");
  EXPECT_TRUE(FModule->RunTask(0));
  EXPECT_FALSE(FModule->RunPreviewScript());
}

TEST_F(ModuleScriptsTest, ChangingTheUsedUnitsCompilesAgain) {
  platform::WriteWholeFile(Path("site/template/tasks.js"), "AddTask('From unit', function () {});\n");
  ASSERT_TRUE(FModule->LoadProject(WriteProject("site/site.pwproj", "[index.html]\nHi\n")));
  EXPECT_TRUE(FModule->TaskCaptions().isEmpty());
  FEditor.SetText("$uses tasks\n[index.html]\nHi\n");
  FModule->RefreshPageList(false);
  EXPECT_EQ(FModule->TaskCaptions(), QStringList{"From unit"});
}

}  // namespace
}  // namespace pw::tests
