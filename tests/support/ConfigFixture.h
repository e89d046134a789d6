// A settings file below a private PAGEWICK_HOME, located like the application's instance, and
// a second instance that reads back what the first saved.
#pragma once

#include "core/ApplicationSettings.h"
#include "core/ConfigFile.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace pw::tests {

class ConfigFileTest : public ::testing::Test {
 protected:
  ConfigFileTest() : FHome("PAGEWICK_HOME", FDir.path().toStdString()) {
    SetupApplicationConfigFile(FConfig);
  }

  // A second instance reading what FConfig saved, as the next start would.
  TConfigFile& Reloaded() {
    SetupApplicationConfigFile(FReloaded);
    FReloaded.Load();
    return FReloaded;
  }

  QTemporaryDir FDir;
  TScopedEnvironment FHome;
  TConfigFile FConfig;
  TConfigFile FReloaded;
};

}  // namespace pw::tests
