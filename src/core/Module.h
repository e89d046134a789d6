// TModule: the central data module. It owns the project state, the settings file and the
// recent-files list, and carries out the project commands (new, open, save, recent files, the
// page list, add and delete page, build). It reaches the editor only through ITextEditor, the
// user and the other windows only through IHost, and the scripts only through IBuildScripts;
// all three are borrowed and must outlive the module. Used on the user-interface thread only.
//
// Its parts: ModuleProject.cpp (project lifecycle), ModulePages.cpp (the page list),
// ModuleBuild.cpp (site build and project creation), ModuleSettings.cpp (settings, recent
// files, start-up). Commands report failure by a false result; requests that need an answer
// go through the host; what several windows listen to is a signal.
#pragma once

#include "core/ApplicationSettings.h"
#include "core/Host.h"
#include "core/ProjectFile.h"
#include "core/TextEditor.h"
#include "markup/ContentText.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

namespace pw {

class TGenerator;
class IBuildScripts;
class TBuildScripts;
class TScriptRuntime;

// One entry of the page list as the main window shows it (caption in UTF-8).
using TPageListEntry = content::TPageEntry;

class TModule : public QObject {
  Q_OBJECT

 public:
  TModule(ITextEditor& editor, IHost& host);
  ~TModule();
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;

  ITextEditor& Editor() { return FEditor; }
  IHost& Host() { return FHost; }

  // --- Project state (ModuleProject.cpp) ---
  const TProjectState& Project() const { return FProject; }
  // The upload window reads and writes the FTP fields and the upload list here.
  TProjectState& Project() { return FProject; }
  const QString& ProjectPath() const { return FProject.ProjectPath; }
  const QString& ProjectTitle() const { return FProject.ProjectTitle; }

  // Folders, each ending in '/'; empty project path gives an empty project folder.
  QString ProjectFolder() const;
  QString TemplateFolder() const;
  QString LibraryFolder() const;
  QString ScriptLibrary() const;
  QString TemplateLibrary() const;
  QString DefaultProjectFolder() const;
  // The folder that relative output paths start from: the project folder, or the process's
  // current folder for an untitled project.
  const QString& BasePath() const { return FBasePath; }
  // The main window's caption, as last set by SetProjectFileName.
  const QString& MainCaption() const { return FMainCaption; }

  void ResetProject();
  void SetProjectFileName(const QString& path);
  // True when the caller may discard or replace the current project.
  bool ConfirmSaveChanges();
  // Empty path = ask with the open dialog. False when cancelled or unreadable.
  bool LoadProject(const QString& path);
  // Empty path = Save As. False on failure (the project stays modified).
  bool SaveProject(const QString& path);

  // Asks to save changes, then runs the new-project wizard; true when a project was created.
  // Asks for the preview afterwards when the settings say so.
  bool CmNew();
  bool CmOpen();
  bool CmSave();
  bool CmSaveAs();

  // --- Recent files and settings (ModuleSettings.cpp) ---
  const QStringList& RecentFiles() const { return FRecentFiles; }
  void SetRecentFiles(const QStringList& files) { FRecentFiles = files; }
  void UpdateRecentFiles(const QString& path);
  bool CmRecentFileOpen(const QString& path);
  // The settings file; loading fills the recent-files list, saving writes it back.
  TConfigFile& Config() { return *FConfig; }
  void LoadSettings();
  void SaveSettings();
  // The find and replace options, filled by LoadSettings.
  TSearchSettings& SearchSettings() { return FSearchSettings; }
  // The open dialog's preset file name (the newest recent project that still exists).
  const QString& OpenFileName() const { return FOpenFileName; }

  // Start-up with the program's arguments (without the program name): opens the first one
  // when it names an existing file and returns true; otherwise resets the project, presets
  // the open dialog with the newest existing recent project and returns false.
  bool OpenStartupProject(const QStringList& args);
  // The deferred second half of start-up: opens the preset recent project, if any.
  bool ReopenRecentProject();

  // --- Page list (ModulePages.cpp) ---
  void RefreshPageList(bool forced);
  const std::vector<TPageListEntry>& PageList() const { return FPageList; }
  int SelectedPage() const { return FSelectedPage; }
  void SetSelectedPage(int index);
  QString CurrentPageName() const;
  bool CanDeletePage() const;
  // False when cancelled.
  bool CmAddPage();
  bool CmDeletePage();

  // --- Site build (defined with the generator, ModuleBuild.cpp) ---
  bool BuildSite();
  // What Browse opens after a build: the project-wide base_url, or else the current page's
  // file in the output folder; empty when there is neither (the caret is not in a page).
  QString BrowseTarget();
  // Creates the project's files (blank, or from the site template file templatePath) and
  // opens the new, unsaved project. False with the reason when the files could not be made.
  bool CreateProject(const QString& projectPath, const QString& templatePath, QString* error = nullptr);
  // The generator, created on first use and owned by the module.
  TGenerator& Generator();
  // The script steps of a build (borrowed); none = builds run without scripts. The module
  // also compiles the scripts again after a load, a creation, or a change of the used units.
  void SetBuildScripts(IBuildScripts* scripts) { FBuildScripts = scripts; }

  // --- Markup editing commands (ModuleEditing.cpp) ---
  // Each writes page markup into the editor at its selection or the caret's line, as one undo
  // step. The inline wrappers do nothing without a selection.
  bool SelectionAvailable() const;
  void CmHeader1();
  void CmHeader2();
  void CmHeader3();
  void CmBold();
  void CmItalic();
  void CmBoldItalic();
  void CmInsertLink();
  // Asks for a picture with the open dialog, starting in the output folder.
  void CmInsertImage();
  void CmUnorderedList();
  void CmOrderedList();
  void CmPreformatted();
  // The path a chosen picture is written with: relative to the output folder, or "../" and
  // relative to the project's folder, or unchanged; always with forward slashes.
  QString ImageInsertPath(const QString& file);

  // --- The project's scripts (ModuleScripts.cpp) ---
  // Creates the module's script runtime and attaches the project's scripts to the builds: from
  // then on template.js and the used units are compiled, their hooks run and their errors are
  // shown through the host as a "Script Error" message. Called once at start-up.
  void EnableScripts();
  // The runtime and the scripts; null until EnableScripts.
  TScriptRuntime* ScriptRuntime() const { return FScriptRuntime.get(); }
  TBuildScripts* Scripts() const { return FScripts.get(); }
  // The captions of the tasks the scripts registered, in order (the task list).
  QStringList TaskCaptions() const;
  // Runs the task at that index with the generator as the build left it; false when there is
  // no such task or a script error was reported.
  bool RunTask(int index);
  // Compiles the scripts again (the template editor saved a ".js" file).
  void RecompileScripts() { CompileScripts(); }
  // Calls the scripts' "preview" or else "_preview" after a build; false when they define
  // neither and the built-in preview should run.
  bool RunPreviewScript();

 signals:
  // The main window's caption changed with the project's file name (every window that shows
  // the project's name retitles itself).
  void TitleChanged(const QString& caption);
  // A project was loaded (the template editor reloads its folder).
  void ProjectLoaded();
  // The page list's entries changed after a refresh.
  void PageListChanged();
  // The module itself set or cleared the editor's modified flag (load, save, reset, create);
  // edits by the user are announced by the editor.
  void ModifiedChanged(bool modified);
  // The new project should be previewed (after the wizard, when the settings ask for it).
  void PreviewRequested();
  // The task list changed: emptied by a compilation or a task added. Shown when not empty.
  void TasksChanged();

 private:
  // Runs the project's scripts again when scripts are attached.
  void CompileScripts();
  // Points the module's own scripts at the current template and library folders.
  void UpdateScriptFolders();
  // Sets the editor's modified flag and announces it.
  void SetModified(bool modified);
  bool SaveAs(const QString& fileName, int type);
  // The content text of the editor as UTF-8.
  std::string ContentUtf8() const;
  // Markup editing (ModuleEditing.cpp).
  void SetHeaderLevel(int level);
  void ToggleLinePrefix(const QString& other, const QString& own);
  void WrapSelection(const QString& marker);
  QString FLinkAddress = QStringLiteral("http://");
  QString FLinkText = QStringLiteral("More info...");
  // The line break the editor's text uses (CR LF when it holds one, else LF).
  QString LineBreak() const;

  ITextEditor& FEditor;
  IHost& FHost;
  std::shared_ptr<TGenerator> FGenerator;  // shared_ptr: deletable where TGenerator is incomplete
  IBuildScripts* FBuildScripts = nullptr;
  // The scripts hold the runtime's functions, so they are declared after it and go first.
  std::unique_ptr<TScriptRuntime> FScriptRuntime;
  std::unique_ptr<TBuildScripts> FScripts;
  std::unique_ptr<TConfigFile> FConfig;
  TProjectState FProject;
  QStringList FRecentFiles;
  QString FBasePath;
  QString FMainCaption;
  TSearchSettings FSearchSettings;
  QString FOpenFileName;  // the open dialog's preset name
  QString FSaveFileName;  // the save dialog's preset name
  std::vector<TPageListEntry> FPageList;
  int FSelectedPage = 0;
  std::uint64_t FRefreshedRevision = ~std::uint64_t(0);
};

}  // namespace pw
