#include "platform/Shell.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/ScopedEnvironment.h"

namespace pw::tests {
using namespace pw::platform;
namespace {

TEST(ShellTest, NothingToOpenFails) {
  EXPECT_FALSE(ShellOpen(QString()));
  EXPECT_FALSE(ShellOpen(u"   "_qs));
}

TEST(ShellTest, MissingHandlerIsReportedAsFailure) {
  QTemporaryDir emptyFolder;
  pw::tests::TScopedEnvironment path("PATH", emptyFolder.path().toStdString());
  EXPECT_FALSE(ShellOpen(u"/tmp"_qs));
}

}  // namespace
}  // namespace pw::tests
