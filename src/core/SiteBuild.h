// The site build: turns a content text into the output folder through the generator, with
// the project's scripts taking part at fixed points. The caller owns the generator and the
// scripts; a build without scripts passes none.
//
// Errors: BuildSiteContent answers false when the scripts failed to compile or reported an
// error. Pages that cannot be written are not an error here; the report counts them.
#pragma once

#include "generator/Generator.h"

#include <QString>
#include <QStringList>

#include <string_view>

namespace pw {

// The script steps of a build; the scripting layer implements them.
class IBuildScripts {
 public:
  virtual ~IBuildScripts() = default;
  // Empties the generator's handler lists, assembles and runs the project's scripts (which
  // register hooks); false when a script error was reported.
  virtual bool CompileScripts() = 0;
  // Calls the script's "build" function, or else "_build", when one is defined.
  virtual void RunBuildFunction() = 0;
  // Forgets earlier script errors / tells whether one was reported since.
  virtual void ResetScriptError() = 0;
  virtual bool ScriptErrorReported() const = 0;
};

struct TSiteBuildOptions {
  QString BasePath;        // the project folder; relative output paths start here
  QString OutputOverride;  // when not empty, replaces the output folder the project sets
  IBuildScripts* Scripts = nullptr;
  QString ProjectFile;  // the project file, which no page may overwrite; may be empty
};

struct TSiteBuildReport {
  QString OutputFolder;
  QStringList Written;  // every file written, in order
  QStringList Failed;   // files that could not be written
  QStringList Errors;   // why, one reason per entry of Failed
  int Sections = 0;
};

// Clear, output path "html/", generate, pre-build hooks, the script's build function, post-build
// hooks and sections, resources. True unless a script error was reported.
bool BuildSiteContent(TGenerator& generator, std::string_view content, const TSiteBuildOptions& options,
                      TSiteBuildReport* report = nullptr);

}  // namespace pw
