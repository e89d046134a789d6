// Shared helpers of the generator tests: a scripted stand-in for the runtime, and a project
// folder in a temporary directory.
#pragma once

#include "generator/Generator.h"
#include "platform/FileIO.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace pw::tests {

class TFakeScripts : public IScriptFunctions {
 public:
  using TFunction = std::function<bool(const std::vector<std::string>&, TSection*, std::string&)>;
  struct TCall {
    std::string Name;
    std::vector<std::string> Args;
    TSection* Self;
  };

  bool FunctionExists(std::string_view name) override { return Functions.count(std::string(name)) > 0; }
  bool CallFunction(std::string_view name, const std::vector<std::string>& args, TSection* self,
                    std::string& result) override {
    Calls.push_back({std::string(name), args, self});
    auto found = Functions.find(std::string(name));
    return found != Functions.end() && found->second(args, self, result);
  }

  std::map<std::string, TFunction> Functions;
  std::vector<TCall> Calls;
};

class TFakeHandler : public IBuildHandler {
 public:
  explicit TFakeHandler(std::function<bool(TSection*)> body) : Body(std::move(body)) {}
  bool Invoke(TSection* section) override { return Body(section); }
  std::function<bool(TSection*)> Body;
};

// A project folder with a template folder, for builds that write files.
struct TProjectDir {
  QTemporaryDir Dir;
  QString Base() const { return Dir.path() + "/"; }
  QString Template() const { return Base() + "template/"; }
  QString Out() const { return Base() + "html/"; }
  void WriteTemplate(const QString& name, std::string_view text) const {
    platform::WriteWholeFile(Template() + name, text);
  }
  std::string ReadOut(const QString& name) const { return ReadOr(Out() + name); }
  bool OutExists(const QString& name) const { return platform::FileExists(Out() + name); }
};

}  // namespace pw::tests
