#include "ui/LocalStrings.h"
#include "ui/Localization.h"
#include "ui/Localizer.h"

#include "core/Texts.h"

#include "GuiApplication.h"
#include "support/QStringPrinter.h"

#include <QFile>
#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

// A component with a string-list property, as list boxes and radio groups have.
class TListHolder : public QObject {
  Q_OBJECT
  Q_PROPERTY(QStringList items READ Items WRITE SetItems)
  Q_PROPERTY(int count READ Count WRITE SetCount)

 public:
  using QObject::QObject;
  QStringList Items() const { return FItems; }
  void SetItems(const QStringList& items) { FItems = items; }
  int Count() const { return FCount; }
  void SetCount(int count) { FCount = count; }

 private:
  QStringList FItems{"&Forward", "&Backward"};
  int FCount = 7;
};

namespace pw::tests {
namespace {

using ui::TLocalization;
using ui::TLocalizer;
using ui::TLocalStrings;

class LocalStringsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiApplication();
    TLocalization::Instance().SetLangId(1033);
    TLocalization::Instance().SetDefaultLangId(1033);
    FForm = std::make_unique<QWidget>();
    FForm->setObjectName("UploadForm");
    FForm->setWindowTitle("Upload");
    FLabel = new QLabel("Server:", FForm.get());
    FLabel->setObjectName("ServerLabel");
    FList = new TListHolder(FForm.get());
    FList->setObjectName("rgSearchDirection");
    FStrings = new TLocalStrings(FForm.get());
    FStrings->SetData({
        "[1033]",
        "UploadForm.windowTitle=Upload",
        "ServerLabel.text=Server:",
        "Done=Done.\\rAll files sent.",
        "OnlyEnglish=English only",
        "",
        "[1049]",
        "UploadForm.windowTitle=Публикация",
        "rgSearchDirection.Items[1]=&Назад",
        "rgSearchDirection.Items[2]=past the end",
        "rgSearchDirection.count=3",
        "NoSuchControl.text=x",
        "ServerLabel.nosuchproperty=x",
        "ServerLabel.text[0]=x",
        "Done=Готово.\\rВсе файлы отправлены.",
    });
  }

  std::unique_ptr<QWidget> FForm;
  QLabel* FLabel = nullptr;
  TListHolder* FList = nullptr;
  TLocalStrings* FStrings = nullptr;
};

TEST_F(LocalStringsTest, ApplyingALanguageWritesOnlyWhatTheSectionHolds) {
  EXPECT_EQ(FStrings->Section(), "UploadForm");
  FStrings->ApplyLanguage(1049);
  EXPECT_EQ(FStrings->LangId(), 1049);
  // The path naming the owner itself sets the window's own caption.
  EXPECT_EQ(FForm->windowTitle(), "Публикация");
  // No entry for the label: the designed text stays.
  EXPECT_EQ(FLabel->text(), "Server:");
  // One string-list line; the index past the end, the non-string property, unknown names and
  // an index on a plain string property are skipped.
  EXPECT_EQ(FList->Items(), QStringList({"&Forward", "&Назад"}));
  EXPECT_EQ(FList->Count(), 7);

  // A language without a section changes nothing but is still current.
  FStrings->ApplyLanguage(1031);
  EXPECT_EQ(FForm->windowTitle(), "Публикация");
  FStrings->ApplyLanguage(1033);
  EXPECT_EQ(FForm->windowTitle(), "Upload");
}

TEST_F(LocalStringsTest, BackslashRBreaksLinesOnlyInMessages) {
  FStrings->SetData({"[1033]", "FormLabel.text=a\\rb", "Msg=a\\rb"});
  FLabel->setObjectName("FormLabel");
  FStrings->ApplyLanguage(1033);
  EXPECT_EQ(FLabel->text(), "a\\rb");
  EXPECT_EQ(FStrings->GetString("Msg"), "a\nb");
}

TEST_F(LocalStringsTest, MessagesFallBackToTheDefaultLanguageThenToEmpty) {
  FStrings->ApplyLanguage(1049);
  EXPECT_EQ(FStrings->GetString("Done"), "Готово.\nВсе файлы отправлены.");
  EXPECT_EQ(FStrings->GetString("done"), "Готово.\nВсе файлы отправлены.");
  EXPECT_EQ(FStrings->GetString("OnlyEnglish"), "English only");
  EXPECT_EQ(FStrings->GetString("Nowhere"), "");
  TLocalization::Instance().SetDefaultLangId(1049);
  FStrings->ApplyLanguage(1033);
  EXPECT_EQ(FStrings->GetString("OnlyEnglish"), "English only");
}

TEST_F(LocalStringsTest, TheFirstSectionAndTheFirstKeyWin) {
  FStrings->SetData({"[1033]", "K=first", " ; note", "k=second", "L=x=y", "[1033]", "K=third", "M=m"});
  EXPECT_EQ(FStrings->GetString("K"), "first");
  EXPECT_EQ(FStrings->GetString("L"), "x=y");
  EXPECT_EQ(FStrings->GetString("M"), "");
}

TEST_F(LocalStringsTest, StringsListsLivePropertiesWithTheTableOverriding) {
  FForm->setWindowTitle("Live title");
  FStrings->SetUnlocalizableNames({"rgSearchDirection.items[1]"});
  const QString text = FStrings->Strings();
  const QStringList lines = text.split('\n');
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines[0], "[1033]");
  EXPECT_TRUE(lines.contains("UploadForm.windowTitle=Upload")) << text.toStdString();  // the table wins
  EXPECT_TRUE(lines.contains("ServerLabel.text=Server:")) << text.toStdString();
  EXPECT_TRUE(lines.contains("rgSearchDirection.items[0]=&Forward")) << text.toStdString();
  EXPECT_FALSE(text.contains("rgSearchDirection.items[1]")) << text.toStdString();
  EXPECT_FALSE(text.contains("objectName")) << text.toStdString();
  EXPECT_FALSE(text.contains("LocalStrings")) << text.toStdString();
  EXPECT_TRUE(lines.contains("Done=Done.\\rAll files sent.")) << text.toStdString();
  const qsizetype russian = lines.indexOf("[1049]");
  ASSERT_GT(russian, 0);
  EXPECT_EQ(lines[russian - 1], "");
  EXPECT_EQ(lines.count("UploadForm.windowTitle=Upload"), 1);
}

TEST_F(LocalStringsTest, WritingStringsAppliesItAndMarksWhatItLeftOut) {
  FStrings->SetStrings("[1033]\nUploadForm.windowTitle=Send files\nMsg=x\n\n[1049]\nMsg=y");
  EXPECT_EQ(FForm->windowTitle(), "Send files");
  EXPECT_TRUE(FStrings->UnlocalizableNames().contains("ServerLabel.text"));
  EXPECT_FALSE(FStrings->UnlocalizableNames().contains("UploadForm.windowTitle"));
  EXPECT_EQ(FStrings->GetString("Msg"), "x");
  EXPECT_FALSE(FStrings->Strings().contains("ServerLabel.text"));

  // A text without the current language's section marks nothing.
  FStrings->SetUnlocalizableNames({});
  FStrings->SetStrings("[1049]\nMsg=y");
  EXPECT_TRUE(FStrings->UnlocalizableNames().isEmpty());
}

TEST_F(LocalStringsTest, TheLocalizerAppliesToEveryTableAndExportsOneLanguage) {
  QWidget other;
  other.setObjectName("MainForm");
  other.setWindowTitle("Main");
  auto* otherStrings = new TLocalStrings(&other);
  otherStrings->SetData({"[1049]", "MainForm.windowTitle=Главное", "[1033]"});
  TLocalizer localizer;
  localizer.SetLangId(1049);
  EXPECT_EQ(TLocalization::Instance().LangId(), 1049);
  EXPECT_EQ(FForm->windowTitle(), "Публикация");
  EXPECT_EQ(other.windowTitle(), "Главное");

  const QString exported = localizer.Strings();
  EXPECT_TRUE(exported.startsWith("[UploadForm]\nUploadForm.windowTitle=Публикация")) << exported.toStdString();
  EXPECT_TRUE(exported.contains("\n\n[MainForm]\nMainForm.windowTitle=Главное")) << exported.toStdString();

  // The import matches sections exactly and touches only the current language.
  localizer.SetStrings("[MainForm]\nMainForm.windowTitle=Новое\n[mainform]\nX=y\n[Nobody]\nA=b");
  EXPECT_EQ(other.windowTitle(), "Главное");  // nothing re-applied yet
  localizer.SetLangId(1049);
  EXPECT_EQ(other.windowTitle(), "Новое");
  EXPECT_EQ(otherStrings->GetString("X"), "");
  localizer.SetLangId(1033);
  EXPECT_EQ(FForm->windowTitle(), "Upload");

  // A table that dies leaves the registry.
  const size_t before = TLocalization::Instance().Tables().size();
  delete otherStrings;
  EXPECT_EQ(TLocalization::Instance().Tables().size(), before - 1);
}

TEST(StringTablesTest, EveryCompiledInTableHasBothLanguagesWithTheSameKeys) {
  for (const char* name : {":/strings/MainForm.ini", ":/strings/Module.ini", ":/strings/WelcomeForm.ini",
                           ":/strings/AddPageForm.ini"}) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    ui::TLocalTable table;
    table.SetText(QString::fromUtf8(file.readAll()).split('\n'));
    ASSERT_TRUE(table.HasSection("1033")) << name;
    ASSERT_TRUE(table.HasSection("1049")) << name;
    // A Russian entry without an English one could never fall back.
    for (const QString& line : table.Section("1049")) {
      QString key, value;
      ui::TLocalTable::SplitLine(line, &key, &value);
      bool found = false;
      table.Value("1033", key, &found);
      EXPECT_TRUE(found) << name << ": " << key.toStdString();
      EXPECT_FALSE(value.isEmpty()) << name << ": " << key.toStdString();
    }
  }
}

TEST(StringTablesTest, TheModulesEnglishMessagesMatchTheCoreTexts) {
  // The core keeps its own English texts for when no window exists; the two must not drift.
  QFile file(":/strings/Module.ini");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  ui::TLocalTable table;
  table.SetText(QString::fromUtf8(file.readAll()).split('\n'));
  int compared = 0;
  for (const QString& line : table.Section("1033")) {
    QString key, value;
    ui::TLocalTable::SplitLine(line, &key, &value);
    const QString core = EnglishText(key.toStdString());
    if (core == key) continue;  // a key only the windows use
    EXPECT_EQ(core, value) << key.toStdString();
    ++compared;
  }
  EXPECT_GT(compared, 10);
}

}  // namespace
}  // namespace pw::tests

#include "LocalStrings_test.moc"
