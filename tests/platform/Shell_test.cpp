#include "platform/Shell.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/ScopedEnvironment.h"

namespace pw::platform {
namespace {

TEST(ShellTest, NothingToOpenFails) {
  EXPECT_FALSE(ShellOpen(QString()));
  EXPECT_FALSE(ShellOpen(u"   "_qs));
}

TEST(ShellTest, MissingHandlerIsReportedAsFailure) {
  QTemporaryDir emptyFolder;
  pw::testing::ScopedEnvironment path("PATH", emptyFolder.path().toStdString());
  EXPECT_FALSE(ShellOpen(u"/tmp"_qs));
}

}  // namespace
}  // namespace pw::platform
