#include "core/SiteBuild.h"
#include "core/SiteTemplateSave.h"
#include "generator/Generator.h"
#include "generator/Template.h"
#include "platform/FileIO.h"
#include "support/ModuleFixture.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace pw::tests {
namespace {



class TFakeBuildScripts : public IBuildScripts {
 public:
  explicit TFakeBuildScripts(TGenerator& g) : G(g) {}
  bool CompileScripts() override {
    Log.push_back("compile");
    G.ClearHandlers();
    return CompileOk;
  }
  void RunBuildFunction() override {
    Log.push_back("build:" + std::to_string(G.SectionCount()));
    if (FailInBuild) Error = true;
  }
  void ResetScriptError() override { Error = false; }
  bool ScriptErrorReported() const override { return Error; }

  TGenerator& G;
  std::vector<std::string> Log;
  bool CompileOk = true;
  bool FailInBuild = false;
  bool Error = false;
};

class SiteBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base = dir.path() + "/";
    platform::WriteWholeFile(base + "template/index.html", "<link href=\"s.css\">{$content}");
    platform::WriteWholeFile(base + "template/s.css", "x");
  }
  QTemporaryDir dir;
  QString base;
  TGenerator g;
};

TEST_F(SiteBuildTest, BuildsIntoTheDefaultOutputFolderAndReportsWrites) {
  TSiteBuildReport report;
  ASSERT_TRUE(BuildSiteContent(g, "[index.html]\nHi\n[menu]\nm\n", {base, {}, nullptr, {}}, &report));
  EXPECT_EQ(report.OutputFolder, base + "html/");
  EXPECT_EQ(report.Sections, 2);
  EXPECT_EQ(report.Written, (QStringList{base + "html/index.html", base + "html/s.css"}));
  EXPECT_TRUE(report.Failed.empty());
  EXPECT_EQ(ReadOr(base + "html/index.html"), "<link href=\"s.css\">Hi");
  EXPECT_FALSE(g.FileWriteObserver);  // the caller's observer is restored
}

TEST_F(SiteBuildTest, OutPathDirectiveAndOverride) {
  ASSERT_TRUE(BuildSiteContent(g, "$out_path site\\www\n[index.html]\nA\n", {base, {}, nullptr, {}}));
  EXPECT_EQ(ReadOr(base + "site/www/index.html"), "<link href=\"s.css\">A");
  EXPECT_EQ(ReadOr(base + "site/www/s.css"), "x");
  QString elsewhere = dir.path() + "/override";
  ASSERT_TRUE(BuildSiteContent(g, "$out_path site\n[index.html]\nB\n", {base, elsewhere, nullptr, {}}));
  EXPECT_EQ(ReadOr(elsewhere + "/index.html"), "<link href=\"s.css\">B");
  EXPECT_EQ(ReadOr(base + "site/index.html"), "<missing>");
}

TEST_F(SiteBuildTest, ScriptStepsRunAroundTheBuild) {
  TFakeBuildScripts scripts(g);
  ASSERT_TRUE(BuildSiteContent(g, "[index.html]\nA\n", {base, {}, &scripts, {}}));
  EXPECT_EQ(scripts.Log, (std::vector<std::string>{"compile", "build:1"}));

  scripts.FailInBuild = true;
  EXPECT_FALSE(BuildSiteContent(g, "[index.html]\nA\n", {base, {}, &scripts, {}}));

  scripts.FailInBuild = false;
  scripts.CompileOk = false;
  scripts.Log.clear();
  platform::WriteWholeFile(base + "html/index.html", "old");
  EXPECT_FALSE(BuildSiteContent(g, "[index.html]\nNew\n", {base, {}, &scripts, {}}));
  EXPECT_EQ(scripts.Log, std::vector<std::string>{"compile"});
  EXPECT_EQ(ReadOr(base + "html/index.html"), "old");
}

TEST_F(SiteBuildTest, UnwritableOutputIsReported) {
  platform::WriteWholeFile(base + "blocker", "a file where a folder should be");
  TSiteBuildReport report;
  EXPECT_TRUE(
      BuildSiteContent(g, "$out_path blocker\n[index.html]\nA\n[a.txt]\nt\n", {base, {}, nullptr, {}}, &report));
  EXPECT_TRUE(report.Written.isEmpty());
  ASSERT_EQ(report.Failed.size(), 3u);
  EXPECT_EQ(report.Failed[0].Path, base + "blocker/index.html");
  for (const TFailedWrite& failed : report.Failed) EXPECT_EQ(failed.Reason, "Not a directory");
}

using ModuleBuildTest = ModuleTest;

TEST_F(ModuleBuildTest, CreateProjectThenBuildSite) {
  const TCountingScripts& scripts = CountCompilations();
  QString project = Path("My Site/site.pwproj");
  ASSERT_TRUE(FModule->CreateProject(project, QString()));
  EXPECT_TRUE(FEditor.Modified());
  EXPECT_EQ(FModule->ProjectPath(), project);
  EXPECT_EQ(scripts.Compiled, 1);
  EXPECT_TRUE(FEditor.Text().startsWith("$title site\n\n[index.html]\n"));
  ASSERT_FALSE(FModule->PageList().empty());

  ASSERT_TRUE(FModule->BuildSite());
  std::string page = ReadOr(Path("My Site/html/index.html"));
  EXPECT_NE(page.find("<title>My Web Project</title>"), std::string::npos) << page;
  EXPECT_NE(page.find("charset=utf-8"), std::string::npos);
  EXPECT_EQ(FModule->Generator().SectionCount(), 1);

  // The template editor can cancel the build.
  FHost.TemplateChangesSettled = false;
  EXPECT_FALSE(FModule->BuildSite());

  // A project from a site template that cannot be opened says why.
  QString reason;
  EXPECT_FALSE(FModule->CreateProject(Path("other/site.pwproj"), Path("none.pwtmpl"), &reason));
  EXPECT_EQ(reason, Path("none.pwtmpl") + " is not a site template file: No such file");
}

TEST_F(ModuleBuildTest, BrowseOpensTheBaseUrlElseTheCurrentPagesFile) {
  ASSERT_TRUE(FModule->LoadProject(
      WriteProject("site/site.pwproj", "$title Site\n\n[index.html]\nHi\n[menu]\nm\n[b.html]\nb\n")));
  const struct {
    int Line;
    QString Target;
  } cases[] = {{0, ""}, {3, Path("site/html/index.html")}, {5, ""}, {7, Path("site/html/b.html")}};
  for (const auto& c : cases) {
    FEditor.SetCaret({c.Line, 0});
    ASSERT_TRUE(FModule->BuildSite());
    EXPECT_EQ(FModule->BrowseTarget(), c.Target) << c.Line;
  }
  FEditor.ReplaceRange({0, 0}, {0, 0}, "$base_url http://example.org/\n");
  ASSERT_TRUE(FModule->BuildSite());
  EXPECT_EQ(FModule->BrowseTarget(), "http://example.org/");
}

TEST_F(ModuleBuildTest, SavesASiteTemplateWithTitleContentTemplateFolderAndThumbnail) {
  const QTemporaryDir& dir = FDir;
  TModule& module = *FModule;
  ASSERT_TRUE(module.CreateProject(Path("p/site.pwproj"), QString()));
  FEditor.SetText("$title Garden\n[index.html]\nHi\n");
  platform::WriteWholeFile(dir.path() + "/p/template/css/a.css", "css");

  bool rendered = false;
  QString archive = dir.path() + "/lib/garden.pwtmpl";
  ASSERT_TRUE(SaveModuleAsSiteTemplate(module, archive, [&](std::string& png) {
    rendered = QFile::exists(dir.path() + "/p/html/index.html");  // the site is built first
    png = "PNG";
    return true;
  }));
  EXPECT_TRUE(rendered);
  TTemplate t;
  ASSERT_TRUE(t.LoadTemplateInfo(archive));
  EXPECT_EQ(t.Title(), "Garden");
  EXPECT_EQ(t.Content(), "$title Garden\n[index.html]\nHi\n");
  std::string bytes;
  EXPECT_TRUE(t.ReadEntry("template/css/a.css", bytes));
  EXPECT_TRUE(t.ReadEntry("template/index.html", bytes));
  EXPECT_TRUE(t.ReadEntry("template.png", bytes));
  EXPECT_EQ(bytes, "PNG");

  platform::WriteWholeFile(dir.path() + "/blocker", "x");
  EXPECT_FALSE(SaveModuleAsSiteTemplate(module, dir.path() + "/blocker/t.pwtmpl"));
  EXPECT_EQ(FHost.Messages.size(), 1u);
}

// Rewrites a file's bytes in place and gives it back its size and time to the nanosecond, so
// that only reading it tells the difference.
void Tamper(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  struct stat before;
  ASSERT_EQ(::stat(name.constData(), &before), 0);
  std::string bytes = ReadOr(path);
  ASSERT_FALSE(bytes.empty());
  bytes[0] = bytes[0] == '#' ? '%' : '#';
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
  file.close();
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
}

// A build in which no script runs skips its pages when its inputs are those of the last build and
// the files that build left are untouched (a file tampered with behind the build's back shows it),
// and builds again when a template, an output file or the content changes, or a placeholder
// calls a script.
TEST_F(SiteBuildTest, AnUnchangedBuildWithoutScriptsSkipsItsPages) {
  const std::string content = "[index.html]\nHi\n[b.html]\nB\n";
  auto build = [&](const std::string& text) {
    TSiteBuildReport report;
    EXPECT_TRUE(BuildSiteContent(g, text, {base, {}, nullptr, {}}, &report));
    return report;
  };
  const QString out = base + "html/";
  const TSiteBuildReport first = build(content);
  ASSERT_EQ(first.Written.size(), 3);

  Tamper(out + "index.html");
  TSiteBuildReport skipped = build(content);
  EXPECT_TRUE(skipped.Written.isEmpty());
  EXPECT_EQ(skipped.Unchanged, first.Written);
  EXPECT_EQ(ReadOr(out + "index.html")[0], '#');  // no page was rendered

  // A template file with another time: built again, which mends the tampered page.
  const QDateTime later = QFileInfo(base + "template/s.css").lastModified().addSecs(5);
  QFile css(base + "template/s.css");
  ASSERT_TRUE(css.open(QIODevice::ReadWrite));
  ASSERT_TRUE(css.setFileTime(later, QFileDevice::FileModificationTime));
  css.close();
  EXPECT_EQ(build(content).Written, QStringList{out + "index.html"});
  EXPECT_EQ(build(content).Unchanged.size(), 3);

  QFile::remove(out + "b.html");
  EXPECT_EQ(build(content).Written, QStringList{out + "b.html"});

  // A manifest cut short at a line's end, or naming a file outside the output folder, is none.
  const QString manifest = QDir(base).entryInfoList({".pagewick-build-*"}, QDir::Hidden | QDir::Files).value(0).filePath();
  const std::string whole = ReadOr(manifest);
  ASSERT_FALSE(whole.empty());
  for (const std::string& damaged : {whole.substr(0, whole.find('\n', whole.find('\n', whole.find('\n') + 1) + 1) + 1),
                                     std::string(whole).replace(whole.rfind(" b.html"), 7, " ../b.html")}) {
    platform::WriteWholeFile(manifest, damaged);
    Tamper(out + "b.html");
    EXPECT_EQ(build(content).Written, QStringList{out + "b.html"});
  }

  Tamper(out + "b.html");
  EXPECT_EQ(build(content + "x\n").Written, QStringList{out + "b.html"});

  // A template that is a link: a change of the file it leads to is a change of the template.
  ASSERT_TRUE(QDir().mkpath(base + "shared"));
  ASSERT_TRUE(QFile::rename(base + "template/index.html", base + "shared/page.html"));
  ASSERT_TRUE(QFile::link(base + "shared/page.html", base + "template/index.html"));
  build(content);
  platform::WriteWholeFile(base + "shared/page.html", "<link href=\"s.css\">[{$content}]");
  EXPECT_EQ(build(content).Written, (QStringList{out + "index.html", out + "b.html"}));

  // A file two sections write is recorded as the later one left it.
  const std::string twice = content + "[d.html]\nOne\n[d.html]\nTwo\n";
  build(twice);
  EXPECT_TRUE(build(twice).Written.isEmpty());

  // A placeholder that calls a function keeps every build a whole one.
  const std::string calling = content + "{$f(1)}\n";
  build(calling);
  Tamper(out + "b.html");
  EXPECT_EQ(build(calling).Written, QStringList{out + "b.html"});
}

// Rebuilds write only what changed: unchanged files keep their modification time, a changed page
// is the only file rewritten, a deleted page's file stays, and the output folder may be absolute.
TEST_F(SiteBuildTest, RebuildsWriteOnlyTheFilesWhoseBytesChanged) {
  const QString out = base + "abs-out/";
  std::string content = "$out_path " + out.toStdString() + "\n[index.html]\nHi\n[b.html]\nB\n[c.txt]\nC\n";
  TSiteBuildReport first;
  ASSERT_TRUE(BuildSiteContent(g, content, {base, {}, nullptr, {}}, &first));
  ASSERT_EQ(first.OutputFolder, out);
  EXPECT_EQ(first.Written.size(), 4);
  const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
  for (const QString& name : {"index.html", "b.html", "c.txt", "s.css"}) {
    QFile file(out + name);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
  }
  auto modified = [&](const QString& name) { return QFileInfo(out + name).lastModified() != old; };

  TSiteBuildReport same;
  ASSERT_TRUE(BuildSiteContent(g, content, {base, {}, nullptr, {}}, &same));
  EXPECT_TRUE(same.Written.isEmpty());
  EXPECT_EQ(same.Unchanged.size(), 4);
  for (const QString& name : {"index.html", "b.html", "c.txt", "s.css"}) EXPECT_FALSE(modified(name)) << name.toStdString();

  // One page changes and another goes: only the changed page is written, the old file stays.
  content = "$out_path " + out.toStdString() + "\n[index.html]\nHi!\n[b.html]\nB\n";
  TSiteBuildReport changed;
  ASSERT_TRUE(BuildSiteContent(g, content, {base, {}, nullptr, {}}, &changed));
  EXPECT_EQ(changed.Written, QStringList{out + "index.html"});
  EXPECT_EQ(ReadOr(out + "index.html"), "<link href=\"s.css\">Hi!");
  EXPECT_FALSE(modified("b.html"));
  EXPECT_EQ(ReadOr(out + "c.txt"), "C\n");

  // A link where a page goes is replaced by the page, as a full write does, even when the file
  // it leads to holds the same bytes.
  QFile::remove(out + "b.html");
  platform::WriteWholeFile(out + "same.html", "<link href=\"s.css\">B");
  ASSERT_TRUE(QFile::link(out + "same.html", out + "b.html"));
  TSiteBuildReport linked;
  ASSERT_TRUE(BuildSiteContent(g, content, {base, {}, nullptr, {}}, &linked));
  EXPECT_EQ(linked.Written, QStringList{out + "b.html"});
  EXPECT_FALSE(QFileInfo(out + "b.html").isSymLink());
}

}  // namespace
}  // namespace pw::tests
