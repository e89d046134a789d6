// TQtHost: the project core's IHost on Qt widgets: message boxes with the product's titles and
// buttons, file dialogs with the core's "Name|*.a;*.b" filters, the add-page dialog. Windows
// that come in later (the new-project wizard) answer "not yet available".
// Owned by the main window, whose window parents every dialog; GUI thread only.
#pragma once

#include "core/Host.h"

#include <QStringList>

class QWidget;

namespace pw::ui {

class TQtHost : public IHost {
 public:
  explicit TQtHost(QWidget* window = nullptr) : FWindow(window) {}
  void SetWindow(QWidget* window) { FWindow = window; }

  TAnswer AskYesNoCancel(const QString& title, const QString& text) override;
  bool AskYesNo(const QString& title, const QString& text) override;
  void ShowMessage(const QString& title, const QString& text, TMessageKind kind) override;
  bool OpenFileDialog(TFileDialog& dialog) override;
  bool SaveFileDialog(TFileDialog& dialog) override;
  bool BrowseForFolder(const QString& title, QString& folder) override;
  bool AskAddPage(TAddPageFields& fields) override;
  bool RunNewProjectWizard() override;
  bool ConfirmTemplateChanges() override { return true; }
  bool CanSaveAsType(TSaveType type) override { return false; }
  bool SaveAsType(TSaveType type, const QString& fileName) override { return false; }

  // "Web Site Project (*.pwproj)|*.pwproj;*.pwpproj" as Qt's name filters, one per pair.
  static QStringList NameFilters(const QString& filter);

 private:
  bool RunFileDialog(TFileDialog& dialog, bool save);

  QWidget* FWindow;
};

}  // namespace pw::ui
