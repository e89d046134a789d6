#include "generator/Generator.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

std::string Var(const TSection* section, const char* name) { return ValueToText(section->GetVar(name)); }

TEST(GeneratorParseTest, CutsSectionsAndBodies) {
  TGenerator g;
  g.Generate(
      "dropped preamble line\n"
      "[index.html]\n"
      "first\n"
      "; a comment\n"
      "\\[escaped]\n"
      "\\;kept\n"
      "\n"
      "[menu]\n"
      "* item\n"
      "[empty]\n");
  ASSERT_EQ(g.SectionCount(), 3);
  EXPECT_EQ(g.Section(0)->Name(), "index.html");
  EXPECT_EQ(g.Section(0)->Content(), "first\n[escaped]\n;kept\n\n");
  EXPECT_EQ(g.Section(1)->Content(), "* item\n");
  EXPECT_EQ(g.Section(2)->Content(), "");
  EXPECT_EQ(g.Section(3), nullptr);
  EXPECT_EQ(g.Section(-1), nullptr);
  // Line breaks of every kind end lines.
  g.Generate("[a.txt]\r\none\rtwo\nthree\r\n\r\nlast");
  EXPECT_EQ(g.Section(3)->Content(), "one\ntwo\nthree\n\nlast\n");
  EXPECT_EQ(g.CurrentLine(), 0);  // reset after parsing
}

TEST(GeneratorParseTest, HeaderNames) {
  TGenerator g;
  g.Generate("[]\n[  open  \n[a]b]\n[sub\\page.html] trailing\n");
  ASSERT_EQ(g.SectionCount(), 4);
  EXPECT_EQ(g.Section(0)->Name(), "");
  EXPECT_EQ(g.Section(1)->Name(), "open");  // no "]": the rest, trimmed
  EXPECT_EQ(g.Section(2)->Name(), "a");
  EXPECT_EQ(g.Section(3)->Name(), "sub\\page.html");
  EXPECT_EQ(g.Section(3)->Extension(), ".html");
  // The extension is lower case and taken from the last name.
  EXPECT_EQ(g.AddSection("Page.HTML", "")->Extension(), ".html");
  EXPECT_EQ(g.AddSection("menu", "")->Extension(), "");
  EXPECT_EQ(g.AddSection("dir.d/file", "")->Extension(), "");
  EXPECT_EQ(g.AddSection("dir.d\\style.Css", "")->Extension(), ".css");
}

TEST(GeneratorParseTest, DirectivesSetProjectAndSectionVariables) {
  TGenerator g;
  g.Generate(
      "$title Project\n"
      "$TITLE Again\n"
      "$keywords\n"
      "$bad!name value\n"
      "[index.html]\n"
      "$Title Home page\n"
      "$description \n"
      "body\n");
  EXPECT_EQ(ValueToText(g.GetVar("title")), "Again");  // the first entry is replaced
  EXPECT_EQ(g.Vars().Length(), 3);
  EXPECT_TRUE(g.IsVar("keywords"));
  EXPECT_EQ(ValueToText(g.GetVar("keywords")), "");
  EXPECT_TRUE(g.IsVar("bad!name value"));  // no space after the run: the whole rest is the name
  TSection* page = g.Section(0);
  EXPECT_EQ(Var(page, "title"), "Home page");
  EXPECT_TRUE(page->IsVar("description"));
  EXPECT_EQ(page->Content(), "body\n");

  g.Clear();
  g.Generate("$uses a, b\n$USES c\n$usesx 1\n$заголовок Привет\n");
  EXPECT_FALSE(g.IsVar("uses"));  // uses lines are skipped
  EXPECT_TRUE(g.IsVar("usesx"));
  EXPECT_EQ(ValueToText(g.GetVar("ЗАГОЛОВОК")), "Привет");
  // A non-ASCII name reads whole, so the placeholder of the same name finds its value.
  g.Generate("[p]\n$títle Home\n");
  EXPECT_EQ(g.ExpandPlaceholders("{$títle}", g.Section(0), nullptr), "Home");
}

TEST(GeneratorParseTest, QualifiedDirectives) {
  TGenerator g;
  g.Generate(
      "[news]\n"
      "$title News\n"
      "[index.html]\n"
      "$news.title Changed\n"
      "$.site Whole site\n"
      "$missing.title Nowhere\n"
      "$index.html.author Me\n");
  EXPECT_EQ(Var(g.Section(0), "title"), "Changed");
  EXPECT_EQ(ValueToText(g.GetVar("site")), "Whole site");
  EXPECT_FALSE(g.Section(1)->IsVar("site"));
  EXPECT_EQ(Var(g.Section(1), "author"), "Me");
  EXPECT_FALSE(g.IsVar("missing.title"));
  EXPECT_FALSE(g.IsVar("title"));
}

TEST(GeneratorParseTest, SettingDirectivesGoToProperties) {
  TGenerator g;
  g.Generate("$out_path site\\out\n$Charset KOI8-R\n$img_path pics\n$pre_style code\n");
  EXPECT_EQ(g.OutPath(), "site/out/");
  EXPECT_EQ(g.Charset(), "KOI8-R");
  EXPECT_EQ(g.ImgPath(), "pics/");
  EXPECT_EQ(g.PreStyle(), "code");
  EXPECT_EQ(g.Vars().Length(), 0);
  g.Clear();
  EXPECT_EQ(g.OutPath(), "");
  EXPECT_EQ(g.Charset(), "utf-8");
  EXPECT_EQ(g.ImgPath(), "");
  EXPECT_EQ(g.PreStyle(), "");
}

TEST(GeneratorParseTest, DirectiveValuesAreExpandedInTheCurrentScope) {
  TGenerator g;
  g.Generate(
      "$site Acme\n"
      "$copy (c) {$site}\n"
      "[about.html]\n"
      "$title About {$site} - {$name}\n");
  EXPECT_EQ(ValueToText(g.GetVar("copy")), "(c) Acme");
  EXPECT_EQ(Var(g.Section(0), "title"), "About Acme - about.html");
}

TEST(GeneratorParseTest, SectionsByNameAndIndex) {
  TGenerator g;
  g.Generate("[A.html]\n[b]\n[a.html]\n");
  EXPECT_EQ(g.GetSectionByName("a.HTML"), g.Section(0));
  EXPECT_EQ(g.FindSection("a.html"), g.Section(2));
  EXPECT_EQ(g.Section(2)->Index(), 2);
  g.Section(2)->SetIndex(-5);  // clamped
  EXPECT_EQ(g.Section(0)->Name(), "a.html");
  EXPECT_EQ(g.FindSection("a.html"), g.Section(0));
  g.DeleteSection(0);
  g.DeleteSection(7);
  EXPECT_EQ(g.SectionCount(), 2);
  EXPECT_EQ(g.FindSection("a.html"), nullptr);
  EXPECT_EQ(g.Length(), 2);
}

TEST(GeneratorParseTest, CatVarAppendsOrSets) {
  TGenerator g;
  g.CatVar("log", "a");
  g.CatVar("LOG", "b");
  EXPECT_EQ(ValueToText(g.GetVar("log")), "ab");
  TSection* s = g.AddSection("x", "");
  s->CatVar("log", "c");  // the section's own variable
  EXPECT_EQ(ValueToText(s->GetVar("log")), "c");
  s->RemoveVar("log");
  EXPECT_EQ(ValueToText(s->GetVar("log")), "ab");  // falls back to the project-wide one
  EXPECT_EQ(ValueToText(s->GetVar("none", std::string("dflt"))), "dflt");
}

}  // namespace
}  // namespace pw::tests
