#include "generator/ResourceScanner.h"
#include "support/GeneratorFixture.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

using Strings = std::vector<std::string>;

Strings Scan(std::string_view html) {
  Strings found;
  ScanHtmlReferences(html, [&](std::string_view ref, TReferenceKind) { found.emplace_back(ref); });
  return found;
}

TEST(ResourceScanTest, TagsAndTheirAttributes) {
  EXPECT_EQ(Scan("<IMG alt='x' SRC=\"a.png\" src=b.png>"), Strings{"a.png"});
  EXPECT_EQ(Scan("<script src='js/app.js'></script>"), Strings{"js/app.js"});
  EXPECT_EQ(Scan("<link rel=stylesheet href=a.css href=b.css>"), (Strings{"a.css", "b.css"}));
  EXPECT_EQ(Scan("<body background=\"bg.jpg\"><td background=cell.gif >"), (Strings{"bg.jpg", "cell.gif"}));
  EXPECT_EQ(Scan("<a href=\"page.html\"><div src=x.png>"), Strings{});
  EXPECT_EQ(Scan("<img src=a.png/>"), Strings{"a.png/"});
  EXPECT_EQ(Scan("<img/src=z.png>"), Strings{"z.png"});
  EXPECT_EQ(Scan("<img src=\"unterminated"), Strings{});
  EXPECT_EQ(Scan("a < b <img src=x.png> <img src=y.png>"), Strings{"y.png"});  // "<" runs to the next ">"
  EXPECT_EQ(Scan("<p/background=x></p background=y><br background=><b background>"), (Strings{"x", "y", ""}));
}

TEST(ResourceScanTest, StyleElementsAreScannedForUrls) {
  EXPECT_EQ(Scan("<style>a{background:url(x.png)} b{background:URL( 'y.png' )}</style>"),
            (Strings{"x.png", "y.png"}));
  EXPECT_EQ(Scan("</style> url(a.png) <style>url(\"b.png\")</STYLE>"), Strings{"b.png"});
  EXPECT_EQ(Scan("<style>url(a.png)"), Strings{});
}

TEST(ResourceScanTest, MakeRelative) {
  EXPECT_EQ(MakeReferenceRelative("http://site/css/a.css", "http://site/"), "css/a.css");
  EXPECT_EQ(MakeReferenceRelative("HTTP://site/a.css", "http://site/"), "HTTP://site/a.css");
  EXPECT_EQ(MakeReferenceRelative("img\\a.png", ""), "img/a.png");
}

class CollectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g.SetBasePath(project.Base());
    g.SetOutPath("html");
  }
  TProjectDir project;
  TGenerator g;
};

TEST_F(CollectTest, LinkedStyleSheetPicturesAreCopiedBesideTheStyleSheet) {
  project.WriteTemplate("css/site.css",
                        "body { background: url(../img/bg.png) }\n"
                        "h1 { background: url('pics/h.png') }\n"
                        "i { background: url(/root.png) } b { background: url(http://cdn/x.png) }");
  project.WriteTemplate("img/bg.png", "BG");
  project.WriteTemplate("css/pics/h.png", "H");
  project.WriteTemplate("root.png", "R");
  g.CollectResources("<link rel=\"stylesheet\" href=\"css/site.css\">", "");
  EXPECT_EQ(g.Resources(), (Strings{"css/site.css", "css/../img/bg.png", "css/pics/h.png", "/root.png",
                                    "http://cdn/x.png"}));
  g.CopyResources();
  EXPECT_EQ(project.ReadOut("css/site.css").substr(0, 4), "body");
  EXPECT_EQ(project.ReadOut("img/bg.png"), "BG");
  EXPECT_EQ(project.ReadOut("css/pics/h.png"), "H");
  EXPECT_EQ(project.ReadOut("root.png"), "R");
  EXPECT_TRUE(g.Resources().empty());
}

TEST_F(CollectTest, BaseUrlPrefixesAreRemoved) {
  project.WriteTemplate("css/a.css", "x { background: url(http://example.com/img/p.png) }");
  project.WriteTemplate("img/p.png", "P");
  project.WriteTemplate("js/app.js", "J");
  g.CollectResources(
      "<link href=\"http://example.com/css/a.css\"><script src=\"http://example.com/js/app.js\"></script>",
      "http://example.com/");
  EXPECT_EQ(g.Resources(), (Strings{"css/a.css", "img/p.png", "js/app.js"}));
  g.CopyResources();
  EXPECT_EQ(project.ReadOut("img/p.png"), "P");
  EXPECT_EQ(project.ReadOut("js/app.js"), "J");
}

TEST_F(CollectTest, EntriesAreUniqueAndMissingSourcesAreSkipped) {
  project.WriteTemplate("a.png", "A");
  g.CollectResources("<img src=a.png><img src=a.png><img src=missing.png><img src=''>", "");
  EXPECT_EQ(g.Resources(), (Strings{"a.png", "missing.png"}));
  g.CopyResources();
  EXPECT_TRUE(project.OutExists("a.png"));
  EXPECT_FALSE(project.OutExists("missing.png"));
}

TEST_F(CollectTest, ReferencesCannotReachOutsideTheTemplateOrOutputFolder) {
  platform::WriteWholeFile(project.Base() + "secret.txt", "S");
  project.WriteTemplate("ok.png", "OK");
  g.CollectResources("<img src=\"../secret.txt\"><img src=\"../../x.png\"><img src=\"ok.png\">", "");
  g.CopyResources();
  EXPECT_FALSE(project.OutExists("secret.txt"));
  EXPECT_TRUE(project.OutExists("ok.png"));
}

TEST_F(CollectTest, PagesBuiltFromTemplatesCollectTheirResources) {
  project.WriteTemplate("index.html", "<link href=\"css/s.css\"><img src=\"{$logo}\">{$content}");
  project.WriteTemplate("css/s.css", "a { background: url(i/dot.gif) }");
  project.WriteTemplate("css/i/dot.gif", "GIF");
  project.WriteTemplate("logo.png", "L");
  g.Generate("$logo logo.png\n[index.html]\nHi\n");
  g.Build();
  g.CopyResources();
  EXPECT_EQ(project.ReadOut("css/i/dot.gif"), "GIF");
  EXPECT_EQ(project.ReadOut("logo.png"), "L");
  EXPECT_EQ(project.ReadOut("index.html"), "<link href=\"css/s.css\"><img src=\"logo.png\">Hi");
}

}  // namespace
}  // namespace pw::tests
