// pagewick-cli build PROJECT [--out DIR] [--quiet]: builds the site as Preview does, without
// scripts, and prints what it wrote and how long it took.
#include "cli/Commands.h"

#include "core/ProjectFile.h"
#include "core/SiteBuild.h"
#include "generator/Generator.h"
#include "platform/FileIO.h"
#include "platform/Paths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

namespace pw::cli {

int RunBuild(const TArgs& args) {
  QString project, error;
  std::string out;
  bool quiet = false;
  if (!ParseArgs(args,
                 {{.Name = "--out", .Value = &out, .AllowJoined = true},
                  {.Name = "--quiet", .Alias = "-q", .Flag = &quiet}},
                 {&project}, &error)) {
    return UsageError("build", error);
  }

  QElapsedTimer timer;
  timer.start();
  TProjectFileData data;
  if (!LoadProjectArg(project, data)) return 1;

  TSiteBuildOptions options;
  options.BasePath = platform::ExtractFileDir(QFileInfo(project).absoluteFilePath());
  options.ProjectFile = QFileInfo(project).absoluteFilePath();
  if (!out.empty()) options.OutputOverride = QDir::current().absoluteFilePath(ArgText(out));
  TGenerator generator;
  TSiteBuildReport report;
  BuildSiteContent(generator, data.Content, options, &report);

  QDir outputDir(report.OutputFolder);
  if (!quiet) {
    for (const QString& file : report.Written) std::printf("%s\n", qPrintable(outputDir.relativeFilePath(file)));
  }
  for (const TFailedWrite& failed : report.Failed)
    PrintError(QStringLiteral("cannot write %1: %2").arg(failed.Path, failed.Reason));
  if (!platform::ForceDirectories(report.OutputFolder)) {
    PrintError(QStringLiteral("cannot create the output folder %1").arg(report.OutputFolder));
    return 1;
  }
  std::printf("Built %d sections: %lld files written to %s in %lld ms\n", report.Sections,
              static_cast<long long>(report.Written.size()), qPrintable(report.OutputFolder),
              static_cast<long long>(timer.elapsed()));
  if (std::fflush(stdout) != 0) return 1;
  return report.Failed.empty() ? 0 : 1;
}

}  // namespace pw::cli
