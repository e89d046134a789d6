// IHost: how the project core reaches the user (questions, messages, file dialogs, the
// add-page window, window captions), and TMemoryHost, whose answers tests preset and which
// records what was asked. The module never owns its host.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace pw {

enum class TAnswer { Yes, No, Cancel };

enum class TMessageKind { Information, Warning, Error };

// A file dialog's settings in and the user's choice out. The filter is written as
// "Description|*.ext;*.ext2|Description|*.ext"; FilterIndex is 1-based.
struct TFileDialog {
  QString Title;
  QString Filter;
  int FilterIndex = 1;
  QString FileName;
  QString DefaultExt;  // with its dot
  QString InitialDir;
};

// The fields of the add-page window.
struct TAddPageFields {
  QString Name;
  QString Title;
  QString Description;
  QString Keywords;
};

class IHost {
 public:
  virtual ~IHost() = default;

  virtual TAnswer AskYesNoCancel(const QString& title, const QString& text) = 0;
  virtual bool AskYesNo(const QString& title, const QString& text) = 0;
  virtual void ShowMessage(const QString& title, const QString& text, TMessageKind kind) = 0;

  // True when the user chose a file; dialog.FileName (and FilterIndex) then hold the choice.
  virtual bool OpenFileDialog(TFileDialog& dialog) = 0;
  virtual bool SaveFileDialog(TFileDialog& dialog) = 0;
  // True when the user chose a folder; folder then holds it.
  virtual bool BrowseForFolder(const QString& title, QString& folder) = 0;

  // Shows the add-page window; true on OK, with the fields filled.
  virtual bool AskAddPage(TAddPageFields& fields) = 0;

  // The main window's caption changed (the application's title follows it).
  virtual void SetMainCaption(const QString& caption) = 0;
};

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
  void SetMainCaption(const QString& caption) override { Caption = caption; }

  // Preset answers, consumed front first.
  std::deque<TAnswer> Answers;                // for AskYesNoCancel and AskYesNo (Yes = yes)
  std::deque<std::optional<QString>> OpenChoices;  // nullopt = cancel
  // A chosen name with its 1-based filter index; nullopt = cancel.
  std::deque<std::optional<std::pair<QString, int>>> SaveChoices;
  std::deque<std::optional<QString>> FolderChoices;
  std::deque<std::optional<TAddPageFields>> AddPageChoices;

  // Records.
  std::vector<TQuestion> Questions;
  std::vector<TQuestion> Messages;
  std::vector<TFileDialog> OpenDialogs;  // as shown
  std::vector<TFileDialog> SaveDialogs;  // as shown
  QString Caption;
};

}  // namespace pw
