// The command table is the one statement of each command's usage: --help prints it, and
// README's command table must say the same.
#include "support/CliRunner.h"

#include <QFile>
#include <QRegularExpression>

namespace pw::tests {
namespace {

struct TRow {
  QString Usage;
  QString Summary;
};

// The rows of --help: a usage line indented by two spaces, its summary by six.
std::vector<TRow> HelpRows() {
  const TCliResult help = RunCli({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  std::vector<TRow> rows;
  const QStringList lines = help.Out.split(u'\n');
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].startsWith("  ") && !lines[i].startsWith("   ") && lines[i + 1].startsWith("      "))
      rows.push_back({lines[i].mid(2), lines[i + 1].mid(6)});
  }
  return rows;
}

TEST(CliCommands, ReadmeTableRepeatsTheHelpRows) {
  QFile readme(QStringLiteral(PW_SOURCE_DIR "/README.md"));
  ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(readme.readAll());
  const std::vector<TRow> rows = HelpRows();
  ASSERT_FALSE(rows.empty());
  for (const TRow& row : rows) {
    const QString line = "| `pagewick-cli " + row.Usage + "` | " + row.Summary + " |\n";
    EXPECT_TRUE(text.contains(line)) << "README lacks: " << line.toStdString();
  }
  EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("^\\| `pagewick-cli "), QRegularExpression::MultilineOption)),
            static_cast<qsizetype>(rows.size()));
}

TEST(CliCommands, UsageErrorsSayWhyAndShowTheCommandsUsage) {
  const struct {
    QStringList Args;
    QString Err;
  } cases[] = {
      {{"build"}, "pagewick-cli: too few arguments\nUsage: pagewick-cli build PROJECT [--out DIR] [--quiet] "
       "[--script-timeout SECONDS]\n"},
      {{"pages", "a", "b"}, "pagewick-cli: unexpected argument 'b'\nUsage: pagewick-cli pages PROJECT\n"},
      {{"info", "--bogus", "a"},
       "pagewick-cli: unknown option '--bogus'\nUsage: pagewick-cli info PROJECT [--show-password]\n"},
      {{"new", "a", "--template"},
       "pagewick-cli: missing value for '--template'\nUsage: pagewick-cli new FOLDER/NAME [--template FILE.pwtmpl] "
       "[--force]\n"},
      {{"pack-template", "-x", "y"},
       "pagewick-cli: unknown option '-x'\nUsage: pagewick-cli pack-template PROJECT OUT.pwtmpl\n"},
  };
  for (const auto& c : cases) {
    const TCliResult r = RunCli(c.Args);
    EXPECT_EQ(r.ExitCode, 2) << c.Args.join(' ').toStdString();
    EXPECT_EQ(r.Err, c.Err);
  }
  EXPECT_TRUE(RunCli({"frobnicate"}).Err.startsWith("pagewick-cli: unknown command 'frobnicate'\n"));
}

}  // namespace
}  // namespace pw::tests
