// Runs the built pagewick-cli on project files the test writes.
#include "support/CliRunner.h"

#include <QTemporaryDir>

namespace pw::tests {
namespace {


class PagesInfoTest : public ::testing::Test {
 protected:
  QString Project(const QByteArray& xml) {
    const QString path = FDir.filePath("site.pwproj");
    Put(path, xml);
    return path;
  }
  QTemporaryDir FDir;
};

TEST_F(PagesInfoTest, PagesListsCaptionsProjectFirst) {
  const QString path = Project(
      "<?xml version=\"1.0\"?><project><content>$title My Site\n[index.html]\n$TITLE Home\n[]\n[open\n"
      "\\[escaped.html]\n[menu]\n[caf\xC3\xA9.html]\n</content></project>");
  const TCliResult r = RunCli({"pages", path});
  EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_EQ(r.Out, QString::fromUtf8("Project (My Site)\nindex.html (Home)\nmenu\ncaf\xC3\xA9.html\n"));
}

TEST_F(PagesInfoTest, InfoPrintsSettingsAndHidesThePassword) {
  const QString path = Project(
      "<project><content>$title Site\n</content><Settings FTPServer=\"ftp.example.org\" FTPPort=\"2121\" "
      "FTPRemoteRoot=\"/www\" FTPPassiveMode=\"0\" UploadChangesOnly=\"1\">"
      "<UploadFiles>a=1\nb=2\n\n</UploadFiles></Settings></project>");
  const TCliResult r = RunCli({"info", path});
  EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_EQ(r.Out,
            "title: Site\nserver: ftp.example.org\nuser name: \npassword length: 0\nport: 2121\nremote root: /www\n"
            "passive mode: no\nchanges only: yes\nuploads: 2\n");
}

TEST_F(PagesInfoTest, InfoShowsThePasswordOnlyWhenAsked) {
  // Any hex deciphers to a text of half its length: three characters here.
  const QString path = Project("<project><content/><Settings FTPPassword=\"0A0B0C\"/></project>");
  const TCliResult hidden = RunCli({"info", path});
  EXPECT_TRUE(hidden.Out.contains("password length: 3\n")) << hidden.Out.toStdString();
  EXPECT_FALSE(hidden.Out.contains("\npassword: "));
  const TCliResult shown = RunCli({"info", "--show-password", path});
  EXPECT_EQ(shown.ExitCode, 0);
  EXPECT_TRUE(shown.Out.contains("\npassword: "));
  EXPECT_FALSE(shown.Out.contains("password length"));
}

TEST_F(PagesInfoTest, MissingOrUnreadableProjectFails) {
  for (const char* command : {"pages", "info"}) {
    TCliResult r = RunCli({command, FDir.filePath("missing.pwproj")});
    EXPECT_EQ(r.ExitCode, 1) << command;
    EXPECT_TRUE(r.Err.contains("missing.pwproj")) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.isEmpty());
    r = RunCli({command, FDir.path()});
    EXPECT_EQ(r.ExitCode, 1) << command;
    r = RunCli({command});
    EXPECT_EQ(r.ExitCode, 2) << command;
  }
  EXPECT_EQ(RunCli({"info", "--bogus", FDir.filePath("x")}).ExitCode, 2);
}

TEST_F(PagesInfoTest, PlainTextGarbageAndEmptyFilesStillList) {
  TCliResult r = RunCli({"pages", Project("[a.html]\r\n[b]\r\n")});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "Project\na.html\nb\n");
  r = RunCli({"pages", Project("")});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "Project\n");
  QByteArray garbage;
  for (int i = 0; i < 2048; ++i) garbage.append(char((i * 131) & 0xFF));
  Put(FDir.filePath("garbage.pwproj"), garbage);
  r = RunCli({"info", FDir.filePath("garbage.pwproj")});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_TRUE(r.Out.startsWith("title: \nserver: \n"));
}

}  // namespace
}  // namespace pw::tests
