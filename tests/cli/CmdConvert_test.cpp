// pagewick-cli convert: a body on standard input, its HTML on standard output.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QProcess>
#include <QStringList>

namespace pw::tests {
namespace {

struct TConvertRun {
  int ExitCode = -1;
  QByteArray Out;
  QByteArray Err;
};

TConvertRun RunConvert(const QByteArray& input, const QStringList& options = {}) {
  QProcess process;
  process.start(PW_CLI_PATH, QStringList{"convert"} + options);
  if (!process.waitForStarted(30000)) return {};
  process.write(input);
  process.closeWriteChannel();
  process.waitForFinished(60000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
          process.readAllStandardError()};
}

TEST(CliConvert, WritesExactlyTheHtml) {
  TConvertRun run = RunConvert("\nHello\nWorld\n");
  EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out, QByteArray("<p>Hello<br/>World</p>"));
  EXPECT_TRUE(run.Err.isEmpty());

  run = RunConvert("");
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_TRUE(run.Out.isEmpty());
}

TEST(CliConvert, Options) {
  TConvertRun run = RunConvert("\n![a.png]", {"--img-path", "img"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Out, QByteArray("<p><img src=\"img/a.png\" border=\"0\"/></p>"));

  run = RunConvert("> a", {"--pre-style", "code"});
  EXPECT_EQ(run.Out, QByteArray("<div class=\"code\">\n&#32;a<br/></div>"));

  run = RunConvert(">a", {"--pre-style", "code", "--img-path", "x"});
  EXPECT_EQ(run.Out, QByteArray("<div class=\"code\">\na<br/></div>"));
}

TEST(CliConvert, BinarySafe) {
  // Bytes that are not valid UTF-8 pass through; a zero byte ends the body;
  // CR LF is a line break.
  static const char kBody[] = "\r\n\xff\xfe _[\x80]\r\nnext\0ignored";
  QByteArray input(kBody, sizeof kBody - 1);
  TConvertRun run = RunConvert(input);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Out, QByteArray("<p>\xff\xfe <strong>\x80</strong><br/>next</p>"));
}

TEST(CliConvert, LargeInput) {
  QByteArray input = "\n";
  for (int i = 0; i < 20000; ++i) input += "_[w] *[a.html t] ";
  TConvertRun run = RunConvert(input);
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_TRUE(run.Out.startsWith("<p><strong>w</strong> <a href=\"a.html\">t</a>"));
  EXPECT_TRUE(run.Out.endsWith(" </p>"));
}

TEST(CliConvert, BadOptions) {
  TConvertRun run = RunConvert("x", {"--bogus"});
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_TRUE(run.Out.isEmpty());
  EXPECT_TRUE(run.Err.contains("unknown option"));

  run = RunConvert("x", {"--img-path"});
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_TRUE(run.Err.contains("missing value"));
}

}  // namespace
}  // namespace pw::tests
