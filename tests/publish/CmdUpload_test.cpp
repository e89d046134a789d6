// pagewick-cli upload against a loopback FTP server, and the rewrite of the stored upload list
// that keeps the rest of the project file.
#include "core/ProjectFile.h"

#include "PublishServers.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace pw {
namespace {

struct TCliRun {
  int ExitCode = -1;
  QString Out, Err;
};

TCliRun RunUpload(QStringList args, const QByteArray& input = QByteArray()) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LANG", "C.UTF-8");
  env.insert("LC_ALL", "C.UTF-8");
  process.setProcessEnvironment(env);
  args.prepend("upload");
  process.start(PW_CLI_PATH, args);
  process.write(input);
  process.closeWriteChannel();
  process.waitForFinished(120000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QByteArray Read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QString Md5(const QByteArray& bytes) {
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

class CmdUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QString why;
    ASSERT_TRUE(FServer.Start({}, &why)) << why.toStdString();
    QDir().mkpath(FServer.Root() + "/www");
    TProjectFileData data;
    data.Content = "[index.html]\nHello\n[notes.txt]\nraw\n";
    data.State.FTPServer = "127.0.0.1";
    data.State.FTPPort = QString::number(FServer.Port());
    data.State.FTPUserName = tests::TFtpServer::kUser;
    data.State.FTPPassword = tests::TFtpServer::kPassword;
    data.State.FTPRemoteRoot = "/www";
    data.State.UploadFiles = {"gone.html=0123"};
    // Something the program does not know, which a rewrite must keep.
    QByteArray bytes = QByteArray::fromStdString(SerializeProjectFile(data));
    bytes.replace("</project>", "<extra keep=\"1\">x &amp; y</extra>\n</project>");
    Write(Project(), bytes);
    QDir().mkpath(FDir.path() + "/template");
    Write(FDir.path() + "/template/index.html", "<html>{$content}</html>");
  }

  QString Project() const { return FDir.path() + "/site.pwproj"; }

  tests::TFtpServer FServer;
  QTemporaryDir FDir;
};

TEST_F(CmdUploadTest, UploadsRecordsTheDigestsAndThenFindsNothingToSend) {
  const QByteArray before = Read(Project());
  const TCliRun first = RunUpload({Project()});
  ASSERT_EQ(first.ExitCode, 0) << first.Err.toStdString() << first.Out.toStdString();
  EXPECT_TRUE(first.Out.contains("Found files: 2\n")) << first.Out.toStdString();
  EXPECT_TRUE(first.Out.contains("] index.html ")) << "a progress line per file";
  EXPECT_TRUE(first.Out.endsWith("Upload successfully complete\n"));
  const QByteArray page = Read(FServer.Root() + "/www/index.html");
  EXPECT_TRUE(page.contains("Hello")) << page.toStdString();
  EXPECT_EQ(Read(FServer.Root() + "/www/notes.txt"), "raw\n");

  // Only the upload list changed: the old entry stays, the sent files join it.
  const QByteArray after = Read(Project());
  const qsizetype start = before.indexOf("<UploadFiles>"), end = before.indexOf("</UploadFiles>");
  ASSERT_GT(start, 0);
  EXPECT_EQ(after.left(start), before.left(start));
  EXPECT_EQ(after.mid(after.indexOf("</UploadFiles>")), before.mid(end));
  TProjectFileData data;
  ASSERT_TRUE(LoadProjectFile(Project(), data));
  EXPECT_EQ(data.State.UploadFiles,
            (QStringList{"gone.html=0123", "index.html=" + Md5(page), "notes.txt=" + Md5("raw\n")}));

  const TCliRun second = RunUpload({Project()});
  EXPECT_EQ(second.ExitCode, 0);
  EXPECT_EQ(second.Out, "Prepare files...\nAll files already uploaded\n");
  EXPECT_EQ(Read(Project()), after);

  const TCliRun all = RunUpload({Project(), "--all", "--no-build", "--atomic", "--jobs", "2"});
  EXPECT_EQ(all.ExitCode, 0) << all.Err.toStdString();
  EXPECT_TRUE(all.Out.contains("Found files: 2\n"));
}

TEST_F(CmdUploadTest, FailuresExitNonZeroAndRecordNothing) {
  const QByteArray before = Read(Project());
  const struct {
    QStringList Args;
    QByteArray Input;
    int ExitCode;
    const char* Says;
  } cases[] = {
      {{"--password-stdin"}, "wrong\n", 1, "Can't open: 127.0.0.1"},
      {{"--test", "--password-stdin"}, "wrong\n", 1, "Can't open: 127.0.0.1"},
      {{"--jobs", "0"}, "", 2, ""},
      {{"--jobs"}, "", 2, ""},
      {{"--unknown"}, "", 2, ""},
  };
  for (const auto& c : cases) {
    const TCliRun run = RunUpload(QStringList{Project()} + c.Args, c.Input);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Args.join(' ').toStdString();
    EXPECT_TRUE(run.Out.contains(c.Says)) << run.Out.toStdString();
    EXPECT_EQ(Read(Project()), before);
  }
  // The right password on standard input overrides a wrong stored one.
  TProjectFileData data;
  ASSERT_TRUE(LoadProjectFile(Project(), data));
  data.State.FTPPassword = "stale";
  ASSERT_TRUE(SaveProjectFile(Project(), data));
  EXPECT_EQ(RunUpload({Project(), "--password-stdin"}, "secret\n").ExitCode, 0);
}

TEST(SaveProjectUploadFiles, WritesWhereTheSettingsAreRead) {
  const struct {
    const char* Document;
    const char* Contains;
  } cases[] = {
      {"<project><content>c</content><Settings FTPServer=\"h\"><UploadFiles>old\n</UploadFiles></Settings></project>",
       "<UploadFiles>a=1\nb=2\n</UploadFiles></Settings>"},
      {"<project><content>c</content><config><server>h</server></config></project>",
       "<server>h</server><filelist>a=1\nb=2\n</filelist></config>"},
      {"<project><content>c</content></project>", "<Settings><UploadFiles>a=1\nb=2\n</UploadFiles></Settings>"},
  };
  QTemporaryDir dir;
  const QString path = dir.filePath("p.pwproj");
  for (const auto& c : cases) {
    Write(path, c.Document);
    QString error;
    ASSERT_TRUE(SaveProjectUploadFiles(path, {"a=1", "b=2"}, &error)) << error.toStdString();
    EXPECT_TRUE(Read(path).contains(c.Contains)) << Read(path).toStdString();
    TProjectFileData data;
    ASSERT_TRUE(LoadProjectFile(path, data));
    EXPECT_EQ(data.State.UploadFiles, (QStringList{"a=1", "b=2"}));
    EXPECT_EQ(data.Content, "c");
  }
  // A project that is plain text has no place for the list and is left alone.
  Write(path, "[index.html]\nplain");
  QString error;
  EXPECT_FALSE(SaveProjectUploadFiles(path, {"a=1"}, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(Read(path), "[index.html]\nplain");
}

}  // namespace
}  // namespace pw
