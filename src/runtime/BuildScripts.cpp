#include "runtime/BuildScripts.h"

#include "generator/Generator.h"
#include "runtime/GeneratorObject.h"
#include "runtime/ScriptErrorReport.h"
#include "runtime/ScriptRuntime.h"
#include "generator/Variables.h"
#include "runtime/VariablesDictionary.h"

namespace pw {

PW_AUTO_MEMBERS(TBuildScripts,
    AutoMethod(1, "AddTask", &TBuildScripts::AddTask),
    AutoMethod(2, "AddPreBuild", &TBuildScripts::AddPreBuild),
    AutoMethod(3, "AddPostBuild", &TBuildScripts::AddPostBuild),
    AutoMethod(4, "AddSectionHandler", &TBuildScripts::AddSectionHandler))

TBuildScripts::TBuildScripts(TScriptRuntime& runtime, TGenerator& generator)
    : FRuntime(runtime), FGenerator(generator), FController(MakeAutoObject<TAutoController>(this)) {
  FRuntime.AddItem(QString::fromLatin1(kItemName), FController->AsDispatch(), true);
  FRuntime.OnScriptError = [this](const TScriptError& error) { ReportError(error); };
  FGenerator.SetScriptFunctions(this);
}

TBuildScripts::~TBuildScripts() {
  FGenerator.SetScriptFunctions(nullptr);
  // The handlers and tasks are functions of the runtime's engine; they go before this does.
  FGenerator.ClearHandlers();
  FTasks.clear();
  FRuntime.OnScriptError = nullptr;
  FController->Detach();
}

ThreadRef TBuildScripts::OwnerThread() const { return FRuntime.Thread(); }

IDispatch* TBuildScripts::GeneratorFace() const { return TGeneratorObject::Of(FGenerator).Dispatch(); }

bool TBuildScripts::CompileScripts() {
  // The old engine's functions must be let go before that engine is replaced.
  FGenerator.ClearHandlers();
  const bool hadTasks = !FTasks.empty();
  FTasks.clear();
  if (hadTasks && OnTasksChanged) OnTasksChanged();
  FFailed = false;

  const std::string content = ContentText ? ContentText() : std::string();
  FCompiledText = ExpandIncludes(AssembleScriptSource(content, FFolders), FFolders);
  // Without script text nothing runs and no function exists: the engine (whose first start
  // costs a process milliseconds) waits until a placeholder calls one of the runtime's members.
  FEngineDeferred = FCompiledText.trimmed().isEmpty();
  if (FEngineDeferred) {
    FRuntime.Close();
    return true;
  }
  StartEngine();
  return !FFailed;
}

void TBuildScripts::StartEngine() {
  FEngineDeferred = false;
  FRuntime.SetLanguage(QString::fromLatin1(TActiveScript::kJavaScript));
  FRuntime.AddCode(FCompiledText);
  FRuntime.Start();
}

bool TBuildScripts::CallFirstDefined(const QString& name, const QString& fallback) {
  if (FEngineDeferred) return false;
  for (const QString& candidate : {name, fallback}) {
    if (FRuntime.FunctionExists(candidate)) {
      FRuntime.CallFunction(candidate, std::vector<Variant>(), GeneratorFace(), nullptr);
      return true;
    }
  }
  return false;
}

void TBuildScripts::RunBuildFunction() { CallFirstDefined(QStringLiteral("build"), QStringLiteral("_build")); }

bool TBuildScripts::RunPreviewFunction() {
  return CallFirstDefined(QStringLiteral("preview"), QStringLiteral("_preview"));
}

bool TBuildScripts::FunctionExists(std::string_view name) {
  if (FEngineDeferred) return false;
  return FRuntime.FunctionExists(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

bool TBuildScripts::CallFunction(std::string_view name, const std::vector<std::string>& args, TSection* thisSection,
                                 std::string& result) {
  if (FEngineDeferred) StartEngine();
  std::vector<Variant> values;
  values.reserve(args.size());
  for (const std::string& arg : args) values.emplace_back(QString::fromStdString(arg));
  IDispatch* self = thisSection ? TSectionObject::Of(*thisSection).Dispatch() : GeneratorFace();
  Variant value;
  if (!FRuntime.CallFunction(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())), values, self,
                             &value)) {
    return false;
  }
  result = ValueToText(ValueOfVariant(value.Dereferenced()));
  return true;
}

QStringList TBuildScripts::TaskCaptions() const {
  QStringList captions;
  for (const TScriptTask& task : FTasks) captions << task.Caption;
  return captions;
}

bool TBuildScripts::RunTask(int index) {
  if (index < 0 || index >= static_cast<int>(FTasks.size())) return false;
  // The call may compile the scripts again and so empty the list.
  const ComPtr<IDispatch> function = FTasks[static_cast<size_t>(index)].Function;
  return SUCCEEDED(CallDispatch(function.Get(), DISPID_VALUE, nullptr, 0, GeneratorFace(), nullptr));
}

void TBuildScripts::ReportError(const TScriptError& error) {
  FFailed = true;
  const QString report = ScriptErrorReport(error, FGenerator.CurrentLine(), FCompiledText);
  if (OnReport) OnReport(report);
}

void TBuildScripts::AddTask(const QString& caption, ComPtr<IDispatch> function) {
  if (!function) throw EAutoObjectError(QStringLiteral("A task must be a function"));
  FTasks.push_back({caption, std::move(function)});
  if (OnTasksChanged) OnTasksChanged();
}

void TBuildScripts::AddPreBuild(ComPtr<IDispatch> handler) { TGeneratorObject::Of(FGenerator).AddPreBuild(std::move(handler)); }
void TBuildScripts::AddPostBuild(ComPtr<IDispatch> handler) {
  TGeneratorObject::Of(FGenerator).AddPostBuild(std::move(handler));
}
void TBuildScripts::AddSectionHandler(ComPtr<IDispatch> handler) {
  TGeneratorObject::Of(FGenerator).AddSectionHandler(std::move(handler));
}

}  // namespace pw
