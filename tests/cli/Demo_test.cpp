// The demo project that `make run` builds must keep building, with every page and resource.
#include <QTemporaryDir>

#include "support/CliRunner.h"

namespace pw::tests {
namespace {

TEST(DemoProject, BuildsEveryPageAndTheResourcesItUses) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  const TCliResult result =
      RunCli({"build", QStringLiteral(PW_SOURCE_DIR "/examples/demo/demo.pwproj"), "--out", out.path()});
  ASSERT_EQ(result.ExitCode, 0) << result.Err.toStdString();

  for (const char* file : {"index.html", "teas.html", "brewing.html", "robots.txt", "css/style.css",
                           "images/bg.png", "images/logo.png", "images/tea.png"}) {
    EXPECT_TRUE(QFileInfo::exists(out.path() + '/' + file)) << file;
  }
  EXPECT_FALSE(QFileInfo::exists(out.path() + "/menu")) << "a fragment writes no file";

  const QByteArray index = Get(out.path() + "/index.html");
  EXPECT_TRUE(index.contains("<title>Welcome - Tea House</title>"));
  EXPECT_TRUE(index.contains("<li><a href=\"teas.html\">Our teas</a></li>")) << "the menu fragment is inserted";
  const QByteArray brewing = Get(out.path() + "/brewing.html");
  EXPECT_TRUE(brewing.contains("<ol class=\"steps\">"));
  EXPECT_TRUE(brewing.contains("<pre>\n"));
}

}  // namespace
}  // namespace pw::tests
