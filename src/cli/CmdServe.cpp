// pagewick-cli serve PROJECT [--port N] [--no-build]: builds the site as `build` does, then
// serves the output folder on 127.0.0.1 through the preview protocol, rebuilding when the
// project file or a file of the template folder changes and telling the open pages to reload.
#include "cli/Commands.h"
#include "cli/ScriptedBuild.h"

#include "core/ProjectFile.h"
#include "core/SiteBuild.h"
#include "generator/Generator.h"
#include "platform/Paths.h"
#include "preview/SSIPreviewModule.h"
#include "preview/http/PreviewServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace pw::cli {
namespace {

// Changes come in bursts (an editor writes a temporary file, renames it, touches the folder);
// one rebuild follows once they settle.
constexpr int kSettleMs = 150;
// Scripts of a rebuild that run longer than this are stopped, as `build` stops them by default.
constexpr int kScriptTimeoutSeconds = 60;

class TServeSession {
 public:
  TServeSession(const QString& projectFile, TSSIPreviewModule& module, TPreviewServer& server)
      : FProjectFile(QFileInfo(projectFile).absoluteFilePath()),
        FBasePath(platform::ExtractFileDir(FProjectFile)),
        FModule(module),
        FServer(server) {
    TGenerator generator;
    generator.SetBasePath(FBasePath);
    FTemplateFolder = generator.TemplatePath();
    FSettle.setSingleShot(true);
    FSettle.setInterval(kSettleMs);
    QObject::connect(&FSettle, &QTimer::timeout, [this] { Rebuild(); });
    QObject::connect(&FWatcher, &QFileSystemWatcher::fileChanged, [this] { FSettle.start(); });
    QObject::connect(&FWatcher, &QFileSystemWatcher::directoryChanged, [this] { FSettle.start(); });
  }

  // Builds the site (or, with build false, only finds its output folder) and points the
  // module at it. False when the project cannot be read.
  bool Build(bool build) {
    // Taken first, so that a change made while the build runs calls for another one.
    const QString inputs = InputsStamp();
    TProjectFileData data;
    if (!LoadProjectArg(FProjectFile, data)) return false;
    TSiteBuildReport report;
    std::optional<TScriptedBuild> scripted;
    TGenerator unbuilt;
    const TGenerator* generator = &unbuilt;
    if (build) {
      // The same build as `build`, scripts included; their errors are printed as they come.
      scripted.emplace(FProjectFile, data.Content, kScriptTimeoutSeconds);
      scripted->Build(QString(), report);
      generator = &scripted->Generator();
      for (const TFailedWrite& failed : report.Failed)
        PrintError(QStringLiteral("cannot write %1: %2").arg(failed.Path, failed.Reason));
    } else {
      unbuilt.SetBasePath(FBasePath);
      unbuilt.SetOutPath(QStringLiteral("html/"));
      unbuilt.Generate(data.Content);
      report.OutputFolder = unbuilt.ContentPath();
    }
    FModule.SetFolder(report.OutputFolder);
    FModule.SetSiteUrl(QString::fromUtf8(ValueToText(generator->GetVar("base_url"))));
    FWritten = static_cast<int>(report.Written.size());
    FInputs = inputs;
    return true;
  }

  // Editors that save by renaming replace the watched file, which drops it from the watch;
  // so every rebuild watches the inputs anew.
  void Watch() {
    const QStringList watched = FWatcher.files() + FWatcher.directories();
    if (!watched.isEmpty()) FWatcher.removePaths(watched);
    QStringList existing;
    for (const QString& path : Inputs()) {
      if (QFileInfo::exists(path)) existing << path;
    }
    FWatcher.addPaths(existing);
  }

  const QString& Folder() const { return FModule.Folder(); }

 private:
  const QString& TemplateFolder() const { return FTemplateFolder; }

  // Every file and folder whose change calls for a rebuild: the project file (and its folder,
  // which sees it replaced), and the template folder with everything below it (template.js
  // among them).
  QStringList Inputs() const {
    QStringList paths{FProjectFile, FBasePath};
    if (QFileInfo(TemplateFolder()).isDir()) {
      paths << TemplateFolder();
      QDirIterator it(TemplateFolder(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                      QDirIterator::Subdirectories);
      while (it.hasNext()) paths << it.next();
    }
    return paths;
  }

  // Names, sizes and times of the inputs: a rebuild runs only when these differ from the
  // last build's, so that writing the output folder (beside the project file) never
  // triggers another build.
  QString InputsStamp() const {
    QString stamp;
    for (const QString& path : Inputs()) {
      if (path == FBasePath) continue;
      const QFileInfo info(path);
      stamp += path + u'|' + QString::number(info.size()) + u'|' +
               QString::number(info.lastModified().toMSecsSinceEpoch()) + u'\n';
    }
    return stamp;
  }

  void Rebuild() {
    Watch();
    if (InputsStamp() == FInputs) return;
    if (!Build(true)) return;
    FServer.NotifyRebuilt();
    std::printf("Rebuilt: %d files written\n", FWritten);
    std::fflush(stdout);
  }

  QString FProjectFile;
  QString FBasePath;
  QString FTemplateFolder;
  TSSIPreviewModule& FModule;
  TPreviewServer& FServer;
  QFileSystemWatcher FWatcher;
  QTimer FSettle;
  QString FInputs;
  int FWritten = 0;
};

}  // namespace

int RunServe(const TArgs& args) {
  QString project, error;
  std::string portText;
  bool noBuild = false;
  if (!ParseArgs(args,
                 {{.Name = "--port", .Value = &portText, .AllowJoined = true},
                  {.Name = "--no-build", .Flag = &noBuild}},
                 {&project}, &error)) {
    return UsageError("serve", error);
  }
  bool portOk = true;
  const uint port = portText.empty() ? 0 : ArgText(portText).toUInt(&portOk);
  if (!portOk || port > 65535) return UsageError("serve", QStringLiteral("--port takes a number from 0 to 65535"));

  int argc = 1;
  char name[] = "pagewick-cli";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);

  TSSIPreviewModule module;
  TPreviewServer server(module);
  TServeSession session(project, module, server);
  if (!session.Build(!noBuild)) return 1;

  quint16 boundPort = static_cast<quint16>(port);
  if (!server.Listen(boundPort, &error)) {
    PrintError(QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(error));
    return 1;
  }
  if (!noBuild) {
    server.SetLiveReload(true);
    session.Watch();
  }
  std::printf("Serving http://127.0.0.1:%u/\n", static_cast<unsigned>(boundPort));
  std::printf("Folder: %s\n", qPrintable(session.Folder()));
  if (std::fflush(stdout) != 0) return 1;
  return application.exec();
}

}  // namespace pw::cli
