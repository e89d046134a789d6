// pagewick-cli script: top level then main(args), the exit code main returns, script threads
// finishing before the exit, and the error report on standard error.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "support/CliRunner.h"

namespace pw::tests {
namespace {

TEST(CliScript, RunsTopLevelThenMainAndReturnsItsNumber) {
  QTemporaryDir dir;
  const struct {
    const char* Source;
    QStringList Args;
    int ExitCode;
    const char* Out;
  } cases[] = {
      {"Alert('top ' + GetParamArray(0).join('+'));\n"
       "function main(args) { Alert('main ' + args.length + ' ' + args[1]); return Number(args[0]); }",
       {"3", "\xc3\xbc"}, 3, "top 3+\xc3\xbc\nmain 2 \xc3\xbc\n"},
      {"function main(args) { Alert(String(GetParamArray(0) === null && args.length === 0)); return 'text'; }", {}, 0, "true\n"},
      {"Alert('no main');", {"x"}, 0, "no main\n"},
      // A thread still running when main returns ends before the exit, with its on-terminate.
      {"function main() { CreateThread(null, function () { Pause(50); return 7; },"
       " function () { Alert('ended ' + this.Result); }); return 4; }",
       {}, 4, "ended 7\n"},
  };
  for (const auto& c : cases) {
    const QString file = dir.filePath(QStringLiteral("s.js"));
    Put(file, QByteArray(c.Source));
    const TCliResult run = RunCli(QStringList{QStringLiteral("script"), file} + c.Args);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Source << "\n" << run.Err.toStdString();
    EXPECT_EQ(run.Out, QString::fromUtf8(c.Out)) << c.Source;
  }
}

TEST(CliScript, AScriptErrorIsReportedAndExitsOne) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("bad.js"));
  Put(file, "var fine = 1;\nfunction main() { return missing() + 5; }\n");
  TCliResult run = RunCli({QStringLiteral("script"), file});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err, QStringLiteral("Script Line: 1 Pos: 32\nSource: function main() { return missing() + 5; }\n"
                                    "Error: Can't find variable: missing\n"));

  Put(file, "Alert('before');\nvar = 2;\n");
  run = RunCli({QStringLiteral("script"), file});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_TRUE(run.Out.isEmpty());
  EXPECT_TRUE(run.Err.startsWith(QStringLiteral("Script Line: 1 Pos: "))) << run.Err.toStdString();

  run = RunCli({QStringLiteral("script"), dir.filePath(QStringLiteral("none.js"))});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_TRUE(run.Err.startsWith(QStringLiteral("pagewick-cli: cannot read script "))) << run.Err.toStdString();
  EXPECT_EQ(RunCli({QStringLiteral("script")}).ExitCode, 2);
}

}  // namespace
}  // namespace pw::tests
