#include "ui/QtHost.h"

#include "GuiApplication.h"
#include "support/ModuleFixture.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

using QtHostTest = ModuleTest;

TEST_F(QtHostTest, SavesAsASiteTemplateButNotYetAsAPackagedDocument) {
  GuiApplication();
  ui::TQtHost host;
  EXPECT_FALSE(host.CanSaveAsType(stSiteTemplate));  // no module to save
  host.SetModule(FModule.get());
  ASSERT_TRUE(QDir().mkpath(Path("site/template")));
  QFile page(Path("site/template/index.html"));
  ASSERT_TRUE(page.open(QIODevice::WriteOnly));
  page.write("<html>{$content}</html>");
  page.close();
  ASSERT_TRUE(FModule->LoadProject(WriteProject("site/site.pwproj", "$title Site\n\n[index.html]\n= Hi\n")));

  ASSERT_TRUE(host.CanSaveAsType(stSiteTemplate));
  EXPECT_TRUE(host.SaveAsType(stSiteTemplate, Path("site.pwtmpl")));
  EXPECT_GT(QFileInfo(Path("site.pwtmpl")).size(), 0);
  EXPECT_EQ(FModule->ProjectPath(), Path("site/site.pwproj"));  // only a project save moves it
  EXPECT_FALSE(host.CanSaveAsType(stTavrinDocument));
  EXPECT_FALSE(host.SaveAsType(stTavrinDocument, Path("site.tavrin")));
  EXPECT_FALSE(QFileInfo::exists(Path("site.tavrin")));
}

}  // namespace
}  // namespace pw::tests
