// TMainForm: the application's document window: menus and toolbars built from the module's
// actions, the page list ("Content") and task list ("Task") as docks, and the page editor. It
// owns the editor, the host and the central module; the lists are filled by the module.
// GUI thread only.
#pragma once

#include "core/Host.h"

#include <QMainWindow>
#include <QTimer>

#include <memory>

class QListWidget;
class QListWidgetItem;
class QMenu;
class QToolBar;
class QDockWidget;

namespace pw {
class TModule;
}

namespace pw::ui {

class TImageHint;
class TImageHintWindow;
class TLocalStrings;
class TModuleActions;
class TQtHost;
class TScriptDialogs;
class TScintillaEditor;

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  // host: the dialogs to use; nullptr = Qt's own (tests pass a fake).
  explicit TMainForm(IHost* host = nullptr, QWidget* parent = nullptr);
  ~TMainForm() override;

  TModule& Module() { return *FModule; }
  TScintillaEditor& Editor() { return *FEditor; }
  TModuleActions& Actions() { return *FActions; }
  QListWidget& ContentListView() { return *FContentList; }

  // Start-up after the window exists: the project named by the first argument, or else the
  // deferred reopen of the most recent project followed by the welcome window (unless the
  // settings switch it off). Returns whether the argument was opened.
  bool Start(const QStringList& args);

  // Window placement in the settings file ("General"/"WindowPosition").
  void RestorePlacement();
  void SavePlacement();

  // Moves the caret to the page of a page-list row and focuses the editor.
  void GoToPage(int row);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolbars();
  void FillPageList();
  void RefreshWhenIdle();
  void ReopenAtStartup();
  void FillRecentFiles();
  void RunFiles();
  // Builds the site, then opens the base address or the current page in the default browser.
  void RunBrowse();
  void FillTaskList();
  // Runs the task of a task-list row, then gives the editor the focus back.
  void RunTask(int row);
  void ShowImageHint(int position, int x, int y);

  std::unique_ptr<TQtHost> FQtHost;
  // Declared before the module: the module's runtime points at it until the module is gone.
  std::unique_ptr<TScriptDialogs> FScriptDialogs;
  TScintillaEditor* FEditor;
  std::unique_ptr<TModule> FModule;
  TModuleActions* FActions = nullptr;
  TLocalStrings* FStrings = nullptr;
  QListWidget* FContentList = nullptr;
  QListWidget* FTaskList = nullptr;
  QDockWidget* FContentPanel = nullptr;
  QDockWidget* FTaskPanel = nullptr;
  QMenu* FRecentMenu = nullptr;
  QToolBar* FProjectToolbar = nullptr;
  QToolBar* FEditToolbar = nullptr;
  QTimer FIdle;
  std::unique_ptr<TImageHint> FImageHint;
  TImageHintWindow* FHintWindow = nullptr;
};

}  // namespace pw::ui
