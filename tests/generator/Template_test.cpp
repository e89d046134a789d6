#include "generator/NewProject.h"
#include "generator/PageTemplates.h"
#include "generator/Template.h"
#include "platform/FileIO.h"
#include "support/QStringPrinter.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zip.h>

#include <map>

namespace pw::tests {
namespace {

using Files = TFileTree;

// Writes a zip archive with the given entries (names stored exactly as given).
void WriteZip(const QString& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  int error = 0;
  zip* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, data] : entries) {
    zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0) << name;
  }
  ASSERT_EQ(zip_close(archive), 0);
}

TEST(TemplatesTest, DefaultTemplateHasElevenLinesWithoutFinalLineFeed) {
  std::string_view text = DefaultTemplateText();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
  EXPECT_EQ(text.substr(0, 7), "<html>\n");
  EXPECT_EQ(text.substr(text.size() - 7), "</html>");
  EXPECT_NE(text.find("charset={$charset}\"/>\n"), std::string_view::npos);
}

TEST(TemplatesTest, TemplateVariableSelectsTheFile) {
  EXPECT_EQ(TemplateFileName(""), "index.html");
  EXPECT_EQ(TemplateFileName("blog"), "blog.html");
  EXPECT_EQ(TemplateFileName("blog.htm"), "blog.html");
  EXPECT_EQ(TemplateFileName("print.tpl"), "print.html");
  EXPECT_EQ(TemplateFileName("sub\\x.y\\page"), "sub/x.y/page.html");
  EXPECT_EQ(TemplateFilePath("/p/template/", "a"), "/p/template/a.html");
  EXPECT_EQ(TemplateFilePath("/p/template/", "../../etc/passwd"), "");
  EXPECT_EQ(TemplateFilePath("/p/template/", "/etc/passwd"), "");
}

TEST(SiteTemplateTest, TitleComesFromTheXmlOrTheFileNameAndOtherFilesFail) {
  QTemporaryDir dir;
  const struct {
    QString File;
    std::string Xml;
    QString Title;
    std::string Content;
  } cases[] = {
      {"Blue Sky", "", "Blue Sky", ""},
      {"broken", "<pwtmpl><title>Unclosed", "broken", ""},
      {"t", "<pwtmpl><title>Зелёный</title><content>[index.html]\nHi</content></pwtmpl>", QString::fromUtf8("Зелёный"),
       "[index.html]\nHi"},
  };
  TTemplate t;
  for (const auto& c : cases) {
    const QString path = dir.path() + "/" + c.File + ".pwtmpl";
    if (c.Xml.empty()) WriteZip(path, {{"template/index.html", "x"}});
    else WriteZip(path, {{"template.xml", c.Xml}});
    ASSERT_TRUE(t.LoadTemplateInfo(path));
    EXPECT_EQ(t.Title(), c.Title);
    EXPECT_EQ(t.Content(), c.Content);
  }
  platform::WriteWholeFile(dir.path() + "/bad.pwtmpl", "not a zip");
  QString reason;
  EXPECT_FALSE(t.LoadTemplateInfo(dir.path() + "/bad.pwtmpl", &reason));
  EXPECT_EQ(reason, "Not a zip archive");
  EXPECT_FALSE(t.LoadTemplateInfo(dir.path() + "/missing.pwtmpl", &reason));
  EXPECT_EQ(reason, "No such file");
  std::string bytes;
  EXPECT_FALSE(t.ReadEntry("template.xml", bytes));
  EXPECT_FALSE(t.ExtractTemplateFolder(dir.path()));
}

TEST(SiteTemplateTest, ExtractionSkipsEntriesThatEscapeTheTemplateFolder) {
  QTemporaryDir dir;
  QString archive = dir.path() + "/evil.pwtmpl";
  WriteZip(archive, {{"template/index.html", "ok"},
                     {"template\\css\\a.css", "css"},
                     {"template/../outside.txt", "bad1"},
                     {"template/../../far.txt", "bad2"},
                     {"template//etc/abs.txt", "abs"},
                     {"template/C:/drive.txt", "bad3"},
                     {"../template/up.txt", "bad4"},
                     {"/template/root.txt", "bad5"},
                     {"other/file.txt", "not template"},
                     {"template/sub/", ""}});
  QString project = dir.path() + "/proj/";
  TTemplate t;
  ASSERT_TRUE(t.LoadTemplateInfo(archive));
  t.ExtractTemplateFolder(project);
  Files files = ReadTree(dir.path());
  files.erase("evil.pwtmpl");
  EXPECT_EQ(files, (Files{{"proj/template/index.html", "ok"},
                          {"proj/template/css/a.css", "css"}}));
  EXPECT_TRUE(QDir(project + "template/sub").exists());

  // A folder where a file goes: the reason names the file, and what was unpacked stays.
  QFile::remove(project + "template/css/a.css");
  QDir().mkpath(project + "template/css/a.css");
  QString reason;
  EXPECT_FALSE(t.ExtractTemplateFolder(project, &reason));
  EXPECT_EQ(reason, "\"" + project + "template/css/a.css\" is a folder, not a file");
  EXPECT_EQ(ReadOr(project + "template/index.html"), "ok");
}

TEST(SiteTemplateTest, XmlKeepsContentExactly) {
  std::string content = "$title A & B <x>\r\n[index.html]\r\n\tTab \"q\" 'a'\n\x01Привет]]>";
  std::string xml = SerializeTemplateXml("T & <t>", content);
  EXPECT_EQ(xml.rfind("<pwtmpl>", 0), 0u);  // no declaration
  QTemporaryDir dir;
  QString path = dir.path() + "/x.pwtmpl";
  WriteZip(path, {{"template.xml", xml}});
  TTemplate t;
  ASSERT_TRUE(t.LoadTemplateInfo(path));
  EXPECT_EQ(t.Title(), "T & <t>");
  std::string expected = content;
  expected.erase(expected.find('\x01'), 1);  // XML cannot carry control characters
  EXPECT_EQ(t.Content(), expected);
}

TEST(SiteTemplateTest, RoundTripThroughANewProject) {
  QTemporaryDir dir;
  QString source = dir.path() + "/source/";
  platform::WriteWholeFile(source + "template/index.html", "<html>{$content}</html>");
  platform::WriteWholeFile(source + "template/css/site.css", "body{}");
  platform::WriteWholeFile(source + "template/img/deep/x.png", std::string("\x89PNG\0\1", 6));
  platform::WriteWholeFile(source + "template/.hidden", "h");
  platform::WriteWholeFile(source + "html/index.html", "built output is not packed");
  std::string content = "$title My Site\n\n[index.html]\nПривет\r\n";

  TSiteTemplateSource saved{"My Site", content, source, [](std::string& png) {
                              png = "PNGDATA";
                              return true;
                            }};
  QString archive = dir.path() + "/lib/Templates/my.pwtmpl";
  QString error;
  ASSERT_TRUE(SaveSiteTemplate(archive, saved, &error)) << error.toStdString();

  TTemplate t;
  ASSERT_TRUE(t.LoadTemplateInfo(archive));
  EXPECT_EQ(t.Title(), "My Site");
  std::string png;
  ASSERT_TRUE(t.ReadEntry("template.png", png));
  EXPECT_EQ(png, "PNGDATA");
  std::string none;
  EXPECT_FALSE(t.ReadEntry("html/index.html", none));

  QString newProject = dir.path() + "/new/site.pwproj";
  platform::WriteWholeFile(dir.path() + "/new/template/stale.txt", "old");
  QString newContent;
  ASSERT_TRUE(CreateProjectFiles(newProject, archive, TNewProjectTexts(), newContent, &error))
      << error.toStdString();
  EXPECT_EQ(newContent.toStdString(), content);
  EXPECT_EQ(ReadTree(dir.path() + "/new/template"), ReadTree(source + "template"));
}

TEST(SiteTemplateTest, SavingReplacesAnExistingFileAndNeedsAName) {
  QTemporaryDir dir;
  QString archive = dir.path() + "/t.pwtmpl";
  platform::WriteWholeFile(archive, "old junk");
  ASSERT_TRUE(SaveSiteTemplate(archive, {"T", "c", dir.path() + "/none", {}}));
  TTemplate t;
  ASSERT_TRUE(t.LoadTemplateInfo(archive));
  EXPECT_EQ(t.Content(), "c");
  std::string png;
  EXPECT_FALSE(t.ReadEntry("template.png", png));
  QString error;
  EXPECT_FALSE(SaveSiteTemplate("", {"T", "c", dir.path(), {}}, &error));
  EXPECT_FALSE(error.isEmpty());
}

TEST(NewProjectTest, BlankProjectGetsTheDefaultTemplateAndText) {
  QTemporaryDir dir;
  QString folder = dir.path() + "/Site/";
  platform::WriteWholeFile(folder + "template/old/x.txt", "old");
  QFile::setPermissions(folder + "template/old/x.txt", QFileDevice::ReadOwner);
  QFile::setPermissions(folder + "template/old", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  QString content;
  ASSERT_TRUE(CreateProjectFiles(folder + "Demo.pwproj", "", TNewProjectTexts(), content));
  EXPECT_EQ(ReadTree(folder + "template"), (Files{{"index.html", std::string(DefaultTemplateText())}}));
  EXPECT_EQ(content,
            "$title Demo\n\n[index.html]\n$title My Web Project\n$keywords Page keywords\n"
            "$description Page description\n= Demo\n\n== My Web Project\n\n"
            "Write here content of your web project...");
}

TEST(NewProjectTest, UnreadableTemplateFileLeavesTheOldTemplateFolder) {
  QTemporaryDir dir;
  QString folder = dir.path() + "/Site/";
  platform::WriteWholeFile(folder + "template/old.txt", "old");
  platform::WriteWholeFile(dir.path() + "/bad.pwtmpl", "no zip");
  QString content = "stale";
  QString error;
  EXPECT_FALSE(CreateProjectFiles(folder + "Demo.pwproj", dir.path() + "/bad.pwtmpl", TNewProjectTexts(),
                                  content, &error));
  EXPECT_TRUE(content.isEmpty());
  EXPECT_TRUE(error.contains("bad.pwtmpl")) << error.toStdString();
  EXPECT_EQ(ReadTree(folder + "template"), (Files{{"old.txt", "old"}}));
  EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"template"});
}

}  // namespace
}  // namespace pw::tests
