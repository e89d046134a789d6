#include "ui/ScriptDialogs.h"

#include "ui/QtHost.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace pw::ui {

QWidget* TScriptDialogs::Owner() const {
  QWidget* active = QApplication::activeWindow();
  return active ? active : FWindow;
}

void TScriptDialogs::Alert(const QString& text) {
  QMessageBox::information(Owner(), QApplication::applicationName(), text);
}

QString TScriptDialogs::BrowseForFolder(const QString& title) {
  return QFileDialog::getExistingDirectory(Owner(), title, QString());
}

bool TScriptDialogs::RunFileDialog(bool save, const QString& filter, QString& fileName, int& filterIndex) {
  QFileDialog box(Owner());
  box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QStringList filters = TQtHost::NameFilters(filter);
  if (!filters.isEmpty()) box.setNameFilters(filters);
  if (filterIndex >= 1 && filterIndex <= filters.size()) box.selectNameFilter(filters[filterIndex - 1]);
  if (!fileName.isEmpty()) box.selectFile(fileName);
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
  fileName = box.selectedFiles().first();
  filterIndex = static_cast<int>(filters.indexOf(box.selectedNameFilter())) + 1;
  if (filterIndex < 1) filterIndex = 1;
  return true;
}

bool TScriptDialogs::OpenFileName(const QString& filter, QString& fileName, int& filterIndex) {
  return RunFileDialog(false, filter, fileName, filterIndex);
}

bool TScriptDialogs::SaveFileName(const QString& filter, QString& fileName, int& filterIndex) {
  return RunFileDialog(true, filter, fileName, filterIndex);
}

}  // namespace pw::ui
