// TModule: the settings file, the recent-files list, start-up and the project's folders.
#include "core/Module.h"

#include "platform/FileIO.h"
#include "platform/Paths.h"

namespace pw {

QString TModule::ProjectFolder() const { return platform::ExtractFileDir(FProject.ProjectPath); }
QString TModule::TemplateFolder() const { return ProjectFolder() + QStringLiteral("template/"); }
QString TModule::LibraryFolder() const { return ReadLibraryPath(*FConfig); }
QString TModule::ScriptLibrary() const { return LibraryFolder() + QStringLiteral("Scripts/"); }
QString TModule::TemplateLibrary() const { return LibraryFolder() + QStringLiteral("Templates/"); }
QString TModule::DefaultProjectFolder() const { return ReadDefaultProjectPath(*FConfig); }

void TModule::LoadSettings() {
  FConfig->Load();
  FSearchSettings.TextAtCaret = true;
  FOpenFileName.clear();
  if (!FRecentFiles.isEmpty() && platform::FileExists(FRecentFiles.first())) FOpenFileName = FRecentFiles.first();
}

void TModule::SaveSettings() { FConfig->Save(); }

void TModule::UpdateRecentFiles(const QString& path) {
  const QString normalized = platform::NormalizeSeparators(path);
  FRecentFiles.removeAll(normalized);
  if (platform::FileExists(normalized)) FRecentFiles.prepend(normalized);
}

bool TModule::CmRecentFileOpen(const QString& path) {
  if (!platform::FileExists(path)) {
    FRecentFiles.removeAll(platform::NormalizeSeparators(path));
    return LoadProject(QString());
  }
  return LoadProject(path);
}

bool TModule::OpenStartupProject(const QStringList& args) {
  if (!args.isEmpty() && platform::FileExists(args.first()) && LoadProject(args.first())) return true;
  ResetProject();
  return false;
}

bool TModule::ReopenRecentProject() {
  if (FOpenFileName.isEmpty()) return false;
  return LoadProject(FOpenFileName);
}

}  // namespace pw
