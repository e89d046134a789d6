// The example scripts that need no network run through pagewick-cli script as documented.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "support/CliRunner.h"

namespace pw::tests {
namespace {

TEST(ExampleScripts, TheXmlExampleSavesLoadsAndWalksItsDocument) {
  QTemporaryDir dir;
  const QString output = dir.filePath(QStringLiteral("out/site.xml"));
  const TCliResult run =
      RunCli({QStringLiteral("script"), QStringLiteral(PW_SOURCE_DIR "/examples/scripts/xml.js"), output});
  ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
  EXPECT_TRUE(run.Out.startsWith(QStringLiteral("index.html: Home\nmenu.html: Меню\ncontact.html: Contact\n"
                                                "generator: Pagewick\n")))
      << run.Out.toStdString();
  EXPECT_TRUE(run.Out.contains(QStringLiteral("<param><value>Café</value></param>"))) << run.Out.toStdString();
  EXPECT_TRUE(Get(output).contains("<site title=\"Café Ünïcode\">"));
}

}  // namespace
}  // namespace pw::tests
