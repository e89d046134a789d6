// The generator's window onto the script runtime: function calls from placeholders, the
// build hooks that scripts register and the script steps of a whole build. The script runtime
// implements them; until a runtime is attached, TNullScriptFunctions knows no functions.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

class TSection;

class IScriptFunctions {
 public:
  virtual ~IScriptFunctions() = default;
  virtual bool FunctionExists(std::string_view name) = 0;
  // Calls the script function `name` with text arguments (UTF-8) and `thisSection` as the
  // script's `this` (nullptr: the generator). True with the result's text on success;
  // false when there is no such function or the call failed (the runtime reports errors).
  virtual bool CallFunction(std::string_view name, const std::vector<std::string>& args,
                            TSection* thisSection, std::string& result) = 0;
};

class TNullScriptFunctions final : public IScriptFunctions {
 public:
  bool FunctionExists(std::string_view) override { return false; }
  bool CallFunction(std::string_view, const std::vector<std::string>&, TSection*,
                    std::string&) override {
    return false;
  }
};

// A script function registered as a build hook. Pre- and post-build hooks are invoked with
// no section; section handlers with the section, and their truthy result claims it.
class IBuildHandler {
 public:
  virtual ~IBuildHandler() = default;
  virtual bool Invoke(TSection* section) = 0;
};

using TBuildHandlerPtr = std::shared_ptr<IBuildHandler>;
using TBuildHandlerList = std::vector<TBuildHandlerPtr>;

// The script steps of a build; the script runtime implements them.
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
  // True while no script has run since the last compilation (there was no script text, and no
  // placeholder has called the runtime): the build then depends on its inputs alone.
  virtual bool NoScriptRan() const { return false; }
};

}  // namespace pw
