// pagewick-cli upload PROJECT [--all] [--test] [--no-build] [--password-stdin] [--atomic]
// [--jobs N]: builds the site, then tests the publishing settings or uploads the output folder
// with them, as the upload window does. Log lines go to standard output with a progress line
// per file; a kept run writes the new digests back into the project file. Ctrl-C stops the
// upload after the files in transfer, and the run is kept.
#include "cli/Commands.h"

#include "core/ProjectFile.h"
#include "core/SiteBuild.h"
#include "generator/Generator.h"
#include "platform/Paths.h"
#include "publish/Uploader.h"

#include <QFileInfo>
#include <QLocale>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

namespace pw::cli {
namespace {

std::atomic<TUploader*> GRunning = nullptr;

void StopOnSignal(int) {
  if (TUploader* uploader = GRunning.load()) uploader->RequestStop();
}

}  // namespace

int RunUpload(const TArgs& args) {
  QString project, error;
  std::string jobsText;
  bool all = false, test = false, noBuild = false, passwordStdin = false, atomic = false;
  if (!ParseArgs(args,
                 {{.Name = "--all", .Flag = &all},
                  {.Name = "--test", .Flag = &test},
                  {.Name = "--no-build", .Flag = &noBuild},
                  {.Name = "--password-stdin", .Flag = &passwordStdin},
                  {.Name = "--atomic", .Flag = &atomic},
                  {.Name = "--jobs", .Alias = "-j", .Value = &jobsText, .AllowJoined = true}},
                 {&project}, &error)) {
    return UsageError("upload", error);
  }
  bool jobsOk = true;
  const int jobs = jobsText.empty() ? 1 : ArgText(jobsText).toInt(&jobsOk);
  if (!jobsOk || jobs < 1 || jobs > 64) return UsageError("upload", QStringLiteral("--jobs takes a number from 1 to 64"));

  TProjectFileData data;
  if (!LoadProjectArg(project, data)) return 1;
  const QString projectPath = QFileInfo(project).absoluteFilePath();

  TGenerator generator;
  TSiteBuildOptions buildOptions;
  buildOptions.BasePath = platform::ExtractFileDir(projectPath);
  buildOptions.ProjectFile = projectPath;
  QString outputFolder;
  if (noBuild) {
    // The output folder the project sets, without writing anything.
    generator.SetBasePath(buildOptions.BasePath);
    generator.SetOutPath(QStringLiteral("html/"));
    generator.Generate(data.Content);
    outputFolder = generator.ContentPath();
  } else {
    TSiteBuildReport report;
    BuildSiteContent(generator, data.Content, buildOptions, &report);
    for (const TFailedWrite& failed : report.Failed)
      PrintError(QStringLiteral("cannot write %1: %2").arg(failed.Path, failed.Reason));
    if (!report.Failed.empty()) {
      PrintError(QStringLiteral("the build failed; nothing uploaded"));
      return 1;
    }
    outputFolder = report.OutputFolder;
  }

  const TProjectState& state = data.State;
  TUploadSettings settings{state.FTPServer, state.FTPPort, state.FTPUserName, state.FTPPassword, state.FTPRemoteRoot,
                           state.FTPPassiveMode, state.UploadChangesOnly && !all};
  if (passwordStdin) {
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    settings.Password = QString::fromStdString(line);
  }
  TUploadOptions options;
  options.Atomic = atomic;
  options.Jobs = jobs;

  TUploader uploader(outputFolder, settings, state.UploadFiles);
  uploader.SetOptions(options);
  uploader.SetLanguage(QLocale::system().language() == QLocale::Russian ? kLangRussian : kLangEnglish);
  std::mutex output;
  uploader.SetOnLog([&](const QString& text, TUploadIcon icon, const QString& reason) {
    std::lock_guard lock(output);
    std::printf("%s\n", qPrintable(text));
    if (!reason.isEmpty()) PrintError(reason);
    std::fflush(stdout);
  });
  // One line per file, when its last block has gone out.
  int sent = 0;
  uploader.SetOnProgress([&](const QString& path, int64_t position, int64_t size) {
    if (position < size) return;
    std::lock_guard lock(output);
    static thread_local QString last;
    if (path == last) return;
    last = path;
    std::printf("[%d] %s %lld bytes\n", ++sent, qPrintable(path), static_cast<long long>(size));
  });

  if (test) return uploader.RunTest() ? 0 : 1;

  GRunning = &uploader;
  auto previous = std::signal(SIGINT, StopOnSignal);
  uploader.RunUpload();
  std::signal(SIGINT, previous);
  GRunning = nullptr;
  if (!uploader.RunSucceeded()) return 1;
  if (uploader.UploadedFiles() != state.UploadFiles) {
    if (!SaveProjectUploadFiles(projectPath, uploader.UploadedFiles(), &error)) {
      PrintError(QStringLiteral("the upload went through, but its digests could not be recorded: %1").arg(error));
      return 1;
    }
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace pw::cli
