#include "cli/ScriptedBuild.h"

#include <QFileInfo>

#include <chrono>
#include <cstdio>

#include "core/ApplicationSettings.h"
#include "core/ConfigFile.h"
#include "platform/Paths.h"
#include "runtime/ScriptWatchdog.h"
#include "scripting/objects/ScriptObjects.h"

namespace pw::cli {

namespace {

QString LibraryScriptsFolder() {
  TConfigFile config;
  SetupApplicationConfigFile(config);
  config.Load();
  return ReadLibraryPath(config) + QStringLiteral("Scripts/");
}

}  // namespace

std::unique_ptr<QCoreApplication> EnsureApplication() {
  if (QCoreApplication::instance()) return nullptr;
  static int argc = 1;
  static char name[] = "pagewick-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QCoreApplication>(argc, argv);
}

bool ParseScriptTimeout(const std::string& text, int& seconds, QString* error) {
  bool ok = false;
  const int value = QString::fromStdString(text).toInt(&ok);
  if (!ok || value < 0) {
    if (error) *error = QStringLiteral("--script-timeout takes whole seconds (0: no limit), not '%1'").arg(QString::fromStdString(text));
    return false;
  }
  seconds = value;
  return true;
}

TScriptedBuild::TScriptedBuild(const QString& projectPath, std::string content, int timeoutSeconds)
    : FApplication(EnsureApplication()),
      FProjectPath(QFileInfo(projectPath).absoluteFilePath()),
      FContent(std::move(content)),
      FTimeoutSeconds(timeoutSeconds) {
  RegisterScriptObjects();
  FRuntime = std::make_unique<TScriptRuntime>();
  FScripts = std::make_unique<TBuildScripts>(*FRuntime, FGenerator);
  FScripts->SetFolders({platform::ExtractFileDir(FProjectPath) + QStringLiteral("template/"), LibraryScriptsFolder()});
  FScripts->ContentText = [this] { return FContent; };
  FScripts->OnReport = [](const QString& report) {
    const QByteArray text = report.toLocal8Bit() + '\n';
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
  };
}

TScriptedBuild::~TScriptedBuild() {
  FScripts.reset();
  FRuntime.reset();
}

void TScriptedBuild::ReportTimeout(bool expired) {
  if (!expired) return;
  TScriptError error;
  error.Source = QStringLiteral("pagewick-cli");
  error.Description = QStringLiteral("the scripts ran longer than %1 seconds and were stopped").arg(FTimeoutSeconds);
  FScripts->ReportError(error);
}

bool TScriptedBuild::Build(const QString& outputOverride, TSiteBuildReport& report) {
  TSiteBuildOptions options;
  options.BasePath = platform::ExtractFileDir(FProjectPath);
  options.ProjectFile = FProjectPath;
  options.OutputOverride = outputOverride;
  options.Scripts = FScripts.get();
  bool built = false;
  bool expired = false;
  {
    TScriptWatchdog watchdog(*FRuntime, std::chrono::seconds(FTimeoutSeconds));
    built = BuildSiteContent(FGenerator, FContent, options, &report);
    expired = watchdog.Expired();
  }
  ReportTimeout(expired);
  return built && !expired;
}

bool TScriptedBuild::Compile() {
  bool compiled = false;
  bool expired = false;
  {
    TScriptWatchdog watchdog(*FRuntime, std::chrono::seconds(FTimeoutSeconds));
    compiled = FScripts->CompileScripts();
    expired = watchdog.Expired();
  }
  ReportTimeout(expired);
  return compiled && !expired;
}

bool TScriptedBuild::RunTask(const QString& caption, bool& notFound) {
  const int index = static_cast<int>(FScripts->TaskCaptions().indexOf(caption));
  notFound = index < 0;
  if (notFound) return false;
  FScripts->ResetScriptError();
  bool ran = false;
  bool expired = false;
  {
    TScriptWatchdog watchdog(*FRuntime, std::chrono::seconds(FTimeoutSeconds));
    ran = FScripts->RunTask(index);
    expired = watchdog.Expired();
  }
  ReportTimeout(expired);
  return ran && !expired && !FScripts->ScriptErrorReported();
}

}  // namespace pw::cli
