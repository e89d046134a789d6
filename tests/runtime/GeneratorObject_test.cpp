// The script faces of the generator and its sections: variables shared with placeholders, a
// section's variables falling back to the generator's, section access, build handlers, and a
// face outliving its section.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "RuntimeFixture.h"
#include "platform/FileIO.h"
#include "support/QStringPrinter.h"
#include "runtime/GeneratorObject.h"

namespace pw::tests {
namespace {

class GeneratorObjectTest : public RuntimeFixture {
 protected:
  GeneratorObjectTest() {
    runtime.AddItem(QStringLiteral("Generator"), TGeneratorObject::Of(generator).Dispatch(), false);
  }
  TGenerator generator;
};

TEST_F(GeneratorObjectTest, VariablesAreDictionariesAndSectionsChainToTheGenerator) {
  Run(QStringLiteral(
      "Generator.SetVar('title', 'Site'); Generator.Vars.Item['count'] = 5; Generator.flag = true;"
      "var s = Generator.AddSection('index.html', 'body');"
      "var inherited = s.title;"
      "s.title = 'Page'; s.CatVar('title', '!');"));
  const char* const cases[][2] = {
      {"inherited + '|' + s.title + '|' + s.GetVar('title', '') + '|' + Generator.GetVar('title', '')", "Site|Page!|Page!|Site"},
      {"s.GetVar('count', 0) + s.GetVar('missing', 'fallback')", "5fallback"},
      {"s.Vars.Length + ':' + Generator.Vars.Length + ':' + s.IsVar('count') + ':' + Generator.IsVar('COUNT')", "1:3:false:true"},
      {"Generator.SectionCount + Generator.Length + ':' + Generator.Section(0).Name + ':' + (Generator.Section(5) === null)", "2:index.html:true"},
      {"Generator.GetSectionByName('INDEX.HTML').Extension + ':' + (Generator.GetSectionByName('none') === null)", ".html:true"},
      {"s.Generator.GetVar('title', '') + ':' + s.Content + ':' + s.Index", "Site:body:0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(QString::fromUtf8(c[0])), QString::fromUtf8(c[1])) << c[0];
  }
  // Placeholders read what scripts wrote, in either scope.
  TSection* section = generator.Section(0);
  EXPECT_EQ(generator.ExpandPlaceholders("{$title} {$count} {$flag}", section, nullptr), "Page! 5 True");
  EXPECT_EQ(generator.ExpandPlaceholders("{$title}", nullptr, nullptr), "Site");
  EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(GeneratorObjectTest, AFaceOutlivingItsSectionFailsClearly) {
  Run(QStringLiteral("var a = Generator.AddSection('a.css', 'x'); var vars = a.Vars; a.color = 'red';"
                     "var b = Generator.AddSection('b.css', 'y'); b.Index = 0; Generator.DeleteSection(1);"));
  EXPECT_EQ(Text(QStringLiteral("Generator.SectionCount + ':' + b.Name + ':' + b.Index")), QStringLiteral("1:b.css:0"));
  // A freed section's face serves nothing any more; its variables refuse every call.
  EXPECT_NE(ErrorOf(QStringLiteral("a.SaveAsText('x')")), QStringLiteral("no error"));
  EXPECT_EQ(ErrorOf(QStringLiteral("vars.Length")), QStringLiteral("These variables are no longer available"));
  EXPECT_EQ(ErrorOf(QStringLiteral("vars.Item('color')")), QStringLiteral("These variables are no longer available"));
  Run(QStringLiteral("Generator.Clear();"));
  EXPECT_NE(ErrorOf(QStringLiteral("b.SaveAsText('x')")), QStringLiteral("no error"));
  EXPECT_EQ(Text(QStringLiteral("Generator.SectionCount")), QStringLiteral("0"));
}

TEST_F(GeneratorObjectTest, BuildHandlersAreScriptFunctions) {
  QTemporaryDir dir;
  generator.SetOutPath(dir.path());
  Run(QStringLiteral(
      "var log = [];"
      "Generator.AddPreBuild(function () { log.push('pre'); });"
      "Generator.AddPostBuild(function () { log.push('post'); });"
      "Generator.AddSectionHandler(function (s) { log.push(s.Name); return s.Name == 'skip.txt'; });"
      "Generator.AddSection('keep.txt', 'kept'); Generator.AddSection('skip.txt', 'skipped');"
      "Generator.PreBuild(); Generator.Build();"));
  EXPECT_EQ(Text(QStringLiteral("log.join()")), QStringLiteral("pre,post,keep.txt,skip.txt"));
  EXPECT_TRUE(platform::FileExists(dir.filePath(QStringLiteral("keep.txt"))));
  EXPECT_FALSE(platform::FileExists(dir.filePath(QStringLiteral("skip.txt"))));
  EXPECT_EQ(ErrorOf(QStringLiteral("Generator.AddPreBuild(5)")), QStringLiteral("Type mismatch in 'AddPreBuild'"));
}

}  // namespace
}  // namespace pw::tests
