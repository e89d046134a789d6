#include "core/Host.h"

namespace pw {

TAnswer TMemoryHost::AskYesNoCancel(const QString& title, const QString& text) {
  Questions.push_back({title, text});
  if (Answers.empty()) return TAnswer::Cancel;
  const TAnswer a = Answers.front();
  Answers.pop_front();
  return a;
}

bool TMemoryHost::AskYesNo(const QString& title, const QString& text) {
  Questions.push_back({title, text});
  if (Answers.empty()) return false;
  const TAnswer a = Answers.front();
  Answers.pop_front();
  return a == TAnswer::Yes;
}

void TMemoryHost::ShowMessage(const QString& title, const QString& text, TMessageKind) {
  Messages.push_back({title, text});
}

bool TMemoryHost::OpenFileDialog(TFileDialog& dialog) {
  OpenDialogs.push_back(dialog);
  if (OpenChoices.empty()) return false;
  const std::optional<QString> choice = OpenChoices.front();
  OpenChoices.pop_front();
  if (!choice) return false;
  dialog.FileName = *choice;
  return true;
}

bool TMemoryHost::SaveFileDialog(TFileDialog& dialog) {
  SaveDialogs.push_back(dialog);
  if (SaveChoices.empty()) return false;
  const auto choice = SaveChoices.front();
  SaveChoices.pop_front();
  if (!choice) return false;
  dialog.FileName = choice->first;
  dialog.FilterIndex = choice->second;
  return true;
}

bool TMemoryHost::BrowseForFolder(const QString&, QString& folder) {
  if (FolderChoices.empty()) return false;
  const std::optional<QString> choice = FolderChoices.front();
  FolderChoices.pop_front();
  if (!choice) return false;
  folder = *choice;
  return true;
}

bool TMemoryHost::AskAddPage(TAddPageFields& fields) {
  if (AddPageChoices.empty()) return false;
  const std::optional<TAddPageFields> choice = AddPageChoices.front();
  AddPageChoices.pop_front();
  if (!choice) return false;
  fields = *choice;
  return true;
}

}  // namespace pw
