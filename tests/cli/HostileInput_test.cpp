// pagewick-cli on hostile and damaged input: every refusal exits with 1 and names the file and
// the reason, and nothing the user made is lost or overwritten.
#include "support/CliRunner.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace pw::tests {
namespace {

class HostileInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/";
    Put(root + "d/template/index.html", "<h1>{$title}</h1>{$content}");
    Put(root + "d/template/css/site.css", "body {}");
    Put(root + "d/demo.pwproj", "<?xml version=\"1.0\"?><project><content>$title Demo\n[index.html]\n$title Home\n"
                                "Hello\n[notes.txt]\nraw\n</content></project>");
  }
  // A process id that no process has any more.
  static qint64 DeadPid() {
    QProcess process;
    process.start("true", {});
    process.waitForStarted();
    const qint64 pid = process.processId();
    process.waitForFinished();
    return pid;
  }
  QTemporaryDir dir;
  QString root;
};

TEST_F(HostileInputTest, NewNeverLosesAnExistingTemplateFolder) {
  const TFileTree before = ReadTree(root + "d/template");
  Put(root + "bad.pwtmpl", "not a zip archive");
  // A template of one megabyte of zeros packs a thousand times smaller: refused as a bomb.
  Put(root + "bomb/site.pwproj", "$title Bomb\n");
  Put(root + "bomb/template/zeros.bin", QByteArray(4 << 20, '\0'));
  ASSERT_EQ(RunCli({"pack-template", root + "bomb/site.pwproj", root + "bomb.pwtmpl"}).ExitCode, 0);

  const struct {
    QStringList Args;
    const char* Named;
    const char* Reason;
  } cases[] = {
      {{"new", root + "d/demo", "--force", "--template", root + "bad.pwtmpl"}, "bad.pwtmpl", "Not a zip archive"},
      {{"new", root + "d/demo", "--force", "--template", root + "bomb.pwtmpl"}, "bomb.pwtmpl", "times its packed size"},
      {{"new", root + "d/other"}, "d/template", "already exists"},
      {{"new", root + "d/other", "--template", root + "bomb.pwtmpl"}, "d/template", "already exists"},
  };
  for (const auto& c : cases) {
    const TCliResult r = RunCli(c.Args);
    EXPECT_EQ(r.ExitCode, 1) << c.Args.join(' ').toStdString();
    EXPECT_TRUE(r.Err.contains(c.Named) && r.Err.contains(c.Reason)) << r.Err.toStdString();
    EXPECT_EQ(ReadTree(root + "d/template"), before) << c.Args.join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(root + "d/other.pwproj"));
  }
  EXPECT_EQ(QDir(root + "d").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"demo.pwproj", "template"}));
  EXPECT_FALSE(QFileInfo::exists(root + "fresh")) << "nothing is created for a refused template";
  EXPECT_EQ(RunCli({"new", root + "fresh/x", "--template", root + "bomb.pwtmpl"}).ExitCode, 1);
  EXPECT_FALSE(QFileInfo::exists(root + "fresh"));

  // With --force and a good template the folder is replaced whole.
  ASSERT_EQ(RunCli({"new", root + "d/demo", "--force"}).ExitCode, 0);
  EXPECT_EQ(ReadTree(root + "d/template").size(), 1u);
}

TEST_F(HostileInputTest, CommandsThatWriteAProjectTakeItsFolderLock) {
  const int fd = ::open(QFile::encodeName(root + "d").constData(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  for (const QStringList& args : {QStringList{"new", root + "d/demo", "--force"},
                                  QStringList{"pack-template", root + "d/demo.pwproj", root + "t.pwtmpl"}}) {
    const TCliResult r = RunCli(args);
    EXPECT_EQ(r.ExitCode, 1) << args.join(' ').toStdString();
    EXPECT_TRUE(r.Err.contains(root + "d") && r.Err.contains("in use by another process")) << r.Err.toStdString();
  }
  ::close(fd);
  EXPECT_TRUE(QFileInfo::exists(root + "d/template/css/site.css"));
  EXPECT_EQ(RunCli({"new", root + "d/demo", "--force"}).ExitCode, 0);
}

TEST_F(HostileInputTest, DamagedOrHostileProjectsAreRefusedByEveryCommand) {
  const QByteArray good = Get(root + "d/demo.pwproj");
  std::string entities = "<?xml version=\"1.0\"?><!DOCTYPE p [<!ENTITY a \"aaaaaaaaaa\">";
  for (char c = 'b'; c <= 'k'; ++c) {
    entities += std::string("<!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; ++i) entities += std::string("&") + char(c - 1) + ";";
    entities += "\">";
  }
  entities += "]><project><content>[index.html]\n</content><Settings FTPServer=\"&k;\"/></project>";
  QByteArray deep = "<project><content>";
  for (int i = 0; i < 300000; ++i) deep += "<a>";

  const struct {
    const char* Name;
    QByteArray Bytes;
    const char* Reason;
  } cases[] = {
      {"cut.pwproj", good.left(good.size() * 3 / 5), "line 3: Premature end of data"},
      {"deep.pwproj", deep, "nested deeper than 256 levels"},
      {"entities.pwproj", QByteArray::fromStdString(entities), "declares the entity"},
  };
  for (const auto& c : cases) {
    Put(root + "d/" + c.Name, c.Bytes);
    for (const char* command : {"pages", "info", "build"}) {
      const TCliResult r = RunCli({command, root + "d/" + c.Name});
      EXPECT_EQ(r.ExitCode, 1) << command << ' ' << c.Name;
      EXPECT_TRUE(r.Err.contains(c.Name) && r.Err.contains(c.Reason)) << r.Err.toStdString();
    }
  }
  const TCliResult device = RunCli({"build", "/dev/zero"});
  EXPECT_EQ(device.ExitCode, 1);
  EXPECT_TRUE(device.Err.contains("\"/dev/zero\" is not a regular file")) << device.Err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(root + "d/html")) << "nothing is built from a refused project";
}

TEST_F(HostileInputTest, BuildNeverWritesOverItsInputsNorOutThroughLinks) {
  Put(root + "outside/keep.txt", "outside");
  ASSERT_TRUE(QDir().mkpath(root + "d/html"));
  ASSERT_TRUE(QFile::link(root + "outside", root + "d/html/sub"));
  Put(root + "d/self.pwproj", "$title Self\n$out_path .\n[self.pwproj]\nreplaced\n[template/index.html]\nreplaced\n"
                              "[page.html]\nkept\n");
  Put(root + "d/tpl.pwproj", "$out_path template\n[index.html]\nreplaced\n");
  Put(root + "d/link.pwproj", "[sub/page.html]\nescaped\n[fine.html]\nfine\n");
  const QByteArray self = Get(root + "d/self.pwproj");
  const TFileTree templateBefore = ReadTree(root + "d/template");

  const struct {
    const char* Project;
    QStringList Refused;  // the files named, each with its reason
    const char* Reason;
    const char* Written;
  } cases[] = {
      {"self.pwproj", {"self.pwproj", "template/index.html"}, "", "page.html"},
      {"tpl.pwproj", {"template/index.html"}, "It lies in the template folder", nullptr},
      {"link.pwproj", {"sub/page.html"}, "leads out of the output folder", "html/fine.html"},
  };
  for (const auto& c : cases) {
    const TCliResult r = RunCli({"build", root + "d/" + c.Project});
    EXPECT_EQ(r.ExitCode, 1) << c.Project;
    for (const QString& file : c.Refused) {
      EXPECT_TRUE(r.Err.contains(file + ": ")) << c.Project << ": " << r.Err.toStdString();
    }
    EXPECT_TRUE(r.Err.contains(c.Reason)) << r.Err.toStdString();
    if (c.Written) {
      EXPECT_TRUE(QFileInfo::exists(root + "d/" + c.Written)) << c.Written;
    }
  }
  EXPECT_EQ(Get(root + "d/self.pwproj"), self);
  EXPECT_EQ(ReadTree(root + "d/template"), templateBefore);
  EXPECT_EQ(ReadTree(root + "outside"), (TFileTree{{"keep.txt", "outside"}}));
}

TEST_F(HostileInputTest, ExpansionThatMultipliesStopsAtThePageLimit) {
  // Each level doubles the text: 2^16 copies of 10 KB would be 655 MB.
  Put(root + "d/bomb.pwproj", "[a]\n{$a}{$a}" + QByteArray(10000, 'x') + "\n[index.html]\n{$a}\n[small.html]\nsmall\n");
  const TCliResult r = RunCli({"build", root + "d/bomb.pwproj"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.contains("html/index.html: ") && r.Err.contains("grows past 64 MiB")) << r.Err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(root + "d/html/index.html"));
  EXPECT_TRUE(QFileInfo::exists(root + "d/html/small.html"));
}

TEST_F(HostileInputTest, TemporariesOfDeadProcessesAreSweptAndNoneAreLeft) {
  const QString dead = QString::number(DeadPid());
  const QString live = QString::number(QCoreApplication::applicationPid());
  const QStringList debris = {"html/index.html.pw-" + dead + "-0.tmp", "html/notes.txt.pw-" + dead + "-3.tmp",
                              "t.pwtmpl.pw-" + dead + "-0.tmp.Ab12Cd", "template.pw-" + dead + "-1.tmp/x.html"};
  const QStringList kept = {"html/index.html.pw-" + live + "-0.tmp", "html/notes.pw-1-2.txt"};
  auto putAll = [&] {
    for (const QString& file : debris + kept) Put(root + "d/" + file, "debris");
  };
  putAll();
  ASSERT_EQ(RunCli({"build", root + "d/demo.pwproj", "-q"}).ExitCode, 0);
  ASSERT_EQ(RunCli({"pack-template", root + "d/demo.pwproj", root + "d/t.pwtmpl"}).ExitCode, 0);
  ASSERT_EQ(RunCli({"new", root + "d/demo", "--force"}).ExitCode, 0);
  for (const QString& file : debris) EXPECT_FALSE(QFileInfo::exists(root + "d/" + file)) << file.toStdString();
  for (const QString& file : kept) EXPECT_TRUE(QFileInfo::exists(root + "d/" + file)) << file.toStdString();
  EXPECT_FALSE(QFileInfo::exists(root + "d/template.pw-" + dead + "-1.tmp"));

  // Past a file-size limit the write fails with a reason instead of killing the process.
  QProcess process;
  process.setChildProcessModifier([] {
    std::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{10, 10};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  process.start(CliPath(), {"build", root + "d/demo.pwproj"});
  ASSERT_TRUE(process.waitForFinished());
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 1);
  EXPECT_TRUE(process.readAllStandardError().contains("html/index.html: File too large"));
  const QStringList left = QDir(root + "d/html").entryList({"*.tmp"}, QDir::Files);
  EXPECT_EQ(left, QStringList{"index.html.pw-" + live + "-0.tmp"});
}

}  // namespace
}  // namespace pw::tests
