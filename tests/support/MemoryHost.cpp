#include "support/MemoryHost.h"

namespace pw::tests {

namespace {

// Takes the next prepared choice of a dialog into `out`; false when none is left or it cancels.
template <typename T>
bool TakeChoice(std::deque<std::optional<T>>& choices, T& out) {
  if (choices.empty()) return false;
  const bool chosen = choices.front().has_value();
  if (chosen) out = *choices.front();
  choices.pop_front();
  return chosen;
}

}  // namespace

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
  return TakeChoice(OpenChoices, dialog.FileName);
}

bool TMemoryHost::SaveFileDialog(TFileDialog& dialog) {
  SaveDialogs.push_back(dialog);
  std::pair<QString, int> choice;
  if (!TakeChoice(SaveChoices, choice)) return false;
  dialog.FileName = choice.first;
  dialog.FilterIndex = choice.second;
  return true;
}

bool TMemoryHost::BrowseForFolder(const QString&, QString& folder) {
  return TakeChoice(FolderChoices, folder);
}

bool TMemoryHost::AskAddPage(TAddPageFields& fields) {
  return TakeChoice(AddPageChoices, fields);
}

bool TMemoryHost::RunNewProjectWizard() { return Wizard && Wizard(); }

bool TMemoryHost::ConfirmTemplateChanges() {
  ++TemplateConfirmations;
  return TemplateChangesSettled;
}

bool TMemoryHost::SaveAsType(TSaveType type, const QString& fileName) {
  const auto writer = SaveAsWriters.find(type);
  return writer != SaveAsWriters.end() && writer->second(fileName);
}

}  // namespace pw::tests
