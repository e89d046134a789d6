// The site build: turns a content text into the output folder through the generator, with
// the project's scripts taking part at fixed points. The caller owns the generator and the
// scripts; a build without scripts passes none.
//
// Errors: BuildSiteContent answers false when the scripts failed to compile or reported an
// error. Pages that cannot be written are not an error here; the report counts them.
#pragma once

#include "generator/Generator.h"
#include "generator/ScriptHooks.h"

#include <QString>
#include <QStringList>

#include <string_view>
#include <vector>

namespace pw {

struct TSiteBuildOptions {
  QString BasePath;        // the project folder; relative output paths start here
  QString OutputOverride;  // when not empty, replaces the output folder the project sets
  IBuildScripts* Scripts = nullptr;
  QString ProjectFile;  // the project file, which no page may overwrite; may be empty
};

// A file that could not be written, and why ("Permission denied").
struct TFailedWrite {
  QString Path;
  QString Reason;
};

struct TSiteBuildReport {
  QString OutputFolder;
  QStringList Written;               // every file written, in order
  QStringList Unchanged;             // files that already held their bytes and were left alone
  std::vector<TFailedWrite> Failed;  // files that could not be written, in order
  int Sections = 0;
};

// Clear, output path "html/", generate, pre-build hooks, the script's build function, post-build
// hooks and sections, resources. True unless a script error was reported.
bool BuildSiteContent(TGenerator& generator, std::string_view content, const TSiteBuildOptions& options,
                      TSiteBuildReport* report = nullptr);

}  // namespace pw
