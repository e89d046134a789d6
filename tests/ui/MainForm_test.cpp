#include "ui/MainForm.h"

#include "core/ApplicationSettings.h"
#include "core/Module.h"
#include "core/WindowPlacement.h"
#include "generator/Generator.h"
#include "generator/Variables.h"
#include "ui/Localization.h"
#include "ui/Localizer.h"
#include "ui/MarkupLexer.h"
#include "ui/ModuleActions.h"
#include "ui/ScintillaEditor.h"
#include "ui/WelcomeForm.h"

#include "GuiApplication.h"
#include "platform/FileIO.h"
#include "support/MemoryHost.h"
#include "support/QStringPrinter.h"
#include "support/ScopedEnvironment.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QListWidget>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace pw::tests {
namespace {

using ui::TMainForm;

const char kSite[] =
    "$title Site\n"
    "\n"
    "[index.html]\n"
    "$title Home\n"
    "= Hello\n"
    "\n"
    "[menu]\n"
    "line 8\n"
    "line 9\n"
    "[about.html]\n"
    "$title About\n"
    "text\n";

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiApplication();
    ASSERT_TRUE(FDir.isValid());
    ui::TLocalization::Instance().SetLangId(ui::LangEnglish);
  }

  // Writes a project file with this content text and returns its path.
  QString WriteSite(const QString& name, const QByteArray& content) {
    const QString path = FDir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
  }

  std::unique_ptr<TMainForm> Open(const QString& project) {
    auto form = std::make_unique<TMainForm>(&FHost);
    form->show();
    form->Start({project});
    QCoreApplication::processEvents();
    return form;
  }

  // Starts form with these arguments, lets act work on each welcome window that opens and then
  // closes it if still open; returns how many opened.
  static int Start(TMainForm& form, const QStringList& args,
                   const std::function<void(ui::TWelcomeForm&)>& act = {}) {
    int shown = 0;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* welcome = form.findChild<ui::TWelcomeForm*>();
      if (!welcome || !welcome->isVisible()) return;
      ++shown;
      if (act) act(*welcome);
      if (welcome->isVisible()) welcome->reject();
    });
    poll.start();
    form.Start(args);
    QTest::qWait(100);
    return shown;
  }

  static void Idle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }

  // Leaves without the save question.
  static void Discard(TMainForm& form) { form.Editor().SetModified(false); }

  QTemporaryDir FDir;
  TScopedEnvironment FHome{"PAGEWICK_HOME", FDir.filePath("home").toStdString()};
  TMemoryHost FHost;
};

TEST_F(MainFormTest, OnlyAStartWithoutAProjectArgumentShowsTheWelcomeWindow) {
  const QString project = WriteSite("site/site.pwproj", kSite);
  TMainForm form(&FHost);
  EXPECT_EQ(Start(form, {project}), 0);
  EXPECT_EQ(form.windowTitle(), "site - Pagewick");
  ASSERT_EQ(form.ContentListView().count(), 4);
  EXPECT_EQ(form.ContentListView().item(0)->text(), "Project");
  EXPECT_EQ(form.ContentListView().item(1)->text(), "index.html (Home)");
  EXPECT_EQ(form.ContentListView().item(2)->text(), "menu");
  Discard(form);
  ASSERT_TRUE(form.close());  // keeps the project as the most recent one

  // Without an argument it shows after the reopen step. A link closes it and runs its
  // command; unticked, it stays away at the next start.
  int wizards = 0;
  FHost.Wizard = [&] { return ++wizards, false; };
  {
    TMainForm second(&FHost);
    EXPECT_EQ(Start(second, {}, [](ui::TWelcomeForm& welcome) {
                EXPECT_EQ(welcome.windowTitle(), "Welcome");
                welcome.findChild<QCheckBox*>("ShowCheckBox")->setChecked(false);
                welcome.findChild<QToolButton*>("NewSiteLink")->click();
                EXPECT_FALSE(welcome.isVisible());
              }),
              1);
    EXPECT_EQ(wizards, 1);
    EXPECT_EQ(second.windowTitle(), "site - Pagewick");  // the cancelled wizard changed nothing
    Discard(second);
    ASSERT_TRUE(second.close());
  }
  TMainForm third(&FHost);
  EXPECT_EQ(Start(third, {}), 0);
  Discard(third);
}

TEST_F(MainFormTest, DoubleClickingAPageMovesTheCaretBelowItsHeader) {
  auto form = Open(WriteSite("site/site.pwproj", kSite));
  QListWidget& list = form->ContentListView();
  ASSERT_EQ(list.count(), 4);
  Idle();
  auto doubleClick = [&](int row) {
    const QRect rect = list.visualItemRect(list.item(row));
    ASSERT_FALSE(rect.isEmpty());
    // An item view takes a double-click only on the item its press landed on.
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
  };
  doubleClick(3);  // "about.html", header on line 10
  EXPECT_EQ(form->Editor().Caret(), (TTextPos{10, 0}));
  doubleClick(0);  // "Project": line 1
  EXPECT_EQ(form->Editor().Caret(), (TTextPos{0, 0}));
  Discard(*form);
}

TEST_F(MainFormTest, TheProjectsTasksAreListedAndRunByDoubleClick) {
  WriteSite("site/template/index.html", "{$content}");
  WriteSite("site/template/template.js",
            "var runs = 0;\n"
            "AddTask('Stamp', function () { runs++; this.SetVar('stamp', 'ran ' + runs); });\n"
            "function preview() {}\n");
  auto form = Open(WriteSite("site/site.pwproj", kSite));
  Idle();
  auto* panel = form->findChild<QDockWidget*>("TaskPanel");
  auto* list = form->findChild<QListWidget*>("TaskListView");
  ASSERT_TRUE(panel && list);
  EXPECT_TRUE(panel->isVisible());
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), "Stamp");

  const QRect rect = list->visualItemRect(list->item(0));
  QTest::mousePress(list->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_EQ(ValueToText(form->Module().Generator().GetVar("stamp")), "ran 1");

  // The scripts' own preview answers, so nothing says the preview is unavailable.
  const size_t messages = FHost.Messages.size();
  form->Actions().Action("PreviewAction")->trigger();
  EXPECT_EQ(FHost.Messages.size(), messages);

  // A compilation that registers no task empties the list and hides the panel.
  WriteSite("site/template/template.js", "var none;\n");
  form->Module().RecompileScripts();
  EXPECT_EQ(list->count(), 0);
  EXPECT_FALSE(panel->isVisible());
  Discard(*form);
}

TEST_F(MainFormTest, ANewProjectIsPreviewedWhenTheSettingsAskForIt) {
  auto form = Open(WriteSite("site/site.pwproj", kSite));
  WritePreviewNewProject(form->Module().Config(), true);
  FHost.Wizard = [&] { return form->Module().CreateProject(FDir.filePath("new/new.pwproj"), ""); };
  form->Actions().Action("NewAction")->trigger();
  EXPECT_EQ(form->windowTitle(), "new - Pagewick");
  // The site was built; the preview window itself is not there yet and says so.
  EXPECT_TRUE(QFileInfo::exists(FDir.filePath("new/html/index.html")));
  ASSERT_FALSE(FHost.Messages.empty());
  EXPECT_EQ(FHost.Messages.back().Text, "This command is not yet available.");
  Discard(*form);
}

// Takes the addresses the window hands to the desktop instead of opening them.
class TUrlCatcher : public QObject {
  Q_OBJECT

 public:
  TUrlCatcher() {
    for (const char* scheme : {"file", "http"}) QDesktopServices::setUrlHandler(scheme, this, "Open");
  }
  ~TUrlCatcher() override {
    for (const char* scheme : {"file", "http"}) QDesktopServices::unsetUrlHandler(scheme);
  }
  QList<QUrl> Urls;

 public slots:
  void Open(const QUrl& url) { Urls << url; }
};

TEST_F(MainFormTest, BrowseOpensTheCurrentPageOrTheBaseAddress) {
  auto form = Open(WriteSite("site/site.pwproj", kSite));
  TUrlCatcher catcher;
  QAction* browse = form->Actions().Action("BrowseAction");
  form->Editor().SetCaret({0, 0});  // above the first page: nothing to open
  browse->trigger();
  form->Editor().SetCaret({10, 0});
  browse->trigger();
  form->Editor().ReplaceRange({0, 0}, {0, 0}, "$base_url http://example.org/\n");
  browse->trigger();
  EXPECT_EQ(catcher.Urls, QList<QUrl>({QUrl::fromLocalFile(FDir.filePath("site/html/about.html")),
                                        QUrl("http://example.org/")}));
  Discard(*form);
}

TEST_F(MainFormTest, PagesAreAddedAndDeletedThroughTheActions) {
  auto form = Open(WriteSite("site/site.pwproj", kSite));
  TAddPageFields fields;
  fields.Name = "new.html";
  fields.Title = "New";
  FHost.AddPageChoices.push_back(fields);
  form->Actions().Action("AddPageAction")->trigger();
  Idle();
  QListWidget& list = form->ContentListView();
  ASSERT_EQ(list.count(), 5);
  EXPECT_TRUE(form->Editor().Text().contains("[new.html]"));

  list.setCurrentRow(1);
  Idle();
  FHost.Answers.push_back(TAnswer::Yes);
  QAction* remove = form->Actions().Action("DeletePageAction");
  ASSERT_TRUE(remove->isEnabled());
  remove->trigger();
  Idle();
  EXPECT_FALSE(form->Editor().Text().contains("[index.html]"));
  EXPECT_EQ(list.count(), 4);
  Discard(*form);
}

TEST_F(MainFormTest, SaveAsTheProjectTypeAppendsItsExtension) {
  auto form = Open(WriteSite("site/site.pwproj", kSite));
  FHost.SaveChoices.push_back(std::pair{FDir.filePath("site/copy"), 1});
  form->Actions().Action("SaveAsAction")->trigger();
  EXPECT_TRUE(QFileInfo::exists(FDir.filePath("site/copy.pwproj")));
  EXPECT_EQ(form->windowTitle(), "copy - Pagewick");
  Discard(*form);
}

TEST_F(MainFormTest, ClosingAsksToSaveChanges) {
  auto form = Open(WriteSite("site/site.pwproj", kSite));
  form->Editor().ReplaceRange({0, 0}, {0, 0}, "x");
  FHost.Answers.push_back(TAnswer::Cancel);
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(FHost.Questions.size(), 1u);
  EXPECT_EQ(FHost.Questions[0].Text, "Save changes to site?");
  FHost.Answers.push_back(TAnswer::No);
  EXPECT_TRUE(form->close());
  // No discards the edits: the file on disk is as it was.
  QFile file(FDir.filePath("site/site.pwproj"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().startsWith("$title Site"));
}

TEST_F(MainFormTest, TheRecentFilesSubmenuIsRefilledEachTimeItOpens) {
  const QString first = WriteSite("one/one.pwproj", kSite);
  const QString second = WriteSite("two/two.pwproj", kSite);
  auto form = Open(first);
  form->Module().LoadProject(second);
  auto* recent = form->findChild<QMenu*>("RecentFilesSubmenu");
  ASSERT_TRUE(recent);
  emit recent->aboutToShow();
  ASSERT_EQ(recent->actions().size(), 2);
  EXPECT_EQ(recent->actions()[0]->text(), QDir::cleanPath(second));
  recent->actions()[1]->trigger();
  EXPECT_EQ(form->windowTitle(), "one - Pagewick");
  emit recent->aboutToShow();
  EXPECT_EQ(recent->actions().size(), 2);
  EXPECT_EQ(recent->actions()[0]->text(), QDir::cleanPath(first));
  Discard(*form);
}

TEST_F(MainFormTest, TheLanguageSwitchRetitlesMenusAndActions) {
  auto form = Open(WriteSite("site/site.pwproj", kSite));
  auto* file = form->findChild<QMenu*>("FileMenuItem");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->title(), "File");
  form->Actions().Localizer().SetLangId(ui::LangRussian);
  EXPECT_EQ(file->title(), "Файл");
  EXPECT_EQ(form->Actions().Action("SaveAction")->text(), "Сохранить");
  EXPECT_EQ(form->findChild<QWidget*>("ContentPanel")->windowTitle(), "Содержание");
  EXPECT_EQ(form->ContentListView().item(0)->text(), "Проект");
  // The module's own questions follow too, an action's caption as their title included.
  form->Editor().ReplaceRange({0, 0}, {0, 0}, "x");
  FHost.Answers.push_back(TAnswer::Cancel);
  EXPECT_FALSE(form->close());
  form->ContentListView().setCurrentRow(1);
  Idle();
  form->Actions().Action("DeletePageAction")->trigger();  // answered No
  form->Actions().Localizer().SetLangId(ui::LangEnglish);
  EXPECT_EQ(file->title(), "File");
  EXPECT_EQ(form->Actions().Action("SaveAction")->text(), "Save");
  FHost.Answers.push_back(TAnswer::Cancel);
  EXPECT_FALSE(form->close());
  ASSERT_EQ(FHost.Questions.size(), 3u);
  EXPECT_EQ(FHost.Questions[0].Text, "Сохранить изменения в site?");
  EXPECT_EQ(FHost.Questions[1].Title, "Удалить");
  EXPECT_EQ(FHost.Questions[1].Text, "Удалить 'index.html (Home)'?");
  EXPECT_EQ(FHost.Questions[2].Text, "Save changes to site?");
  EXPECT_EQ(FHost.Questions[2].Title, "Pagewick");
  Discard(*form);
}

TEST_F(MainFormTest, WindowPlacementIsRestoredAndGarbageIgnored) {
  const QString project = WriteSite("site/site.pwproj", kSite);
  {
    auto form = Open(project);
    form->setGeometry(40, 50, 640, 480);
    Idle();
    ASSERT_TRUE(form->close());
  }
  {
    auto form = Open(project);
    EXPECT_EQ(form->geometry().size(), QSize(640, 480));
    // Garbage in the settings file: the window keeps a usable place.
    WriteWindowPlacement(form->Module().Config(), "General", "WindowPosition",
                         TWindowPlacement::FromNormal(-900000, 7, -5, 2000000000,
                                                      TWindowPlacement::wsMaximized));
    form->Module().SaveSettings();
    Discard(*form);
  }
  auto form = Open(project);
  EXPECT_GT(form->width(), 0);
  EXPECT_FALSE(form->isMaximized());
  Discard(*form);
}

TEST_F(MainFormTest, BadInputNeverBringsTheWindowDown) {
  // A project file that is not XML is read as plain content text.
  auto form = Open(WriteSite("a/notxml.pwproj", QByteArray("\x00\xff\xfe garbage [x]\n", 16)));
  Discard(*form);
  // A 4 MB page on one line: only a part of it is laid out, the status bar says so, and the
  // part follows the caret to the end of the line.
  QByteArray huge = "[big.html]\n";
  huge += QByteArray(4 * 1024 * 1024, 'w');
  huge += "{$x}\n";
  form = Open(WriteSite("b/big.pwproj", huge));
  Idle();
  EXPECT_EQ(form->ContentListView().count(), 2);
  auto style = [&](int pos) {
    return static_cast<int>(form->Editor().SendScintilla(QsciScintilla::SCI_GETSTYLEAT, pos));
  };
  const int end = static_cast<int>(huge.size()) - 2;
  EXPECT_EQ(style(end), ui::TMarkupLexer::HiddenStyle);
  EXPECT_EQ(form->statusBar()->currentMessage(),
            "Line 2 is too long to show whole: the editor shows the part around the caret.");
  form->Editor().SetCaret({1, 10'000'000});
  form->Editor().ReplaceRange({1, 10'000'000}, {1, 10'000'000}, "{");
  Idle();
  EXPECT_EQ(style(end), ui::TMarkupLexer::StyleOf(static_cast<int>(markup::TTokenKind::tkMacro)));
  Discard(*form);
}

}  // namespace
}  // namespace pw::tests

#include "MainForm_test.moc"
