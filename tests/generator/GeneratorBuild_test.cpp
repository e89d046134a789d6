#include "support/GeneratorFixture.h"

#include <QDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace pw::tests {
namespace {


class BuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(project.Dir.isValid());
    g.SetBasePath(project.Base());
    g.SetOutPath("html");
  }
  void BuildText(std::string_view text) {
    g.Generate(text);
    g.PreBuild();
    g.Build();
    g.CopyResources();
  }
  TProjectDir project;
  TGenerator g;
};

TEST_F(BuildTest, PathsFollowBaseAndOutput) {
  EXPECT_EQ(g.BasePath(), project.Base());
  EXPECT_EQ(g.OutPath(), "html/");
  EXPECT_EQ(g.ContentPath(), project.Base() + "html/");
  EXPECT_EQ(g.TemplatePath(), project.Base() + "template/");
  g.SetOutPath("\\srv\\site");
  EXPECT_EQ(g.ContentPath(), "/srv/site/");
  g.SetOutPath("");
  EXPECT_EQ(g.OutPath(), "");
  EXPECT_EQ(g.ContentPath(), project.Base());
  g.SetBasePath("/a/b");
  EXPECT_EQ(g.BasePath(), "/a/b/");
}

TEST_F(BuildTest, PagesGoThroughTheirTemplatesAndRawFilesAreWrittenAsIs) {
  project.WriteTemplate("index.html", "<title>{$title}</title>{$content}|{$name}|{$charset}");
  project.WriteTemplate("plain.html", "P:{$content}");
  BuildText(
      "$title Site\n"
      "[index.html]\n"
      "Hello\n"
      "[other.html]\n"
      "$template plain.htm\n"
      "Other\n"
      "[style.css]\n"
      "body { color: {$red} }\n"
      "[menu]\n"
      "fragment\n");
  EXPECT_EQ(project.ReadOut("index.html"), "<title>Site</title>Hello|index.html|utf-8");
  EXPECT_EQ(project.ReadOut("other.html"), "P:Other");
  EXPECT_EQ(project.ReadOut("style.css"), "body { color: {$red} }\n");
  EXPECT_FALSE(project.OutExists("menu"));
}

TEST_F(BuildTest, TemplateNamesWithoutExtensionOrInFoldersAreFoundAndMissingOnesWriteNothing) {
  project.WriteTemplate("sub/blog.html", "B:{$content}");
  BuildText("[a.html]\n$template sub\\blog\nA\n[b.html]\n$template ../escape\nB\n");
  EXPECT_EQ(project.ReadOut("a.html"), "B:A");
  EXPECT_FALSE(project.OutExists("b.html"));
  // Without its template a page is not written; raw files need none.
  BuildText("[index.html]\nHello\n[notes.txt]\nraw\n");
  EXPECT_FALSE(project.OutExists("index.html"));
  EXPECT_EQ(project.ReadOut("notes.txt"), "raw\n");
}

TEST_F(BuildTest, SectionNamesCannotLeaveTheOutputFolder) {
  project.WriteTemplate("index.html", "{$content}");
  BuildText(
      "[../outside.html]\nx\n"
      "[sub\\..\\..\\up.txt]\nx\n"
      "[/tmp/absolute.txt]\nx\n"
      "[C:\\drive.txt]\nx\n"
      "[deep\\dir\\page.html]\nin\n");
  EXPECT_FALSE(platform::FileExists(project.Base() + "outside.html"));
  EXPECT_FALSE(platform::FileExists(project.Base() + "up.txt"));
  EXPECT_EQ(project.ReadOut("deep/dir/page.html"), "in");
}

TEST_F(BuildTest, PageCharsetReencodesThePage) {
  project.WriteTemplate("index.html", "{$charset}:{$content}");
  BuildText(
      "[ru.html]\n$charset windows-1251\nПривет\n"
      "[koi.txt]\n$charset KOI8-R\nПривет\n"
      "[utf.html]\nПривет\n");
  EXPECT_EQ(project.ReadOut("ru.html"), "windows-1251:\xCF\xF0\xE8\xE2\xE5\xF2");
  EXPECT_EQ(project.ReadOut("koi.txt"), "\xF0\xD2\xC9\xD7\xC5\xD4\n");
  EXPECT_EQ(project.ReadOut("utf.html"), "utf-8:Привет");
  // A project-wide charset applies to every page.
  g.Clear();
  g.SetOutPath("html");
  BuildText("$charset iso-8859-1\n[a.html]\ncaf\xC3\xA9\n");
  EXPECT_EQ(project.ReadOut("a.html"), "iso-8859-1:caf\xE9");
}

TEST_F(BuildTest, HooksRunInOrderAndSectionHandlersClaimSections) {
  project.WriteTemplate("index.html", "{$content}");
  std::vector<std::string> log;
  g.AddPreBuild(std::make_shared<TFakeHandler>([&](TSection* s) {
    log.push_back(s ? "pre?" : "pre");
    return false;
  }));
  g.AddPostBuild(std::make_shared<TFakeHandler>([&](TSection*) {
    log.push_back("post");
    return false;
  }));
  g.AddSectionHandler(std::make_shared<TFakeHandler>([&](TSection* s) {
    log.push_back("h1:" + s->Name());
    return s->Name() == "skip.html";
  }));
  g.AddSectionHandler(std::make_shared<TFakeHandler>([&](TSection* s) {
    log.push_back("h2:" + s->Name());
    return false;
  }));
  BuildText("[skip.html]\nA\n[keep.html]\nB\n");
  EXPECT_EQ(log, (std::vector<std::string>{"pre", "post", "h1:skip.html", "h1:keep.html", "h2:keep.html"}));
  EXPECT_FALSE(project.OutExists("skip.html"));
  EXPECT_EQ(project.ReadOut("keep.html"), "B");

  g.ClearHandlers();
  g.Clear();
  g.SetOutPath("html");
  log.clear();
  BuildText("[skip.html]\nA\n");
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(project.OutExists("skip.html"));
}

TEST_F(BuildTest, HandlersMayDeleteSectionsWhileTheyAreWritten) {
  project.WriteTemplate("index.html", "{$content}");
  g.AddSectionHandler(std::make_shared<TFakeHandler>([&](TSection* s) {
    if (s->Name() == "a.html") g.DeleteSection(1);
    return false;
  }));
  BuildText("[a.html]\nA\n[b.html]\nB\n[c.html]\nC\n");
  EXPECT_TRUE(project.OutExists("a.html"));
  EXPECT_FALSE(project.OutExists("b.html"));
  EXPECT_TRUE(project.OutExists("c.html"));
}

TEST_F(BuildTest, SaveAsReportsFailures) {
  TSection* s = g.AddSection("x.html", "x");
  EXPECT_FALSE(s->SaveAsHTML(project.Out() + "x.html"));  // no template
  project.WriteTemplate("index.html", "{$content}");
  EXPECT_TRUE(s->SaveAsHTML(project.Out() + "x.html"));
  EXPECT_TRUE(s->SaveAsText(project.Out() + "raw/x.txt"));
  EXPECT_EQ(project.ReadOut("raw/x.txt"), "x");
}

TEST_F(BuildTest, SettingOutPathCopiesPendingResourcesFirst) {
  project.WriteTemplate("logo.png", "PNG");
  g.CollectResources("<img src=\"logo.png\">", "");
  ASSERT_EQ(g.Resources().size(), 1u);
  g.SetOutPath("elsewhere");
  EXPECT_TRUE(project.OutExists("logo.png"));
  EXPECT_TRUE(g.Resources().empty());
  EXPECT_FALSE(platform::FileExists(project.Base() + "elsewhere/logo.png"));
}

// Without section handlers pages are rendered and written on several threads. Whatever the
// pages hold, the files, the order the observer hears them in and the script calls must be
// those of a build that writes one page after the other (a handler that claims nothing forces
// that). The site mixes fragments reused by every page, fragments that include themselves up
// to the depth bound, pages in folders, two sections writing one file, raw files and, late,
// script calls whose results depend on the order they run in.
TEST(ParallelBuildTest, WritesWhatAnOrderlyBuildWrites) {
  std::string content = "$site Site\n$footer _[bold] footer {$site}\n[menu]\n* *[p1.html One]\n* *[p2.html Two]\n"
                        "[loop]\nx{$loop}\n[deep]\n{$deeper}\n[deeper]\n{$loop}\n";
  for (int i = 0; i < 600; ++i) {
    const std::string n = std::to_string(i);
    content += "[" + std::string(i % 7 == 0 ? "sub/" : "") + "p" + n + ".html]\n$title Page " + n + "\n";
    if (i % 50 == 0) content += "$template other.html\n";
    content += "Text of __[page] " + n + " {$p1.title} {$menu}";
    if (i % 3 == 0) content += "{$loop}";
    if (i % 5 == 0) content += "{$deep}";
    if (i >= 550) content += "{$count(" + n + ")}";
    content += "\n";
    if (i % 100 == 0) content += "[p1.html]\nthe same file again " + n + "\n[raw" + n + ".txt]\n$charset windows-1251\nraw\n";
  }
  auto build = [&](bool orderly, std::vector<std::string>& heard, std::vector<std::string>& calls) {
    TProjectDir project;
    project.WriteTemplate("index.html", "<h1>{$title}</h1>{$content}<nav>{$menu}</nav>{$footer} {$site}");
    project.WriteTemplate("other.html", "{$content}|{$deep}");
    TGenerator g;
    TFakeScripts scripts;
    int next = 0;
    scripts.Functions["count"] = [&](const std::vector<std::string>& args, TSection*, std::string& result) {
      calls.push_back(args.at(0));
      result = std::to_string(next++);
      g.SetVar("site", "Site " + std::to_string(next));  // what later pages show changes
      return true;
    };
    g.SetScriptFunctions(&scripts);
    g.SetBasePath(project.Base());
    g.SetOutPath("html");
    g.FileWriteObserver = [&](const QString& path, bool written, const QString&) {
      heard.push_back(path.mid(project.Base().size()).toStdString() + (written ? "" : " failed"));
    };
    if (orderly) g.AddSectionHandler(std::make_shared<TFakeHandler>([](TSection*) { return false; }));
    g.Generate(content);
    g.Build();
    std::map<std::string, std::string> files;
    for (const QString& name : QDir(project.Out()).entryList(QDir::Files))
      files[name.toStdString()] = project.ReadOut(name);
    for (const QString& name : QDir(project.Out() + "sub").entryList(QDir::Files))
      files["sub/" + name.toStdString()] = project.ReadOut("sub/" + name);
    return files;
  };
  std::vector<std::string> heardOrderly, heardParallel, callsOrderly, callsParallel;
  const auto orderly = build(true, heardOrderly, callsOrderly);
  const auto parallel = build(false, heardParallel, callsParallel);
  ASSERT_EQ(orderly.size(), 600u + 6);  // six raw files
  EXPECT_TRUE(orderly == parallel);
  EXPECT_EQ(heardOrderly, heardParallel);
  EXPECT_EQ(callsOrderly, callsParallel);
  EXPECT_NE(orderly.at("p599.html").find("Site 50"), std::string::npos);
}

}  // namespace
}  // namespace pw::tests
