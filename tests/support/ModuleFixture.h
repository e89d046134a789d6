// A module on an in-memory editor and host, with settings and projects in a temporary folder.
#pragma once

#include "core/Module.h"
#include "platform/FileIO.h"
#include "support/TestFiles.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace pw::test {

using pw::testing::ReadOr;

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FDir.isValid());
    Module = std::make_unique<TModule>(Editor, Host);
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

  QTemporaryDir FDir;
  testing::ScopedEnvironment FHome{"PAGEWICK_HOME", FDir.filePath("home").toStdString()};
  testing::ScopedEnvironment FAnsi{"PAGEWICK_ANSI_CODEPAGE", std::string("1252")};
  TMemoryTextEditor Editor;
  TMemoryHost Host;
  std::unique_ptr<TModule> Module;
};

}  // namespace pw::test
