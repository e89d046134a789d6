#include "generator/Generator.h"
#include "support/EditingCases.h"
#include "support/ModuleFixture.h"
#include "support/QStringPrinter.h"

namespace pw::tests {
namespace {

TEST(ModuleEditingTest, CommandsWriteMarkupAsOneUndoStep) {
  ExpectEditingCases<TMemoryTextEditor>();
}

class ModuleImageTest : public ModuleTest {
 protected:
  // Opens a project in FDir/site and returns the folder its build writes to.
  QString OpenSite() {
    const QString project = WriteProject("site/site.pwproj", "$title t\n");
    EXPECT_TRUE(FModule->LoadProject(project));
    return FModule->BasePath() + "html/";
  }

  QString Insert(const QString& text, TTextPos anchor, TTextPos caret, const QString& chosen) {
    FEditor.SetText(text);
    FEditor.SetSelection(anchor, caret);
    FHost.OpenChoices.push_back(chosen);
    FModule->CmInsertImage();
    return FEditor.Text();
  }
};

TEST_F(ModuleImageTest, PicturesAreInsertedRelativeToTheOutputFolder) {
  const QString output = OpenSite();
  ASSERT_TRUE(output.endsWith("site/html/")) << output.toStdString();
  EXPECT_EQ(Insert("x", {0, 1}, {0, 1}, output + "img/a.png"), "x![img/a.png]");
  EXPECT_EQ(FEditor.SelectedText(), "img/a.png");
  ASSERT_EQ(FHost.OpenDialogs.size(), 1u);
  EXPECT_EQ(FHost.OpenDialogs[0].Title, "Insert Image");
  EXPECT_EQ(FHost.OpenDialogs[0].Filter, "All image files|*.jpg;*.png;*.gif");
  EXPECT_EQ(FHost.OpenDialogs[0].InitialDir, output);

  EXPECT_EQ(Insert("", {0, 0}, {0, 0}, Path("site/pics/b.gif")), "![../pics/b.gif]");
  EXPECT_EQ(Insert("a Logo b", {0, 2}, {0, 6}, output.toUpper().replace("/", "\\") + "L.JPG"),
            "a ![L.JPG alt=\"Logo\"] b");
  EXPECT_EQ(Insert("", {0, 0}, {0, 0}, "/elsewhere\\c.png"), "![/elsewhere/c.png]");
}

TEST_F(ModuleImageTest, CancellingChangesNothingAndAnUntitledProjectHasNoFolder) {
  FEditor.SetText("keep");
  FModule->CmInsertImage();  // no choice queued: cancelled
  EXPECT_EQ(FEditor.Text(), "keep");
  // Without a project file there is no project folder to be relative to.
  EXPECT_EQ(FModule->ImageInsertPath("/tmp/x.png"), "/tmp/x.png");
}

}  // namespace
}  // namespace pw::tests
