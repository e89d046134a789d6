// TScriptDialogs: the desktop application's answer to a script's Alert and file dialogs, on
// Qt's message box and file dialogs. Without it the script runtime stays headless (Alert prints).
// Owned by the main window and set on the module's runtime; GUI thread only (the runtime brings
// calls from script threads over to its own thread first).
#pragma once

#include "runtime/ScriptRuntime.h"

class QWidget;

namespace pw::ui {

class TScriptDialogs : public IScriptUserInterface {
 public:
  // window: the owner when no other window of the application is active.
  explicit TScriptDialogs(QWidget* window) : FWindow(window) {}

  void Alert(const QString& text) override;
  QString BrowseForFolder(const QString& title) override;
  bool OpenFileName(const QString& filter, QString& fileName, int& filterIndex) override;
  bool SaveFileName(const QString& filter, QString& fileName, int& filterIndex) override;

 private:
  // A script's message belongs over whatever window the user is looking at (a dialog the script
  // opened, the template editor), not behind it.
  QWidget* Owner() const;
  bool RunFileDialog(bool save, const QString& filter, QString& fileName, int& filterIndex);

  QWidget* FWindow;
};

}  // namespace pw::ui
