// TModule: the central data module. It owns the project state, the settings file and the
// recent-files list, and carries out the project commands (new, open, save, recent files, the
// page list, add and delete page). It reaches the editor only through ITextEditor and the
// user only through IHost; both are borrowed and must outlive the module.
//
// Commands report failure by a false result; questions and messages go through the host.
#pragma once

#include "core/ConfigFile.h"
#include "core/Host.h"
#include "core/ProjectFile.h"
#include "core/TextEditor.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace pw {

class TGenerator;
class IBuildScripts;

// One entry of the page list as the main window shows it.
struct TPageListEntry {
  QString Caption;
  int Line = 0;  // 1-based line of the section header; 0 for the "Project" entry
  int Icon = 0;  // 0 = fragment (no extension), 1 = file, 2 = the project

  friend bool operator==(const TPageListEntry&, const TPageListEntry&) = default;
};

// Save As file types, as the save dialog's 1-based filter index.
enum TSaveType { stProject = 1, stSiteTemplate = 2, stTavrinDocument = 3 };

class TModule {
 public:
  TModule(ITextEditor& editor, IHost& host);
  ~TModule();
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;

  ITextEditor& Editor() { return FEditor; }
  IHost& Host() { return FHost; }

  // --- Project state (ModelProject.cpp) ---
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
  bool CmNew();
  bool CmOpen();
  bool CmSave();
  bool CmSaveAs();

  // --- Recent files and settings (ModelSettings.cpp) ---
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

  // --- Page list (ModelPages.cpp) ---
  void RefreshPageList(bool forced);
  const std::vector<TPageListEntry>& PageList() const { return FPageList; }
  int SelectedPage() const { return FSelectedPage; }
  void SetSelectedPage(int index);
  QString CurrentPageName() const;
  bool CanDeletePage() const;
  // False when cancelled.
  bool CmAddPage();
  bool CmDeletePage();

  // --- Site build (defined with the generator, ModelBuild.cpp) ---
  bool BuildSite();
  bool CreateProject(const QString& projectPath, const QString& templatePath);
  // The generator, created on first use and owned by the module.
  TGenerator& Generator();
  // The script steps of a build (borrowed); none = builds run without scripts.
  void SetBuildScripts(IBuildScripts* scripts) { FBuildScripts = scripts; }

  // --- Hooks for parts that live elsewhere; each may be left empty ---
  // Save As types 2 and 3; false (the default when empty) means "not saved".
  std::function<bool(const QString& fileName)> SaveAsSiteTemplate;
  std::function<bool(const QString& fileName)> SaveAsTavrinDocument;
  // Asked first by ConfirmSaveChanges (the template editor's unsaved files).
  std::function<bool()> ConfirmTemplateChanges;
  // Runs the project's scripts again (after a load, or when the used units changed).
  std::function<void()> CompileScripts;
  // After a project was loaded (the template editor reloads its folder).
  std::function<void()> ProjectLoaded;
  // The new-project wizard, run modally; true when it ended with OK (it calls CreateProject).
  std::function<bool()> ShowNewProjectWizard;
  // The Preview command, run after the wizard when the settings ask for it.
  std::function<void()> Preview;
  // After SetProjectFileName (other windows retitle themselves).
  std::function<void()> ProjectFileNameChanged;

 private:
  bool SaveAsType(const QString& fileName, int type);
  // The content text of the editor as UTF-8.
  std::string ContentUtf8() const;
  // The line break the editor's text uses (CR LF when it holds one, else LF).
  QString LineBreak() const;

  ITextEditor& FEditor;
  IHost& FHost;
  std::shared_ptr<TGenerator> FGenerator;  // shared_ptr: deletable where TGenerator is incomplete
  IBuildScripts* FBuildScripts = nullptr;
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
