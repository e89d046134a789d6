// TScriptRuntime: the script host the application runs its scripts in. It is a TActiveScript
// that is itself scriptable and publishes itself as the global-members item "Runtime", so its
// members are plain global functions in every script: creating objects by name, messages and
// file dialogs, file-name and string helpers, conversions between byte arrays and text, ISO 8601
// dates, the command line and background script threads (TScriptThread).
//
// Owned by its creator (the central module, the command line's script command); it owns the
// script threads it starts and waits for them when destroyed. It belongs to the thread that
// made it (the main thread). Script threads call its members from their own threads: members
// that only compute run on the calling thread, while those that touch the user, the event loop
// or the thread list are handed over to the main thread or refuse to block it (see each).
//
// Without user-interface hooks (SetUserInterface) the runtime is headless: Alert writes its
// text and a newline to standard output and the dialogs answer an empty text.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "scripting/ActiveScript.h"
#include "scripting/AutoObject.h"

namespace pw {

class TScriptThread;

// What the runtime asks of the user interface; the desktop application provides it. Called on
// the main thread.
class IScriptUserInterface {
 public:
  virtual ~IScriptUserInterface() = default;
  virtual void Alert(const QString& text) = 0;
  // The chosen folder, or an empty text when cancelled.
  virtual QString BrowseForFolder(const QString& title) = 0;
  // filter: pairs of description and pattern separated by '|'. True when a file was chosen;
  // filterIndex (1-based) then tells which filter was selected.
  virtual bool OpenFileName(const QString& filter, QString& fileName, int& filterIndex) = 0;
  virtual bool SaveFileName(const QString& filter, QString& fileName, int& filterIndex) = 0;
};

class TScriptRuntime : public TActiveScript, public TAutoTarget {
  PW_AUTO_CLASS(TScriptRuntime, TAutoTarget)

 public:
  static constexpr const char* kItemName = "Runtime";

  TScriptRuntime();
  // Stops every script thread of this runtime (interrupting bodies that do not stop by
  // themselves), then detaches its script face and closes the engine.
  ~TScriptRuntime() override;

  // A fresh engine, as TActiveScript's, that also offers the constructors scripts written for
  // Windows script hosts use (ActiveXObject, Enumerator, VBArray).
  HRESULT SetLanguage(const QString& language);

  // The script face (not counted; valid while the runtime lives).
  IDispatchEx* Dispatch() const { return FController.Get(); }

  // The arguments GetParamArray counts: by default the program's own arguments after its name.
  void SetParams(const QStringList& params);
  QStringList Params() const;
  // Null: headless. Borrowed; must outlive the runtime or be reset.
  void SetUserInterface(IScriptUserInterface* ui) { FUserInterface = ui; }

  // Free-threaded: each member decides where it runs (see the class comment).
  ThreadRef OwnerThread() const override { return nullptr; }

  // --- Script members (DispIDs 1 to 29).
  Variant CreateGUID();
  // Processes events until ms milliseconds have passed; on a script thread it waits there.
  void Pause(std::int32_t ms);
  void Alert(const QString& text);
  void Execute(const QString& target);
  QString BrowseForFolder(const QString& title);
  QString GetOpenFileName(const QString& filter);
  QString GetSaveFileName(const QString& filter);
  QString ExtractFilePath(const QString& name);
  QString ExtractFileName(const QString& name);
  QString ExtractFileExt(const QString& name);
  QString ExtractFileNameOnly(const QString& name);
  QString ChangeFileExt(const QString& name, const QString& ext);
  QString IncludeTrailingChar(const QString& text, const QString& suffix);
  QString ExcludeTrailingChar(const QString& text, const QString& suffix);
  bool FileExists(const QString& name);
  QString BinToHex(const Variant& bytes);
  Variant HexToBin(const QString& text);
  // A code page without a converter on this machine is a script error.
  QString BinToStr(const Variant& bytes, std::int32_t codePage);
  Variant StrToBin(const QString& text, std::int32_t codePage);
  std::int32_t GetLength(const Variant& value);
  QString Trim(const QString& text);
  QString Replace(const QString& text, const QString& oldText, const QString& newText);
  QString TranslateChars(const QString& text, const QString& from, const QString& to);
  Date DecodeDate(const QString& text, Date fallback);
  QString EncodeDate(Date date);
  ComPtr<IDispatch> CreateObject(const QString& name);
  // Each argument is a function, or null/undefined to skip it (the body is required).
  void CreateThread(const Variant& onCreate, const Variant& body, const Variant& onTerminate);
  // On the main thread: sets every thread's terminated flag and waits, processing events, until
  // all have ended. On a script thread: sets the flags only (waiting there could never end).
  void TerminateThreads();
  Variant GetParamArray(std::int32_t n);

  // The script threads of this runtime that have not ended yet.
  int LiveThreads() const;

 private:
  friend class TScriptThread;

  // Reports a script error of another thread to OnScriptError, on the runtime's thread.
  void ReportFromAnyThread(const TScriptError& error);
  // Receives the last step of each thread, on the runtime's thread.
  QObject* MainContext() const { return FContext.get(); }
  // Removes the thread from the list and frees it; on the runtime's thread.
  void ThreadEnded(TScriptThread* thread);
  void StopThreads(bool interrupt);

  ComPtr<TAutoController> FController;
  std::unique_ptr<QObject> FContext;  // lives on the runtime's thread; receives thread steps
  IScriptUserInterface* FUserInterface = nullptr;
  mutable std::mutex FParamsMutex;
  QStringList FParams;
  mutable std::mutex FThreadsMutex;
  std::vector<TScriptThread*> FThreads;  // owned; each frees itself through ThreadEnded
};

// Adds the constructors ActiveXObject, Enumerator and VBArray to a host's engine (after its
// SetLanguage); they create registry objects through CreateObject, walk collections and turn
// arrays into script arrays.
HRESULT AddHostShims(TActiveScript& host);

// The file name of GetSaveFileName: name with the extension of the selected filter's pattern
// appended when its own extension differs (ignoring case). filterIndex is 1-based.
QString ApplyFilterExtension(const QString& name, const QString& filter, int filterIndex);

}  // namespace pw
