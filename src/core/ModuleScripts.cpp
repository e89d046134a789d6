// TModule's part in the project's scripts: the runtime, the hooks and tasks they register, the
// script error report shown through the host.
#include "core/Module.h"
#include "generator/Generator.h"
#include "runtime/BuildScripts.h"
#include "runtime/ScriptRuntime.h"
#include "scripting/objects/ScriptObjects.h"

namespace pw {

// Out of line: the runtime and the scripts are complete types only here.
TModule::~TModule() {
  FScripts.reset();
  FScriptRuntime.reset();
}

void TModule::EnableScripts() {
  if (FScripts) return;
  RegisterScriptObjects();
  FScriptRuntime = std::make_unique<TScriptRuntime>();
  FScripts = std::make_unique<TBuildScripts>(*FScriptRuntime, Generator());
  FScripts->ContentText = [this] { return ContentUtf8(); };
  FScripts->OnReport = [this](const QString& report) {
    FHost.ShowMessage(QStringLiteral("Script Error"), report, TMessageKind::Error);
  };
  FScripts->OnTasksChanged = [this] { emit TasksChanged(); };
  SetBuildScripts(FScripts.get());
  CompileScripts();
}

void TModule::UpdateScriptFolders() {
  if (FScripts) FScripts->SetFolders({TemplateFolder(), ScriptLibrary()});
}

QStringList TModule::TaskCaptions() const { return FScripts ? FScripts->TaskCaptions() : QStringList(); }

bool TModule::RunTask(int index) {
  if (!FScripts) return false;
  FScripts->ResetScriptError();
  return FScripts->RunTask(index) && !FScripts->ScriptErrorReported();
}

bool TModule::RunPreviewScript() { return FScripts && FScripts->RunPreviewFunction(); }

}  // namespace pw
