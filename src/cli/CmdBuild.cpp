// pagewick-cli build PROJECT [--out DIR] [--quiet] [--script-timeout SECONDS]: builds the site
// as Preview does, with the project's scripts, and prints what it wrote and how long it took.
// A script error is printed as its report and makes the exit code 1.
#include "cli/Commands.h"

#include "core/ProjectFile.h"
#include "cli/ScriptedBuild.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace pw::cli {

int RunBuild(const TArgs& args) {
  QString project, error;
  std::string out, timeoutText = std::to_string(kDefaultScriptTimeout);
  bool quiet = false;
  int timeout = kDefaultScriptTimeout;
  if (!ParseArgs(args,
                 {{.Name = "--out", .Value = &out, .AllowJoined = true},
                  {.Name = "--quiet", .Alias = "-q", .Flag = &quiet},
                  {.Name = "--script-timeout", .Value = &timeoutText, .AllowJoined = true}},
                 {&project}, &error) ||
      !ParseScriptTimeout(timeoutText, timeout, &error)) {
    return UsageError("build", error);
  }

  QElapsedTimer timer;
  timer.start();
  TProjectFileData data;
  if (!LoadProjectArg(project, data)) return 1;

  const QString outputOverride = out.empty() ? QString() : QDir::current().absoluteFilePath(ArgText(out));
  TScriptedBuild build(project, std::move(data.Content), timeout);
  TSiteBuildReport report;
  const bool scriptsSucceeded = build.Build(outputOverride, report);

  QDir outputDir(report.OutputFolder);
  if (!quiet) {
    for (const QString& file : report.Written) std::printf("%s\n", qPrintable(outputDir.relativeFilePath(file)));
  }
  for (const TFailedWrite& failed : report.Failed)
    PrintError(QStringLiteral("cannot write %1: %2").arg(failed.Path, failed.Reason));
  QString reason;
  if (!platform::ForceDirectories(report.OutputFolder, &reason)) {
    PrintError(QStringLiteral("cannot create the output folder %1: %2").arg(report.OutputFolder, reason));
    return 1;
  }
  const QString unchanged =
      report.Unchanged.isEmpty() ? QString() : QStringLiteral(", %1 unchanged,").arg(report.Unchanged.size());
  std::printf("Built %d sections: %lld files written%s to %s in %lld ms\n", report.Sections,
              static_cast<long long>(report.Written.size()), qPrintable(unchanged), qPrintable(report.OutputFolder),
              static_cast<long long>(timer.elapsed()));
  if (std::fflush(stdout) != 0) return 1;
  const int code = report.Failed.empty() && scriptsSucceeded ? 0 : 1;
  // When no script ran, nothing is left to finish: every file is written and closed, and the
  // end of the process frees a large site's sections at once instead of one by one.
  if (build.Scripts().NoScriptRan()) std::_Exit(code);
  return code;
}

}  // namespace pw::cli
