// TScriptedBuild: one project built from the command line with its scripts, as the editor
// builds it: template.js and the used units compiled into a runtime, their hooks run, every
// script error report printed on standard error. A time limit stops scripts that run too long
// (an endless loop in a hook); the build then still runs to its end and reports a script error.
// Used by build, tasks and task; one thread.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <memory>
#include <string>

#include "core/SiteBuild.h"
#include "generator/Generator.h"
#include "runtime/BuildScripts.h"
#include "runtime/ScriptRuntime.h"

namespace pw::cli {

// The default of --script-timeout, in seconds.
inline constexpr int kDefaultScriptTimeout = 60;

// Script threads and Pause need an event loop, so commands that run scripts make the process's
// application when there is none yet; the result owns it (null when one existed).
std::unique_ptr<QCoreApplication> EnsureApplication();

// Parses a --script-timeout value: whole seconds, 0 for no limit. False with the reason.
bool ParseScriptTimeout(const std::string& text, int& seconds, QString* error);

class TScriptedBuild {
 public:
  // projectPath: the project file; content: its content text. timeoutSeconds 0: no limit.
  TScriptedBuild(const QString& projectPath, std::string content, int timeoutSeconds);
  ~TScriptedBuild();

  // Compiles the scripts and builds the site (into outputOverride when not empty). False when a
  // script error was reported; the report tells what was written.
  bool Build(const QString& outputOverride, TSiteBuildReport& report);
  // Compiles the scripts only (their global code runs); false on a script error.
  bool Compile();
  // Runs the task of that caption (the first one when several share it). False when a script
  // error was reported; notFound tells that no task has that caption.
  bool RunTask(const QString& caption, bool& notFound);

  TBuildScripts& Scripts() { return *FScripts; }
  const TGenerator& Generator() const { return FGenerator; }

 private:
  // Reports the time limit as a script error when it stopped the scripts.
  void ReportTimeout(bool expired);

  std::unique_ptr<QCoreApplication> FApplication;
  QString FProjectPath;
  std::string FContent;
  int FTimeoutSeconds;
  TGenerator FGenerator;
  std::unique_ptr<TScriptRuntime> FRuntime;
  std::unique_ptr<TBuildScripts> FScripts;
};

}  // namespace pw::cli
