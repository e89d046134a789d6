#include "core/SiteBuild.h"

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

  generator.PreBuild();
  if (scripts) scripts->RunBuildFunction();
  generator.Build();
  generator.CopyResources();

  generator.FileWriteObserver = std::move(previousObserver);
  generator.FileUnchangedObserver = std::move(previousUnchanged);
  return !(scripts && scripts->ScriptErrorReported());
}

}  // namespace pw
