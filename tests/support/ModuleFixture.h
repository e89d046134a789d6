// A module on an in-memory editor and host, with settings and projects in a temporary folder.
// The fixture records the module's signals and counts script compilations.
#pragma once

#include "core/Module.h"
#include "generator/ScriptHooks.h"
#include "platform/FileIO.h"
#include "support/MemoryHost.h"
#include "support/MemoryTextEditor.h"
#include "support/ScopedEnvironment.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace pw::tests {

// Build scripts that only count how often they were compiled.
class TCountingScripts : public IBuildScripts {
 public:
  bool CompileScripts() override {
    ++Compiled;
    return true;
  }
  void RunBuildFunction() override {}
  void ResetScriptError() override {}
  bool ScriptErrorReported() const override { return false; }

  int Compiled = 0;
};

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FDir.isValid());
    Module = std::make_unique<TModule>(Editor, Host);
    Caption = Module->MainCaption();
    QObject::connect(Module.get(), &TModule::TitleChanged, [this](const QString& caption) { Caption = caption; });
    QObject::connect(Module.get(), &TModule::ProjectLoaded, [this] { ++Loaded; });
    QObject::connect(Module.get(), &TModule::PageListChanged, [this] { ++PageListChanges; });
    QObject::connect(Module.get(), &TModule::PreviewRequested, [this] { ++Previews; });
    QObject::connect(Module.get(), &TModule::ModifiedChanged, [this](bool modified) { ModifiedFlags.push_back(modified); });
  }
  void TearDown() override { Module.reset(); }

  QString Path(const QString& relative) const { return FDir.filePath(relative); }

  // Writes a project file with the content text and returns its path.
  QString WriteProject(const QString& relative, const std::string& content) {
    TProjectFileData data;
    data.Content = content;
    const QString path = Path(relative);
    EXPECT_TRUE(SaveProjectFile(path, data));
    return path;
  }

  // Attaches the counting scripts; compilations are counted from then on.
  TCountingScripts& CountCompilations() {
    Module->SetBuildScripts(&Scripts);
    return Scripts;
  }

  QTemporaryDir FDir;
  TScopedEnvironment FHome{"PAGEWICK_HOME", FDir.filePath("home").toStdString()};
  TScopedEnvironment FAnsi{"PAGEWICK_ANSI_CODEPAGE", std::string("1252")};
  TMemoryTextEditor Editor;
  TMemoryHost Host;
  TCountingScripts Scripts;
  std::unique_ptr<TModule> Module;
  // What the signals told.
  QString Caption;
  int Loaded = 0;
  int PageListChanges = 0;
  int Previews = 0;
  std::vector<bool> ModifiedFlags;
};

}  // namespace pw::tests
