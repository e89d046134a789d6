#include "ui/QtHost.h"

#include "core/SiteTemplateSave.h"
#include "core/Texts.h"
#include "ui/AddPageForm.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace pw::ui {
namespace {

// A message box whose buttons speak the window's language: Qt's own button texts are English
// unless translations of Qt itself are installed.
QMessageBox::StandardButton Show(QWidget* window, QMessageBox::Icon icon, const QString& title,
                                 const QString& text, QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, title, text, buttons, window);
  const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
      {QMessageBox::Yes, "Yes"}, {QMessageBox::No, "No"}, {QMessageBox::Cancel, "Cancel"},
      {QMessageBox::Ok, "OK"}};
  for (const auto& [button, key] : captions) {
    if (QAbstractButton* shown = box.button(button)) shown->setText(LocalText(key));
  }
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

TAnswer TQtHost::AskYesNoCancel(const QString& title, const QString& text) {
  const auto answer = Show(FWindow, QMessageBox::Question, title, text,
                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  return answer == QMessageBox::Yes ? TAnswer::Yes
         : answer == QMessageBox::No ? TAnswer::No
                                     : TAnswer::Cancel;
}

bool TQtHost::AskYesNo(const QString& title, const QString& text) {
  return Show(FWindow, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void TQtHost::ShowMessage(const QString& title, const QString& text, TMessageKind kind) {
  const QMessageBox::Icon icon = kind == TMessageKind::Information ? QMessageBox::Information
                                 : kind == TMessageKind::Warning   ? QMessageBox::Warning
                                                                   : QMessageBox::Critical;
  Show(FWindow, icon, title, text, QMessageBox::Ok);
}

QStringList TQtHost::NameFilters(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(u';', u' ');
    filters.append(parts[i] + QStringLiteral(" (") + patterns + u')');
  }
  return filters;
}

bool TQtHost::RunFileDialog(TFileDialog& dialog, bool save) {
  QFileDialog box(FWindow, dialog.Title);
  box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = NameFilters(dialog.Filter);
  box.setNameFilters(filters);
  if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size())
    box.selectNameFilter(filters[dialog.FilterIndex - 1]);
  if (!dialog.InitialDir.isEmpty()) box.setDirectory(dialog.InitialDir);
  if (!dialog.FileName.isEmpty()) box.selectFile(dialog.FileName);
  QObject::connect(&box, &QFileDialog::filterSelected, &box, [&](const QString& filter) {
    const qsizetype index = filters.indexOf(filter);
    if (index < 0 || index >= dialog.TypeFolders.size() || dialog.TypeFolders[index].isEmpty()) return;
    // Moving keeps the name typed so far.
    const QStringList typed = box.selectedFiles();
    box.setDirectory(dialog.TypeFolders[index]);
    if (!typed.isEmpty()) box.selectFile(QFileInfo(typed.first()).fileName());
  });
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
  dialog.FileName = box.selectedFiles().first();
  dialog.FilterIndex = static_cast<int>(filters.indexOf(box.selectedNameFilter())) + 1;
  return true;
}

bool TQtHost::OpenFileDialog(TFileDialog& dialog) { return RunFileDialog(dialog, false); }
bool TQtHost::SaveFileDialog(TFileDialog& dialog) { return RunFileDialog(dialog, true); }

bool TQtHost::BrowseForFolder(const QString& title, QString& folder) {
  const QString chosen = QFileDialog::getExistingDirectory(FWindow, title, folder);
  if (chosen.isEmpty()) return false;
  folder = chosen;
  return true;
}

bool TQtHost::AskAddPage(TAddPageFields& fields) {
  TAddPageForm form(FWindow);
  form.SetFields(fields);
  if (form.exec() != QDialog::Accepted) return false;
  fields = form.Fields();
  return true;
}

bool TQtHost::CanSaveAsType(TSaveType type) { return type == stSiteTemplate && FModule; }

bool TQtHost::SaveAsType(TSaveType type, const QString& fileName) {
  if (!CanSaveAsType(type)) return false;
  // No thumbnail yet: the page is rendered for one by the preview window, which comes later.
  return SaveModuleAsSiteTemplate(*FModule, fileName);
}

bool TQtHost::RunNewProjectWizard() {
  ShowMessage(LocalText("Title"), LocalText("NotYetAvailable"), TMessageKind::Information);
  return false;
}

}  // namespace pw::ui
