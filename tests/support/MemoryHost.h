// TMemoryHost: a host for tests whose answers are preset and which records what was asked.
#pragma once

#include "core/Host.h"

#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace pw::tests {

// Answers from queues that tests fill beforehand; an empty queue answers Cancel, No, or a
// cancelled dialog. Everything asked or shown is recorded in order.
class TMemoryHost : public IHost {
 public:
  struct TQuestion {
    QString Title;
    QString Text;
  };

  TAnswer AskYesNoCancel(const QString& title, const QString& text) override;
  bool AskYesNo(const QString& title, const QString& text) override;
  void ShowMessage(const QString& title, const QString& text, TMessageKind kind) override;
  bool OpenFileDialog(TFileDialog& dialog) override;
  bool SaveFileDialog(TFileDialog& dialog) override;
  bool BrowseForFolder(const QString& title, QString& folder) override;
  bool AskAddPage(TAddPageFields& fields) override;
  bool RunNewProjectWizard() override;
  bool ConfirmTemplateChanges() override;
  bool CanSaveAsType(TSaveType type) override { return SaveAsWriters.count(type) > 0; }
  bool SaveAsType(TSaveType type, const QString& fileName) override;

  // Preset answers, consumed front first.
  std::deque<TAnswer> Answers;                // for AskYesNoCancel and AskYesNo (Yes = yes)
  std::deque<std::optional<QString>> OpenChoices;  // nullopt = cancel
  // A chosen name with its 1-based filter index; nullopt = cancel.
  std::deque<std::optional<std::pair<QString, int>>> SaveChoices;
  std::deque<std::optional<QString>> FolderChoices;
  std::deque<std::optional<TAddPageFields>> AddPageChoices;
  // The wizard's outcome (false when unset) and the template editor's answer.
  std::function<bool()> Wizard;
  bool TemplateChangesSettled = true;
  // The writers of the other Save As types; a type without one is unavailable.
  std::map<TSaveType, std::function<bool(const QString& fileName)>> SaveAsWriters;

  // Records.
  std::vector<TQuestion> Questions;
  std::vector<TQuestion> Messages;
  std::vector<TFileDialog> OpenDialogs;  // as shown
  std::vector<TFileDialog> SaveDialogs;  // as shown
  int TemplateConfirmations = 0;
};

}  // namespace pw::tests
