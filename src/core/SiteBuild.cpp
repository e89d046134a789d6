#include "core/SiteBuild.h"

#include "core/BuildManifest.h"

namespace pw {

bool BuildSiteContent(TGenerator& generator, std::string_view content, const TSiteBuildOptions& options,
                      TSiteBuildReport* report) {
  IBuildScripts* scripts = options.Scripts;
  if (scripts) {
    scripts->ResetScriptError();
    if (!scripts->CompileScripts()) return false;
  }

  auto previousObserver = generator.FileWriteObserver;
  auto previousUnchanged = generator.FileUnchangedObserver;
  if (report) {
    generator.FileUnchangedObserver = [report](const QString& path) { report->Unchanged.append(path); };
    generator.FileWriteObserver = [report](const QString& path, bool written, const QString& reason) {
      if (written)
        report->Written.append(path);
      else
        report->Failed.push_back({path, reason});
    };
  }

  generator.Clear();
  if (!options.BasePath.isEmpty()) generator.SetBasePath(options.BasePath);
  generator.SetProjectFile(options.ProjectFile);
  generator.SetOutPath(QStringLiteral("html/"));
  generator.Generate(content);
  if (!options.OutputOverride.isEmpty()) generator.SetOutPath(options.OutputOverride);
  if (report) {
    report->OutputFolder = generator.ContentPath();
    report->Sections = generator.SectionCount();
  }

  // A build in which no script can run depends on its inputs alone: when they are those of the
  // last build and its files are untouched, the folder already holds what this build writes.
  auto scriptFree = [&] {
    return (!scripts || scripts->NoScriptRan()) && !generator.HasHandlers() && generator.ScriptCalls() == 0;
  };
  TBuildManifest manifest(generator.BasePath(), generator.ContentPath());
  const QByteArray key = scriptFree() ? TBuildManifest::InputsKey(content, generator.TemplatePath(),
                                                                  {generator.BasePath(), generator.ContentPath(),
                                                                   options.ProjectFile})
                                      : QByteArray();
  const bool recordable = !key.isEmpty();
  if (recordable) {
    QStringList files;
    if (manifest.Matches(key, &files)) {
      // No sweep for debris here: a build that writes forgets the manifest first, so one killed
      // since leaves none behind for the next build to trust.
      for (const QString& file : files)
        if (generator.FileUnchangedObserver) generator.FileUnchangedObserver(file);
      generator.FileWriteObserver = std::move(previousObserver);
      generator.FileUnchangedObserver = std::move(previousUnchanged);
      return true;
    }
  }
  manifest.Forget();
  QStringList outputs;
  QHash<QString, platform::TFileStamp> stamps;
  bool failures = false;
  auto tellUnchanged = generator.FileUnchangedObserver;
  auto tellWrite = generator.FileWriteObserver;
  generator.FileUnchangedObserver = [&](const QString& path) {
    outputs.append(path);
    if (tellUnchanged) tellUnchanged(path);
  };
  generator.FileWriteObserver = [&](const QString& path, bool written, const QString& reason) {
    if (written)
      outputs.append(path);
    else
      failures = true;
    if (tellWrite) tellWrite(path, written, reason);
  };
  auto previousStamp = generator.FileStampObserver;
  if (recordable) {
    generator.FileStampObserver = [&](const QString& path, const platform::TFileStamp& stamp) {
      stamps.insert(path, stamp);
      if (previousStamp) previousStamp(path, stamp);
    };
  }

  generator.PreBuild();
  if (scripts) scripts->RunBuildFunction();
  generator.Build();
  generator.CopyResources();
  if (recordable && !failures && scriptFree()) manifest.Store(key, outputs, stamps);

  generator.FileWriteObserver = std::move(previousObserver);
  generator.FileUnchangedObserver = std::move(previousUnchanged);
  generator.FileStampObserver = std::move(previousStamp);
  return !(scripts && scripts->ScriptErrorReported());
}

}  // namespace pw
