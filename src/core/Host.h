// IHost: every request of the project core that needs an answer from the user or from
// another window: questions, messages, file dialogs, the add-page window, the new-project
// wizard, the template editor's unsaved files and the Save As types that other parts write.
// The user-interface thread calls it; the module never owns its host. Notifications that need
// no answer are TModule's signals instead.
#pragma once

#include <QString>
#include <QStringList>

namespace pw {

enum class TAnswer { Yes, No, Cancel };

// Save As file types, as the save dialog's 1-based filter index.
enum TSaveType { stProject = 1, stSiteTemplate = 2, stTavrinDocument = 3 };

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
  // Per filter, in filter order: the folder the dialog moves to when the user picks that type;
  // an empty or missing entry leaves the dialog where it is.
  QStringList TypeFolders;
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

  // Runs the new-project wizard modally; true when it ended with OK (it has then called
  // TModule::CreateProject).
  virtual bool RunNewProjectWizard() = 0;
  // Lets the template editor settle its unsaved files; false when the user cancelled.
  virtual bool ConfirmTemplateChanges() = 0;

  // Save As types other than the project: whether this program can write the type, and
  // writing it (false = not saved; the writer has told the user why).
  virtual bool CanSaveAsType(TSaveType type) = 0;
  virtual bool SaveAsType(TSaveType type, const QString& fileName) = 0;
};

}  // namespace pw
