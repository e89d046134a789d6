// TBuildScripts: a project's scripts taking part in its build. It compiles template.js and the
// units the content text uses into a script runtime, publishes the module's script members
// (AddTask, AddPreBuild, AddPostBuild, AddSectionHandler) as the global-members item "Module",
// keeps the tasks the scripts register, calls the conventional functions "build"/"_build" and
// "preview"/"_preview", answers the generator's placeholder function calls, and turns every
// script error into the script error report, setting the failed flag that makes a build report
// failure.
//
// Owned by the module (or a command-line command) beside the runtime and the generator it
// borrows; both must outlive it. It attaches itself to the generator's placeholder calls and to
// the runtime's error handler while it lives. Used on the runtime's thread (the main thread);
// errors of script threads reach it there.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "generator/ScriptHooks.h"
#include "runtime/ScriptAssembly.h"
#include "scripting/AutoObject.h"
#include "scripting/ScriptError.h"

namespace pw {

class TGenerator;
class TScriptRuntime;

// A task the scripts registered: the caption the task list shows and the function it runs.
struct TScriptTask {
  QString Caption;
  ComPtr<IDispatch> Function;
};

class TBuildScripts final : public IBuildScripts, public IScriptFunctions, public TAutoTarget {
  PW_AUTO_CLASS(TBuildScripts, TAutoTarget)

 public:
  static constexpr const char* kItemName = "Module";

  TBuildScripts(TScriptRuntime& runtime, TGenerator& generator);
  ~TBuildScripts() override;
  TBuildScripts(const TBuildScripts&) = delete;
  TBuildScripts& operator=(const TBuildScripts&) = delete;

  // Where the next compilation reads template.js and the units, and the content text whose
  // "$uses" lines name the units (asked at every compilation).
  void SetFolders(const TScriptFolders& folders) { FFolders = folders; }
  std::function<std::string()> ContentText;
  // Receives the text of every script error report, after the failed flag is set.
  std::function<void(const QString& report)> OnReport;
  // Told when the task list was emptied or a task was added.
  std::function<void()> OnTasksChanged;

  // --- IBuildScripts
  // Empties the handler lists and the tasks, clears the failed flag, makes a fresh engine and
  // runs the assembled scripts; false when a script error was reported.
  bool CompileScripts() override;
  void RunBuildFunction() override;
  void ResetScriptError() override { FFailed = false; }
  bool ScriptErrorReported() const override { return FFailed; }
  bool NoScriptRan() const override { return FEngineDeferred; }

  // --- IScriptFunctions (the generator's placeholder calls)
  bool FunctionExists(std::string_view name) override;
  bool CallFunction(std::string_view name, const std::vector<std::string>& args, TSection* thisSection,
                    std::string& result) override;

  // Calls "preview", or else "_preview", with the generator as `this`; false when the scripts
  // define neither (the built-in preview should run then).
  bool RunPreviewFunction();

  const std::vector<TScriptTask>& Tasks() const { return FTasks; }
  QStringList TaskCaptions() const;
  // Runs the task at index with the generator as `this`; false when there is no such task or
  // its call failed (the error was reported).
  bool RunTask(int index);

  // The text last handed to the engine, after include expansion.
  const QString& CompiledText() const { return FCompiledText; }
  // Reports an error the host found itself (a script stopped for running too long) as the
  // engine's errors are reported.
  void ReportError(const TScriptError& error);

  // --- Script members of "Module".
  void AddTask(const QString& caption, ComPtr<IDispatch> function);
  void AddPreBuild(ComPtr<IDispatch> handler);
  void AddPostBuild(ComPtr<IDispatch> handler);
  void AddSectionHandler(ComPtr<IDispatch> handler);

  ThreadRef OwnerThread() const override;

 private:
  void StartEngine();
  bool FEngineDeferred = false;  // compiled without script text: no engine made yet
  // Calls the first of the names the scripts define, with the generator as `this`.
  bool CallFirstDefined(const QString& name, const QString& fallback);
  IDispatch* GeneratorFace() const;

  TScriptRuntime& FRuntime;
  TGenerator& FGenerator;
  ComPtr<TAutoController> FController;
  TScriptFolders FFolders;
  QString FCompiledText;
  std::vector<TScriptTask> FTasks;
  std::atomic<bool> FFailed{false};
};

}  // namespace pw
