// Runs pagewick-cli build, new and pack-template on projects the tests write.
#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>


namespace pw::tests {
namespace {


class CliBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/";
    Put(root + "site/template/index.html", "<link href=\"css/s.css\"><h1>{$title}</h1>{$menu}{$content}");
    Put(root + "site/template/css/s.css", "body { background: url(../img/bg.png) }");
    Put(root + "site/template/img/bg.png", "PNG");
    Put(root + "site/site.pwproj",
        "<?xml version=\"1.0\"?><project><content>$title Site\n[menu]\n* *[index.html Home]\n"
        "[index.html]\n$title Home\nHello &amp; welcome\n[notes.txt]\nraw {$title}\n</content></project>");
  }
  QTemporaryDir dir;
  QString root;
};

TEST_F(CliBuildTest, BuildsTheSiteAndPrintsWhatItWrote) {
  TCliResult r = RunCli({"build", root + "site/site.pwproj"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_TRUE(r.Out.contains("index.html\n"));
  EXPECT_TRUE(r.Out.contains("img/bg.png\n"));
  EXPECT_TRUE(r.Out.contains("Built 3 sections: 4 files written to"));
  EXPECT_TRUE(r.Out.contains(" ms\n"));
  QByteArray page = Get(root + "site/html/index.html");
  EXPECT_TRUE(page.startsWith("<link href=\"css/s.css\"><h1>Home</h1><ul>")) << page.toStdString();
  EXPECT_TRUE(page.endsWith("</ul>Hello & welcome")) << page.toStdString();
  EXPECT_EQ(Get(root + "site/html/notes.txt"), "raw {$title}\n");
  EXPECT_EQ(Get(root + "site/html/img/bg.png"), "PNG");
  EXPECT_FALSE(QFile::exists(root + "site/html/menu"));
}

TEST_F(CliBuildTest, OutOptionAndQuietMode) {
  TCliResult r = RunCli({"build", "site/site.pwproj", "--out", "elsewhere", "--quiet"}, root);
  ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_TRUE(r.Out.startsWith("Built 3 sections")) << r.Out.toStdString();
  EXPECT_EQ(Get(root + "elsewhere/css/s.css"), "body { background: url(../img/bg.png) }");
  EXPECT_FALSE(QFile::exists(root + "site/html"));
}

TEST_F(CliBuildTest, ExitCodesOfBadArgumentsAndUnreadableProjects) {
  const QString project = root + "site/site.pwproj";
  const struct {
    QStringList Args;
    int ExitCode;
  } cases[] = {
      {{"build", root + "missing.pwproj"}, 1},
      {{"build", root + "site"}, 1},
      {{"pack-template", root + "missing.pwproj", root + "x.pwtmpl"}, 1},
      {{"build"}, 2},
      {{"build", "a", "b"}, 2},
      {{"build", project, "--out"}, 2},
      {{"build", project, "--out="}, 2},
      {{"build", project, "--bogus"}, 2},
      {{"new", root + "n/N", "--template"}, 2},
      {{"new", "--force"}, 2},
      {{"pages", ""}, 2},
      {{"pack-template", project}, 2},
      {{"frobnicate"}, 2},
      {{}, 2},
      {{"--help"}, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(RunCli(c.Args).ExitCode, c.ExitCode) << c.Args.join(' ').toStdString();
  ASSERT_EQ(RunCli({"build", "-q", "--out=joined", project}, root).ExitCode, 0);
  EXPECT_EQ(Get(root + "joined/img/bg.png"), "PNG");
}

TEST_F(CliBuildTest, UnwritableOutputFolderFails) {
  Put(root + "blocker", "a file");
  TCliResult r = RunCli({"build", root + "site/site.pwproj", "--out", root + "blocker/out"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.contains("pagewick-cli: cannot write " + root + "blocker/out/index.html: Not a directory\n"))
      << r.Err.toStdString();
  // The reason names what stands in the way.
  QDir().mkpath(root + "site/html/index.html");
  r = RunCli({"build", root + "site/site.pwproj"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.contains("html/index.html: is a folder\n")) << r.Err.toStdString();
  EXPECT_EQ(Get(root + "site/html/notes.txt"), "raw {$title}\n");  // the rest of the build goes on
}

TEST_F(CliBuildTest, NewProjectIsBlankAndNotOverwritten) {
  TCliResult r = RunCli({"new", root + "fresh/Blog"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  QByteArray project = Get(root + "fresh/Blog.pwproj");
  EXPECT_TRUE(project.contains("$title Blog")) << project.toStdString();
  EXPECT_TRUE(Get(root + "fresh/template/index.html").startsWith("<html>\n<head>\n"));
  EXPECT_EQ(RunCli({"new", root + "fresh/Blog.pwproj"}).ExitCode, 1);
  EXPECT_EQ(RunCli({"new", root + "fresh/Blog", "--force"}).ExitCode, 0);

  ASSERT_EQ(RunCli({"build", root + "fresh/Blog.pwproj", "-q"}).ExitCode, 0);
  EXPECT_TRUE(Get(root + "fresh/html/index.html").contains("<title>My Web Project</title>"));
}

TEST_F(CliBuildTest, SiteTemplateRoundTrip) {
  TCliResult pack = RunCli({"pack-template", root + "site/site.pwproj", root + "lib/site.pwtmpl"});
  ASSERT_EQ(pack.ExitCode, 0) << pack.Err.toStdString();
  TCliResult made = RunCli({"new", root + "copy/Copy", "--template", root + "lib/site.pwtmpl"});
  ASSERT_EQ(made.ExitCode, 0) << made.Err.toStdString();
  EXPECT_EQ(ReadTree(root + "copy/template"), ReadTree(root + "site/template"));
  ASSERT_EQ(RunCli({"build", root + "copy/Copy.pwproj", "-q"}).ExitCode, 0);
  ASSERT_EQ(RunCli({"build", root + "site/site.pwproj", "-q"}).ExitCode, 0);
  EXPECT_EQ(ReadTree(root + "copy/html"), ReadTree(root + "site/html"));

  EXPECT_EQ(RunCli({"new", root + "bad/Bad", "--template", root + "site/site.pwproj"}).ExitCode, 1);
  EXPECT_EQ(RunCli({"new", root + "bad/Bad", "--template", root + "none.pwtmpl"}).ExitCode, 1);
}

}  // namespace
}  // namespace pw::tests
