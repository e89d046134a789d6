#include "ui/MainForm.h"

#include "core/ApplicationSettings.h"
#include "core/Module.h"
#include "core/WindowPlacement.h"
#include "generator/Generator.h"
#include "runtime/ScriptRuntime.h"
#include "ui/Localization.h"
#include "ui/Localizer.h"
#include "ui/ImageHint.h"
#include "ui/ImageHintWindow.h"
#include "ui/LocalStrings.h"
#include "ui/MarkupLexer.h"
#include "ui/ModuleActions.h"
#include "ui/QtHost.h"
#include "ui/ScriptDialogs.h"
#include "ui/ScintillaEditor.h"
#include "ui/WelcomeForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDockWidget>
#include <QGuiApplication>
#include <QIcon>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace pw::ui {
namespace {

const QString kPlacementSection = QStringLiteral("General");
const QString kPlacementKey = QStringLiteral("WindowPosition");

QListWidget* MakeList(const QString& name, QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->setObjectName(name);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setUniformItemSizes(true);  // a long page list lays out in constant time per row
  return list;
}

}  // namespace

TMainForm::TMainForm(IHost* host, QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Pagewick"));
  resize(724, 525);
  if (!host) {
    FQtHost = std::make_unique<TQtHost>(this);
    host = FQtHost.get();
  }
  FEditor = new TScintillaEditor(this);
  auto* lexer = new TMarkupLexer(FEditor);
  FEditor->setLexer(lexer);
  FModule = std::make_unique<TModule>(*FEditor, *host);
  if (FQtHost) FQtHost->SetModule(FModule.get());
  // Before any project opens, so that its scripts are compiled with it.
  FModule->EnableScripts();
  // With a fake host (tests) the scripts stay headless too: no dialog may wait for a user.
  if (FQtHost) {
    FScriptDialogs = std::make_unique<TScriptDialogs>(this);
    FModule->ScriptRuntime()->SetUserInterface(FScriptDialogs.get());
  }
  FActions = new TModuleActions(*FModule, *FEditor, this);
  // The module's table applied English first; then the language chosen for this run.
  FActions->Localizer().SetLangId(TLocalization::Instance().LangId());

  setCentralWidget(FEditor);
  statusBar()->setObjectName(QStringLiteral("StatusBar"));

  FContentPanel = new QDockWidget(QStringLiteral("Content"), this);
  FContentPanel->setObjectName(QStringLiteral("ContentPanel"));
  FContentPanel->setFeatures(QDockWidget::NoDockWidgetFeatures);
  auto* contentBox = new QWidget(FContentPanel);
  auto* contentLayout = new QVBoxLayout(contentBox);
  contentLayout->setContentsMargins(0, 0, 0, 0);
  auto* contentToolbar = new QToolBar(contentBox);
  contentToolbar->setObjectName(QStringLiteral("ContentToolbar"));
  contentToolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  contentToolbar->addAction(FActions->Action("AddPageAction"));
  contentToolbar->addAction(FActions->Action("DeletePageAction"));
  FContentList = MakeList(QStringLiteral("ContentListView"), contentBox);
  FContentList->setContextMenuPolicy(Qt::ActionsContextMenu);
  FContentList->addAction(FActions->Action("AddPageAction"));
  FContentList->addAction(FActions->Action("DeletePageAction"));
  contentLayout->addWidget(contentToolbar);
  contentLayout->addWidget(FContentList);
  FContentPanel->setWidget(contentBox);
  FContentPanel->setMinimumWidth(176);
  addDockWidget(Qt::LeftDockWidgetArea, FContentPanel);

  FTaskPanel = new QDockWidget(QStringLiteral("Task"), this);
  FTaskPanel->setObjectName(QStringLiteral("TaskPanel"));
  FTaskPanel->setFeatures(QDockWidget::NoDockWidgetFeatures);
  FTaskList = MakeList(QStringLiteral("TaskListView"), FTaskPanel);
  FTaskPanel->setWidget(FTaskList);
  addDockWidget(Qt::LeftDockWidgetArea, FTaskPanel);
  FTaskPanel->hide();

  BuildMenus();
  BuildToolbars();

  FStrings = new TLocalStrings(this);
  FStrings->SetUnlocalizableNames({QStringLiteral("Editor.toolTip")});
  QString error;
  FStrings->Load(QStringLiteral(":/strings/MainForm.ini"), &error);

  connect(FModule.get(), &TModule::TitleChanged, this, &QWidget::setWindowTitle);
  connect(lexer, &TMarkupLexer::LongLineClipped, this, [this](int line) {
    const QString note = FStrings->GetString(QStringLiteral("LongLineShown"))
                             .replace(QStringLiteral("%d"), QString::number(line + 1));
    if (statusBar()->currentMessage() != note) statusBar()->showMessage(note);
  });
  connect(FModule.get(), &TModule::ProjectLoaded, statusBar(), &QStatusBar::clearMessage);
  connect(FModule.get(), &TModule::PageListChanged, this, &TMainForm::FillPageList);
  // The first row's caption ("Project") is a text of the module's table.
  connect(&FActions->Strings(), &TLocalStrings::Localized, this, &TMainForm::FillPageList);
  connect(FActions, &TModuleActions::ExitRequested, this, &QWidget::close);
  connect(FActions, &TModuleActions::FilesRequested, this, &TMainForm::RunFiles);
  connect(FActions, &TModuleActions::BrowseRequested, this, &TMainForm::RunBrowse);
  // A new project is previewed at once when the settings ask for it: the Preview command.
  connect(FModule.get(), &TModule::PreviewRequested, FActions->Action("PreviewAction"), &QAction::trigger);
  connect(FModule.get(), &TModule::TasksChanged, this, &TMainForm::FillTaskList);
  connect(FTaskList, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { RunTask(FTaskList->row(item)); });
  connect(FContentList, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { GoToPage(FContentList->row(item)); });
  connect(FContentList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) FModule->SetSelectedPage(row);
    RefreshWhenIdle();
  });
  // Lists and action states catch up once the event queue is empty, not on every keystroke.
  FIdle.setSingleShot(true);
  FIdle.setInterval(0);
  connect(&FIdle, &QTimer::timeout, this, [this] {
    FModule->RefreshPageList(false);
    FActions->Update();
  });
  connect(FEditor, &QsciScintilla::textChanged, this, &TMainForm::RefreshWhenIdle);
  connect(FEditor, &QsciScintilla::selectionChanged, this, &TMainForm::RefreshWhenIdle);

  // The image hint: resting the mouse over a picture's name shows the picture.
  FImageHint = std::make_unique<TImageHint>();
  FHintWindow = new TImageHintWindow(this);
  FEditor->SendScintilla(QsciScintilla::SCI_SETMOUSEDWELLTIME, 500);
  connect(FEditor, &QsciScintilla::SCN_DWELLSTART, this, &TMainForm::ShowImageHint);
  connect(FEditor, &QsciScintilla::SCN_DWELLEND, FHintWindow, &QWidget::hide);

  FModule->LoadSettings();
  RestorePlacement();
  setWindowTitle(FModule->MainCaption().isEmpty() ? windowTitle() : FModule->MainCaption());
  FModule->RefreshPageList(true);
  FActions->Update();
}

TMainForm::~TMainForm() {
  // The module reaches the editor and host until it is gone.
  FModule.reset();
}

void TMainForm::RefreshWhenIdle() {
  if (!FIdle.isActive()) FIdle.start();
}

void TMainForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu"));
  auto menu = [&](const char* name, const char* title) {
    QMenu* m = bar->addMenu(QString::fromUtf8(title));
    m->setObjectName(QString::fromLatin1(name));
    return m;
  };
  auto add = [&](QMenu* m, std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (name[0] == '-') m->addSeparator();
      else m->addAction(FActions->Action(name));
    }
  };
  QMenu* file = menu("FileMenuItem", "File");
  add(file, {"NewAction", "OpenAction"});
  FRecentMenu = file->addMenu(QStringLiteral("Recent Files"));
  FRecentMenu->setObjectName(QStringLiteral("RecentFilesSubmenu"));
  connect(FRecentMenu, &QMenu::aboutToShow, this, &TMainForm::FillRecentFiles);
  add(file, {"-", "SaveAction", "SaveAsAction", "-", "OptionsAction", "-", "ExitAction"});
  QMenu* edit = menu("EditMenuItem", "Edit");
  add(edit, {"UndoAction", "RedoAction", "-", "CutAction", "CopyAction", "PasteAction",
             "DeleteAction", "SelectAllAction", "-", "FindAction", "FindNextAction", "ReplaceAction"});
  QMenu* view = menu("ViewMenuItem", "View");
  QMenu* toolbars = view->addMenu(QStringLiteral("Toolbars"));
  toolbars->setObjectName(QStringLiteral("ToolbarsViewMenuItem"));
  QAction* projectToggle = toolbars->addAction(QStringLiteral("Project"));
  projectToggle->setObjectName(QStringLiteral("ProjectViewMenuItem"));
  QAction* editToggle = toolbars->addAction(QStringLiteral("Edit"));
  editToggle->setObjectName(QStringLiteral("EditViewMenuItem"));
  QMenu* project = menu("ProjectMenuItem", "Project");
  add(project, {"TemplateEditAction", "-", "FilesAction", "UploadAction", "-", "BrowseAction",
                "PreviewAction"});
  QMenu* help = menu("HelpMenuItem", "Help");
  add(help, {"HomePageAction", "GettingStartedAction", "-", "AboutAction"});

  // The editor's context menu shows the Edit menu's items.
  FEditor->setContextMenuPolicy(Qt::ActionsContextMenu);
  FEditor->addActions(edit->actions());
  for (QAction* toggle : {projectToggle, editToggle}) toggle->setCheckable(true);
  connect(projectToggle, &QAction::toggled, this, [this](bool on) { FProjectToolbar->setVisible(on); });
  connect(editToggle, &QAction::toggled, this, [this](bool on) { FEditToolbar->setVisible(on); });
  connect(view, &QMenu::aboutToShow, this, [this, projectToggle, editToggle] {
    projectToggle->setChecked(FProjectToolbar->isVisible());
    editToggle->setChecked(FEditToolbar->isVisible());
  });
}

void TMainForm::BuildToolbars() {
  auto toolbar = [&](const char* name, const char* title, std::initializer_list<const char*> names) {
    QToolBar* bar = addToolBar(QString::fromUtf8(title));
    bar->setObjectName(QString::fromLatin1(name));
    for (const char* n : names) {
      if (n[0] == '-') bar->addSeparator();
      else bar->addAction(FActions->Action(n));
    }
    return bar;
  };
  FProjectToolbar = toolbar("ProjectToolbar", "Project",
                            {"NewAction", "OpenAction", "SaveAction", "-", "FilesAction", "-",
                             "UploadAction", "-", "PreviewAction", "BrowseAction"});
  FProjectToolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  FEditToolbar = toolbar("EditToolbar", "Edit and Format",
                         {"UndoAction", "RedoAction", "-", "CutAction", "CopyAction", "PasteAction",
                          "DeleteAction", "-", "Header1Action", "Header2Action", "Header3Action",
                          "-", "BoldAction", "ItalicAction", "BoldItalicAction", "-",
                          "InsertLinkAction", "InsertImageAction", "-", "UnorderedListAction",
                          "OrderedListAction", "-", "PreformattedAction", "-", "FindAction",
                          "ReplaceAction"});
}

void TMainForm::FillPageList() {
  static const QIcon icons[] = {QIcon::fromTheme(QStringLiteral("text-x-generic")),
                                QIcon::fromTheme(QStringLiteral("text-html")),
                                QIcon::fromTheme(QStringLiteral("folder"))};
  const auto& entries = FModule->PageList();
  const QSignalBlocker blocker(FContentList);
  FContentList->setUpdatesEnabled(false);
  // Rows are reused: a keystroke usually changes no row or one.
  while (FContentList->count() > static_cast<int>(entries.size()))
    delete FContentList->takeItem(FContentList->count() - 1);
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& entry = entries[i];
    const QString text = i == 0 ? FActions->Strings().GetString(QStringLiteral("Project"))
                                : QString::fromStdString(entry.Caption);
    QListWidgetItem* item = FContentList->item(static_cast<int>(i));
    if (!item) item = new QListWidgetItem(FContentList);
    if (item->text() != text) item->setText(text);
    if (item->data(Qt::UserRole).toInt() != entry.Line || item->icon().isNull())
      item->setIcon(icons[std::clamp(static_cast<int>(entry.Icon), 0, 2)]);
    item->setData(Qt::UserRole, entry.Line);
  }
  FContentList->setCurrentRow(FModule->SelectedPage());
  FContentList->setUpdatesEnabled(true);
}

void TMainForm::GoToPage(int row) {
  QListWidgetItem* item = FContentList->item(row);
  if (!item) return;
  // The header's 1-based line number is the 0-based index of the line after it.
  FEditor->GoToLineCentred(item->data(Qt::UserRole).toInt());
  FEditor->SetFocus();
}

void TMainForm::FillRecentFiles() {
  FRecentMenu->clear();
  for (const QString& path : FModule->RecentFiles()) {
    QAction* action = FRecentMenu->addAction(path);
    connect(action, &QAction::triggered, this, [this, path] { FModule->CmRecentFileOpen(path); });
  }
}

void TMainForm::FillTaskList() {
  const QStringList captions = FModule->TaskCaptions();
  FTaskList->clear();
  for (const QString& caption : captions)
    new QListWidgetItem(QIcon::fromTheme(QStringLiteral("system-run")), caption, FTaskList);
  // Every compilation empties the list and the first task added brings the panel back.
  FTaskPanel->setVisible(!captions.isEmpty());
}

void TMainForm::RunTask(int row) {
  if (row < 0) return;
  FModule->RunTask(row);
  FEditor->SetFocus();
}

void TMainForm::RunFiles() {
  if (FModule->BuildSite())
    QDesktopServices::openUrl(QUrl::fromLocalFile(FModule->Generator().ContentPath()));
}

void TMainForm::RunBrowse() {
  if (!FModule->BuildSite()) return;
  const QString target = FModule->BrowseTarget();
  if (target.isEmpty()) return;
  // An address with a scheme is opened as it is; anything else is a file of the output folder.
  const QUrl url(target);
  // (One letter is a drive, as in "C:/site/".)
  QDesktopServices::openUrl(url.scheme().size() > 1 ? url : QUrl::fromLocalFile(target));
  FContentList->setFocus();
  FEditor->SetFocus();
}

void TMainForm::ShowImageHint(int position, int x, int y) {
  if (position < 0) return;
  const int line = static_cast<int>(FEditor->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, position));
  const long start = FEditor->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line);
  const QString text = FEditor->Line(line);
  // Scintilla counts bytes; the hint counts characters of the line.
  const int column = static_cast<int>(
      QString::fromUtf8(text.toUtf8().left(static_cast<qsizetype>(position - start))).size());
  // The folders are set by directives before the first section, near the top.
  QStringList firstLines;
  for (int i = 0; i < FEditor->LineCount() && i < 1000; ++i) firstLines << FEditor->Line(i);
  if (!FImageHint->FindHintImage(firstLines, text, FModule->ProjectFolder(), column + 1)) {
    FHintWindow->hide();
    return;
  }
  FHintWindow->SetPicture(FImageHint->Picture());
  FHintWindow->move(FEditor->viewport()->mapToGlobal(QPoint(x + 8, y + 16)));
  FHintWindow->show();
}

bool TMainForm::Start(const QStringList& args) {
  if (FModule->OpenStartupProject(args)) return true;
  QMetaObject::invokeMethod(this, &TMainForm::ReopenAtStartup, Qt::QueuedConnection);
  return false;
}

void TMainForm::ReopenAtStartup() {
  FModule->ReopenRecentProject();
  if (!ReadShowWelcomeScreenAtStartup(FModule->Config())) return;
  TWelcomeForm welcome(*FModule, *FActions, this);
  welcome.exec();
}

void TMainForm::RestorePlacement() {
  TWindowPlacement placement;
  if (!ReadWindowPlacement(FModule->Config(), kPlacementSection, kPlacementKey, placement)) return;
  const QRect rect(placement.NormalLeft, placement.NormalTop, placement.NormalWidth(),
                   placement.NormalHeight());
  // Garbage or a screen that is gone: keep the default place rather than lose the window.
  if (rect.width() < 100 || rect.height() < 100 || rect.width() > 20000 || rect.height() > 20000)
    return;
  bool visible = false;
  for (const QScreen* screen : QGuiApplication::screens())
    visible = visible || screen->availableGeometry().intersects(rect);
  if (!visible) return;
  setGeometry(rect);
  if (placement.State() == TWindowPlacement::wsMaximized) setWindowState(Qt::WindowMaximized);
}

void TMainForm::SavePlacement() {
  const QRect rect = isMaximized() || isMinimized() ? normalGeometry() : geometry();
  const auto state = isMaximized() ? TWindowPlacement::wsMaximized : TWindowPlacement::wsNormal;
  WriteWindowPlacement(FModule->Config(), kPlacementSection, kPlacementKey,
                       TWindowPlacement::FromNormal(rect.x(), rect.y(), rect.width(),
                                                    rect.height(), state));
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!FModule->ConfirmSaveChanges()) {
    event->ignore();
    return;
  }
  SavePlacement();
  FModule->SaveSettings();
  event->accept();
}

}  // namespace pw::ui
