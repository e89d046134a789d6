// pagewick-cli tasks PROJECT and task PROJECT CAPTION: the task list of the main window without
// windows. tasks compiles the scripts and prints the captions their global code registered; task
// builds the site first, as the editor's task list finds it after a build, then runs the task.
#include "cli/Commands.h"

#include <cstdio>

#include "cli/ScriptedBuild.h"
#include "core/ProjectFile.h"

namespace pw::cli {

int RunTasks(const TArgs& args) {
  QString project, error;
  std::string timeoutText = std::to_string(kDefaultScriptTimeout);
  int timeout = kDefaultScriptTimeout;
  if (!ParseArgs(args, {{.Name = "--script-timeout", .Value = &timeoutText, .AllowJoined = true}}, {&project},
                 &error) ||
      !ParseScriptTimeout(timeoutText, timeout, &error)) {
    return UsageError("tasks", error);
  }
  TProjectFileData data;
  if (!LoadProjectArg(project, data)) return 1;
  TScriptedBuild build(project, data.Content, timeout);
  const bool compiled = build.Compile();
  for (const QString& caption : build.Scripts().TaskCaptions()) std::printf("%s\n", qPrintable(caption));
  if (std::fflush(stdout) != 0) return 1;
  return compiled ? 0 : 1;
}

int RunTaskCommand(const TArgs& args) {
  QString project, caption, error;
  std::string timeoutText = std::to_string(kDefaultScriptTimeout);
  int timeout = kDefaultScriptTimeout;
  if (!ParseArgs(args, {{.Name = "--script-timeout", .Value = &timeoutText, .AllowJoined = true}},
                 {&project, &caption}, &error) ||
      !ParseScriptTimeout(timeoutText, timeout, &error)) {
    return UsageError("task", error);
  }
  TProjectFileData data;
  if (!LoadProjectArg(project, data)) return 1;
  TScriptedBuild build(project, data.Content, timeout);
  TSiteBuildReport report;
  if (!build.Build(QString(), report)) return 1;
  bool notFound = false;
  const bool ran = build.RunTask(caption, notFound);
  if (notFound) {
    PrintError(QStringLiteral("the scripts register no task '%1'").arg(caption));
    return 1;
  }
  if (std::fflush(stdout) != 0) return 1;
  return ran ? 0 : 1;
}

}  // namespace pw::cli
