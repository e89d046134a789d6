#include "ui/QtHost.h"

#include "ui/Localization.h"
#include "ui/Localizer.h"
#include "ui/MainForm.h"
#include "ui/ModuleActions.h"

#include "GuiApplication.h"
#include "support/ModuleFixture.h"
#include "support/QStringPrinter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
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

TEST_F(QtHostTest, PickingAnotherTypeMovesTheSaveDialogToItsFolderKeepingTheName) {
  GuiApplication();
  ui::TQtHost host;
  ASSERT_TRUE(QDir().mkpath(Path("lib")) && QDir().mkpath(Path("site")));
  TFileDialog dialog;
  dialog.Filter = "Project (*.pwproj)|*.pwproj|Template (*.pwtmpl)|*.pwtmpl|Other (*.x)|*.x";
  dialog.FileName = Path("site/name");
  dialog.TypeFolders = {Path("site"), Path("lib")};  // none for the third type
  QStringList seen;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_TRUE(box);
    auto* types = box->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_TRUE(types);
    for (int index : {1, 2, 0}) {
      types->setCurrentIndex(index);
      emit types->activated(index);
      emit types->textActivated(types->itemText(index));
      seen << QDir(box->directory()).absolutePath() + "|" + box->findChild<QLineEdit*>("fileNameEdit")->text();
    }
    box->reject();
  });
  EXPECT_FALSE(host.SaveFileDialog(dialog));
  EXPECT_EQ(seen, QStringList({Path("lib") + "|name", Path("lib") + "|name", Path("site") + "|name"}));
}

TEST_F(QtHostTest, MessageBoxButtonsSpeakTheWindowsLanguage) {
  GuiApplication();
  ui::TMainForm form(&FHost);  // its module table is where the core's texts come from
  form.Actions().Localizer().SetLangId(ui::LangRussian);
  ui::TQtHost host;
  QStringList captions;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_TRUE(box);
    for (const QAbstractButton* button : box->buttons()) captions << button->text();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(host.AskYesNoCancel("Pagewick", "?"), TAnswer::No);
  form.Actions().Localizer().SetLangId(ui::LangEnglish);
  captions.sort();
  EXPECT_EQ(captions, QStringList({"Да", "Нет", "Отмена"}));
}

}  // namespace
}  // namespace pw::tests
