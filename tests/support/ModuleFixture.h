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
    FModule = std::make_unique<TModule>(FEditor, FHost);
    FCaption = FModule->MainCaption();
    QObject::connect(FModule.get(), &TModule::TitleChanged, [this](const QString& caption) { FCaption = caption; });
    QObject::connect(FModule.get(), &TModule::ProjectLoaded, [this] { ++FLoaded; });
    QObject::connect(FModule.get(), &TModule::PageListChanged, [this] { ++FPageListChanges; });
    QObject::connect(FModule.get(), &TModule::PreviewRequested, [this] { ++FPreviews; });
    QObject::connect(FModule.get(), &TModule::ModifiedChanged,
                     [this](bool modified) { FModifiedFlags.push_back(modified); });
  }
  void TearDown() override { FModule.reset(); }

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
    FModule->SetBuildScripts(&FScripts);
    return FScripts;
  }

  QTemporaryDir FDir;
  TScopedEnvironment FHome{"PAGEWICK_HOME", FDir.filePath("home").toStdString()};
  TScopedEnvironment FAnsi{"PAGEWICK_ANSI_CODEPAGE", std::string("1252")};
  TMemoryTextEditor FEditor;
  TMemoryHost FHost;
  TCountingScripts FScripts;
  std::unique_ptr<TModule> FModule;
  // What the signals told.
  QString FCaption;
  int FLoaded = 0;
  int FPageListChanges = 0;
  int FPreviews = 0;
  std::vector<bool> FModifiedFlags;
};

}  // namespace pw::tests
