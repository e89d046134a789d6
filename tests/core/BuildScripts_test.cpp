// The scripted build: template.js and the used units compiled into a runtime, the hooks and
// tasks they register, the order a build calls them in and the script error report.
#include "core/SiteBuild.h"
#include "generator/Generator.h"
#include "platform/FileIO.h"
#include "runtime/BuildScripts.h"
#include "runtime/RuntimeFixture.h"
#include "runtime/ScriptRuntime.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

class BuildScriptsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RuntimeApp();
    RegisterScriptObjects();
    base = dir.path() + "/";
    platform::WriteWholeFile(base + "template/index.html", "[{$content}{$x}]");
    scripts.SetFolders({base + "template/", base + "library/Scripts/"});
    scripts.ContentText = [this] { return content; };
    scripts.OnReport = [this](const QString& report) { reports << report; };
  }

  void Script(const QString& name, const std::string& text) { platform::WriteWholeFile(base + name, text); }

  bool Build() {
    TSiteBuildOptions options;
    options.BasePath = base;
    options.Scripts = &scripts;
    return BuildSiteContent(generator, content, options);
  }
  std::string Out(const QString& name) { return ReadOr(base + "html/" + name); }
  // A global's value as text after the last compilation.
  QString Global(const QString& expression) {
    Variant value;
    runtime.Evaluate(QStringLiteral("String(") + expression + QLatin1Char(')'), &value);
    return value.StringValue();
  }

  QTemporaryDir dir;
  QString base;
  std::string content = "[index.html]\nHi\n[a.html]\nA\n";
  TGenerator generator;
  TScriptRuntime runtime;
  TBuildScripts scripts{runtime, generator};
  QStringList reports;
};

TEST_F(BuildScriptsTest, WithoutTemplateJsOrUnitsTheBuildRunsWithoutHooks) {
  ASSERT_TRUE(Build()) << reports.join("\n").toStdString();
  EXPECT_TRUE(reports.isEmpty());
  EXPECT_EQ(Out("index.html"), "[Hi]");
  EXPECT_EQ(scripts.CompiledText(), "\n\n");
}

// Without script text the engine is made only when a placeholder first calls a function; the
// runtime's members answer then, and nothing of an earlier compilation survives.
TEST_F(BuildScriptsTest, WithoutScriptTextPlaceholdersStillReachTheRuntime) {
  Script("template/template.js", "function x() { return 'old'; }\n");
  ASSERT_TRUE(scripts.CompileScripts());
  QFile::remove(base + "template/template.js");
  content = "[index.html]\n{$ExtractFileExt(a/b.txt)}{$x()}\n";
  ASSERT_TRUE(Build()) << reports.join("\n").toStdString();
  EXPECT_EQ(Out("index.html"), "[.txt{$x()}]");
}

TEST_F(BuildScriptsTest, UnitsComeFromTheTemplateFolderFirstAndEachIsExpandedOnce) {
  content = "$uses menu, 'gallery'\n" + content;
  Script("template/menu.js", "var menu = 'template';\n#include shared\n");
  Script("library/Scripts/menu.js", "var menu = 'library';\n");
  Script("library/Scripts/gallery.js", "var gallery = 'library';\n#Include  shared\n#INCLUDE missing\n");
  Script("template/shared.js", "var shared = (typeof shared == 'number' ? shared : 0) + 1;\n");
  ASSERT_TRUE(scripts.CompileScripts()) << reports.join("\n").toStdString();
  EXPECT_EQ(Global("menu"), "template");
  EXPECT_EQ(Global("gallery"), "library");
  EXPECT_EQ(Global("shared"), "1");
  EXPECT_EQ(scripts.CompiledText().count("var shared"), 1);
  EXPECT_FALSE(scripts.CompiledText().contains("#"));
}

TEST_F(BuildScriptsTest, HooksRunInOrderWithTheGeneratorAsThis) {
  Script("template/template.js",
         "var log = [];\n"
         "function pre() { log.push('pre:' + this.SectionCount); }\n"
         "AddPreBuild(pre); AddPreBuild(pre);\n"
         "AddPostBuild(function () { log.push('post'); this.SetVar('x', '!'); });\n"
         "AddSectionHandler(function (s) { log.push('section:' + s.Name); return s.Name == 'index.html'; });\n"
         "AddSectionHandler(function (s) { log.push('second:' + s.Name); });\n"
         "function build() { log.push('build'); }\n"
         "function _build() { log.push('_build'); }\n"
         "function twice(a) { return a + a + this.Name; }\n");
  content = "[index.html]\nHi\n[a.html]\n{$twice(ab)}\n";
  ASSERT_TRUE(Build()) << reports.join("\n").toStdString();
  EXPECT_EQ(Global("log.join(' ')"), "pre:2 pre:2 build post section:index.html section:a.html second:a.html");
  EXPECT_FALSE(QFile::exists(base + "html/index.html"));
  EXPECT_EQ(Out("a.html"), "[ababa.html!]");
}

TEST_F(BuildScriptsTest, AHookThatThrowsIsReportedAndTheBuildGoesOnButFails) {
  Script("template/template.js",
         "var ran = [];\n"
         "AddPreBuild(function () { ran.push(1); throw new Error('broken hook'); });\n"
         "AddPreBuild(function () { ran.push(2); });\n");
  EXPECT_FALSE(Build());
  ASSERT_EQ(reports.size(), 1);
  EXPECT_TRUE(reports[0].endsWith("Error: broken hook")) << reports[0].toStdString();
  EXPECT_EQ(Global("ran.join()"), "1,2");
  EXPECT_EQ(Out("index.html"), "[Hi]");
  // The next compilation starts with the flag clear.
  Script("template/template.js", "var fine = 1;\n");
  EXPECT_TRUE(Build());
}

TEST_F(BuildScriptsTest, AnErrorOnTheThirdLineOfTemplateJsIsReportedAsScriptLine3) {
  Script("template/template.js", "var a = 1;\nvar b = 2;\nundefinedFunction();\n");
  EXPECT_FALSE(Build());
  ASSERT_EQ(reports.size(), 1);
  EXPECT_TRUE(reports[0].startsWith("Script Line: 3 Pos: ")) << reports[0].toStdString();
  EXPECT_TRUE(reports[0].contains("\nSource: undefinedFunction();\nError: ")) << reports[0].toStdString();
  EXPECT_FALSE(QFile::exists(base + "html/index.html"));  // a failed compilation stops the build
}

TEST_F(BuildScriptsTest, TasksFollowTheLastCompilation) {
  int changes = 0;
  scripts.OnTasksChanged = [&] { ++changes; };
  Script("template/template.js", "var runs = 0;\nAddTask('Count', function () { runs++; this.SetVar('t', 'x'); });\n");
  ASSERT_TRUE(scripts.CompileScripts());
  EXPECT_EQ(scripts.TaskCaptions(), QStringList{"Count"});
  EXPECT_TRUE(scripts.RunTask(0));
  EXPECT_FALSE(scripts.RunTask(1));
  EXPECT_EQ(Global("runs"), "1");
  EXPECT_EQ(ValueToText(generator.GetVar("t")), "x");
  ASSERT_TRUE(scripts.CompileScripts());
  EXPECT_EQ(scripts.TaskCaptions(), QStringList{"Count"});
  Script("template/template.js", "var none;\n");
  ASSERT_TRUE(scripts.CompileScripts());
  EXPECT_TRUE(scripts.TaskCaptions().isEmpty());
  EXPECT_EQ(changes, 4);  // added, emptied, added, emptied
}

TEST_F(BuildScriptsTest, PreviewFunctionIsLookedUpLikeBuild) {
  Script("template/template.js", "var seen = '';\nfunction _preview() { seen = '_preview' + this.SectionCount; }\n");
  ASSERT_TRUE(Build());
  EXPECT_TRUE(scripts.RunPreviewFunction());
  EXPECT_EQ(Global("seen"), "_preview2");
  Script("template/template.js", "var seen = '';\n");
  ASSERT_TRUE(Build());
  EXPECT_FALSE(scripts.RunPreviewFunction());
}

}  // namespace
}  // namespace pw::tests
