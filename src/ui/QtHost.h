// TQtHost: the project core's IHost on Qt widgets: message boxes with the product's titles and
// buttons, file dialogs with the core's "Name|*.a;*.b" filters, the add-page dialog, and Save
// As a site template. Windows that come in later (the new-project wizard) answer "not yet
// available"; so does Save As a packaged document.
// Owned by the main window, whose window parents every dialog; GUI thread only.
#pragma once

#include "core/Host.h"

#include <QStringList>

class QWidget;

namespace pw {
class TModule;
}

namespace pw::ui {

class TQtHost : public IHost {
 public:
  explicit TQtHost(QWidget* window = nullptr) : FWindow(window) {}
  void SetWindow(QWidget* window) { FWindow = window; }
  // The module that Save As a site template saves (borrowed; none = the type is unavailable).
  void SetModule(TModule* module) { FModule = module; }

  TAnswer AskYesNoCancel(const QString& title, const QString& text) override;
  bool AskYesNo(const QString& title, const QString& text) override;
  void ShowMessage(const QString& title, const QString& text, TMessageKind kind) override;
  bool OpenFileDialog(TFileDialog& dialog) override;
  bool SaveFileDialog(TFileDialog& dialog) override;
  bool BrowseForFolder(const QString& title, QString& folder) override;
  bool AskAddPage(TAddPageFields& fields) override;
  bool RunNewProjectWizard() override;
  bool ConfirmTemplateChanges() override { return true; }
  bool CanSaveAsType(TSaveType type) override;
  bool SaveAsType(TSaveType type, const QString& fileName) override;

  // "Web Site Project (*.pwproj)|*.pwproj;*.pwpproj" as Qt's name filters, one per pair.
  static QStringList NameFilters(const QString& filter);

 private:
  bool RunFileDialog(TFileDialog& dialog, bool save);

  QWidget* FWindow;
  TModule* FModule = nullptr;
};

}  // namespace pw::ui
