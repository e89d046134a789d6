// TModule: the project lifecycle (reset, titles, load, save, Save As).
#include "core/Module.h"

#include "core/Texts.h"
#include "generator/ScriptHooks.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "runtime/BuildScripts.h"  // the constructor destroys the members on failure
#include "runtime/ScriptRuntime.h"

#include <QDir>

namespace pw {
namespace {

// The file name without folder and extension.
QString BareName(const QString& path) {
  return platform::ChangeFileExt(platform::ExtractFileName(path), QString());
}

// The extension of the filter pattern at a 1-based index ("*.pwproj" gives ".pwproj").
QString FilterExt(const QString& filter, int index) {
  const QStringList parts = filter.split(u'|');
  const qsizetype at = 2 * (qsizetype(index) - 1) + 1;
  if (index < 1 || at >= parts.size()) return QString();
  return platform::ExtractFileExt(parts[at].split(u';').first());
}

}  // namespace

TModule::TModule(ITextEditor& editor, IHost& host)
    : FEditor(editor), FHost(host), FConfig(std::make_unique<TConfigFile>()) {
  SetupApplicationConfigFile(*FConfig);
  FConfig->OnLoad = [this](TConfigFile& config) {
    FSearchSettings = ReadSearchSettings(config);
    FRecentFiles = ReadRecentFiles(config);
  };
  FConfig->OnSave = [this](TConfigFile& config) {
    WriteSearchSettings(config, FSearchSettings);
    WriteRecentFiles(config, FRecentFiles);
  };
  ResetProject();
  SetProjectFileName(QString());
}

void TModule::SetModified(bool modified) {
  FEditor.SetModified(modified);
  emit ModifiedChanged(modified);
}

void TModule::CompileScripts() {
  UpdateScriptFolders();
  if (FBuildScripts) FBuildScripts->CompileScripts();
}

std::string TModule::ContentUtf8() const { return FEditor.Text().toStdString(); }

QString TModule::LineBreak() const {
  return FEditor.Text().contains(QLatin1String("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");
}

void TModule::ResetProject() {
  FEditor.SetText(QString());
  FProject.Reset();
  SetModified(false);
}

void TModule::SetProjectFileName(const QString& path) {
  QString full = platform::NormalizeSeparators(path);
  if (!full.isEmpty() && !platform::IsAbsolutePath(full)) full = QDir::current().absoluteFilePath(full);
  FProject.ProjectPath = full;
  const QString title = LocalText("Title");
  if (full.isEmpty()) {
    FMainCaption = title;
    FBasePath = platform::IncludeTrailingSeparator(QDir::currentPath());
  } else {
    QString name = BareName(full);
    if (name.isEmpty()) name = LocalText("Untitled");
    FMainCaption = name + QStringLiteral(" - ") + title;
    FBasePath = platform::ExtractFileDir(full);
    FSaveFileName = full;
  }
  emit TitleChanged(FMainCaption);
}

bool TModule::ConfirmSaveChanges() {
  if (!FHost.ConfirmTemplateChanges()) return false;
  if (!FEditor.Modified()) return true;
  QString name = BareName(FProject.ProjectPath);
  if (name.isEmpty()) name = LocalText("Untitled");
  switch (FHost.AskYesNoCancel(LocalText("Title"), LocalFormat("SaveChanges", name))) {
    case TAnswer::Yes: return SaveProject(FProject.ProjectPath);
    case TAnswer::No: return true;
    case TAnswer::Cancel: break;
  }
  return false;
}

bool TModule::LoadProject(const QString& path) {
  if (!ConfirmSaveChanges()) return false;
  QString fileName = path;
  if (fileName.isEmpty()) {
    TFileDialog dialog;
    dialog.Title = LocalText("OpenDialog.Title");
    dialog.Filter = LocalText("OpenDialog.Filter");
    dialog.FileName = FOpenFileName;
    if (!FHost.OpenFileDialog(dialog) || dialog.FileName.isEmpty()) return false;
    fileName = dialog.FileName;
  }
  fileName = platform::NormalizeSeparators(fileName);

  // Read before resetting, so that an unreadable file leaves the open project as it was.
  TProjectFileData data;
  QString error;
  if (!LoadProjectFile(fileName, data, &error)) {
    UpdateRecentFiles(fileName);
    FHost.ShowMessage(LocalText("Title"), LocalFormat("CannotOpen", fileName) + QStringLiteral("\n") + error,
                      TMessageKind::Error);
    return false;
  }

  ResetProject();
  FEditor.SetText(QString::fromStdString(data.Content));
  data.State.ProjectPath.clear();
  data.State.ProjectTitle.clear();
  data.State.UsedUnits.clear();
  FProject = data.State;
  SetProjectFileName(fileName);
  UpdateRecentFiles(FProject.ProjectPath);
  RefreshPageList(true);
  SetModified(false);

  if (!data.Script.empty()) {
    const QString scriptPath = TemplateFolder() + QStringLiteral("template.js");
    if (!platform::FileExists(scriptPath)) platform::WriteWholeFile(scriptPath, data.Script);
  }
  emit ProjectLoaded();
  CompileScripts();
  return true;
}

bool TModule::SaveProject(const QString& fileName) {
  if (fileName.isEmpty()) return CmSaveAs();
  const QString path = platform::NormalizeSeparators(fileName);
  TProjectFileData data;
  data.Content = ContentUtf8();
  data.State = FProject;
  QString error;
  if (!SaveProjectFile(path, data, &error)) {
    FHost.ShowMessage(LocalText("Title"), LocalFormat("CannotSave", path) + QStringLiteral("\n") + error,
                      TMessageKind::Error);
    return false;
  }
  SetProjectFileName(path);
  SetModified(false);
  return true;
}

bool TModule::CmNew() {
  if (!ConfirmSaveChanges() || !FHost.RunNewProjectWizard()) return false;
  if (ReadPreviewNewProject(*FConfig)) emit PreviewRequested();
  return true;
}

bool TModule::CmOpen() { return LoadProject(QString()); }

bool TModule::CmSave() {
  if (FProject.ProjectPath.isEmpty()) return CmSaveAs();
  return SaveProject(FProject.ProjectPath);
}

bool TModule::CmSaveAs() {
  TFileDialog dialog;
  dialog.Filter = LocalText("SaveDialog.Filter");
  dialog.FilterIndex = stProject;
  dialog.FileName = platform::ChangeFileExt(FSaveFileName, QString());
  // A site template goes to the template library by default, the other types beside the project.
  dialog.TypeFolders = {ProjectFolder(), TemplateLibrary(), ProjectFolder()};
  // No default extension: the chosen type's extension is added below, so a bare name gets
  // exactly that extension once.
  if (!FHost.SaveFileDialog(dialog) || dialog.FileName.isEmpty()) return false;
  QString name = dialog.FileName;
  const QString ext = FilterExt(dialog.Filter, dialog.FilterIndex);
  if (!ext.isEmpty() && platform::ExtractFileExt(name).toLower() != ext.toLower()) name += ext;
  return SaveAs(name, dialog.FilterIndex);
}

bool TModule::SaveAs(const QString& fileName, int type) {
  if (type != stSiteTemplate && type != stTavrinDocument) return SaveProject(fileName);
  const auto saveType = static_cast<TSaveType>(type);
  if (!FHost.CanSaveAsType(saveType)) {
    FHost.ShowMessage(LocalText("Title"), LocalText("SaveTypeUnavailable"), TMessageKind::Warning);
    return false;
  }
  return FHost.SaveAsType(saveType, fileName);
}

}  // namespace pw
