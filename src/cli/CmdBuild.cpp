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

int RunBuild(const Args& args) {
  QString project, out;
  bool quiet = false;
  if (!ParseArgs(args, {{.Name = "--out", .Value = &out, .AllowJoined = true}, {.Name = "--quiet", .Alias = "-q", .Flag = &quiet}},
                 project)) {
    return Usage("build PROJECT [--out DIR] [--quiet]");
  }

  QElapsedTimer timer;
  timer.start();
  TProjectFileData data;
  if (!LoadProjectArg(project, data)) return 1;

  TSiteBuildOptions options;
  options.BasePath = platform::ExtractFileDir(QFileInfo(project).absoluteFilePath());
  options.ProjectFile = QFileInfo(project).absoluteFilePath();
  if (!out.isEmpty()) options.OutputOverride = QDir::current().absoluteFilePath(out);
  TGenerator generator;
  TSiteBuildReport report;
  BuildSiteContent(generator, data.Content, options, &report);

  QDir outputDir(report.OutputFolder);
  if (!quiet) {
    for (const QString& file : report.Written) std::printf("%s\n", qPrintable(outputDir.relativeFilePath(file)));
  }
  for (qsizetype i = 0; i < report.Failed.size(); ++i) {
    std::fprintf(stderr, "pagewick-cli: cannot write %s: %s\n", qPrintable(report.Failed[i]),
                 qPrintable(report.Errors.value(i)));
  }
  if (!platform::ForceDirectories(report.OutputFolder)) {
    std::fprintf(stderr, "pagewick-cli: cannot create the output folder %s\n", qPrintable(report.OutputFolder));
    return 1;
  }
  std::printf("Built %d sections: %lld files written to %s in %lld ms\n", report.Sections,
              static_cast<long long>(report.Written.size()), qPrintable(report.OutputFolder),
              static_cast<long long>(timer.elapsed()));
  if (std::fflush(stdout) != 0) return 1;
  return report.Failed.isEmpty() ? 0 : 1;
}

}  // namespace pw::cli
