// pagewick-cli build, tasks and task with a project's scripts: the error report on stderr and
// exit code 1, the time limit on scripts, the task list and running a task after a build.
#include "support/CliRunner.h"

#include <QTemporaryDir>

namespace pw::tests {
namespace {

class CliScriptsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/";
    Put(root + "template/index.html", "{$content}");
    Put(root + "site.pwproj", "[index.html]\nHi\n[b.html]\nB\n");
  }
  QString Project() const { return root + "site.pwproj"; }
  QTemporaryDir dir;
  QString root;
};

TEST_F(CliScriptsTest, AScriptErrorIsPrintedAndExitsOneWhileThePagesAreWritten) {
  Put(root + "template/template.js", "AddPostBuild(function () {\n  missing();\n});\n");
  const TCliResult r = RunCli({"build", Project(), "-q"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.startsWith("Script Line: 2 Pos: ")) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains("\nSource:   missing();\nError: ")) << r.Err.toStdString();
  EXPECT_EQ(Get(root + "html/index.html"), "Hi");
}

TEST_F(CliScriptsTest, AHookThatNeverEndsIsStoppedByTheTimeLimit) {
  Put(root + "template/template.js",
      "AddPreBuild(function () { for (;;) {} });\nAddSectionHandler(function () { for (;;) {} });\n");
  const TCliResult r = RunCli({"build", Project(), "--script-timeout", "1"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.contains("Error: the scripts ran longer than 1 seconds and were stopped")) << r.Err.toStdString();
  EXPECT_EQ(Get(root + "html/b.html"), "B");

  for (const char* bad : {"-1", "soon", ""}) {
    EXPECT_EQ(RunCli({"build", Project(), "--script-timeout", bad}).ExitCode, 2) << bad;
  }
}

TEST_F(CliScriptsTest, TasksAreListedAndRunAfterABuild) {
  Put(root + "template/template.js",
      "AddTask('Say pages', function () { Alert(this.SectionCount + ' ' + this.GetVar('stamp', '')); });\n"
      "AddTask('Fail', function () { throw new Error('no'); });\n"
      "AddPreBuild(function () { this.SetVar('stamp', 'built'); });\n");
  TCliResult r = RunCli({"tasks", Project()});
  EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_EQ(r.Out, "Say pages\nFail\n");

  r = RunCli({"task", Project(), "Say pages"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_EQ(r.Out, "2 built\n");
  EXPECT_EQ(RunCli({"task", Project(), "Fail"}).ExitCode, 1);
  r = RunCli({"task", Project(), "Nothing"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.contains("no task 'Nothing'")) << r.Err.toStdString();
}

}  // namespace
}  // namespace pw::tests
