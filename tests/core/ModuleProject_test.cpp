#include "support/ModuleFixture.h"

#include "platform/CredentialCipher.h"

#include <QDir>

namespace pw::tests {
namespace {

using ProjectLifecycleTest = ModuleTest;

TEST_F(ProjectLifecycleTest, ResetProjectRestoresEveryDefault) {
  Editor.SetText("text");
  Module->Project().FTPServer = "s";
  Module->Project().FTPPassiveMode = false;
  Module->Project().UploadChangesOnly = false;
  Module->Project().UploadFiles = {"a"};
  Module->Project().UsedUnits = "u";
  Editor.SetModified(true);
  Module->ResetProject();
  EXPECT_EQ(Editor.Text(), "");
  EXPECT_FALSE(Editor.Modified());
  EXPECT_EQ(Module->Project(), TProjectState());
  EXPECT_TRUE(Module->Project().FTPPassiveMode);
  EXPECT_TRUE(Module->Project().UploadChangesOnly);
}

TEST_F(ProjectLifecycleTest, CaptionsFollowTheProjectFileName) {
  EXPECT_EQ(Caption, "Pagewick");
  Module->SetProjectFileName(Path("sites\\my.site.pwproj"));
  EXPECT_EQ(Caption, "my.site - Pagewick");
  EXPECT_EQ(Module->ProjectPath(), Path("sites/my.site.pwproj"));
  EXPECT_EQ(Module->ProjectFolder(), Path("sites/"));
  EXPECT_EQ(Module->TemplateFolder(), Path("sites/template/"));
  EXPECT_EQ(Module->BasePath(), Path("sites/"));
  Module->SetProjectFileName(QString());
  EXPECT_EQ(Caption, "Pagewick");
  EXPECT_EQ(Module->BasePath(), QDir::currentPath() + "/");
  // Relative project paths become absolute.
  Module->SetProjectFileName("site.pwproj");
  EXPECT_EQ(Module->ProjectPath(), QDir::current().absoluteFilePath("site.pwproj"));
}

TEST_F(ProjectLifecycleTest, SaveChangesQuestionNamesTheProject) {
  EXPECT_TRUE(Module->ConfirmSaveChanges());
  EXPECT_TRUE(Host.Questions.empty());
  // Once modified, the question names the project.
  Editor.ReplaceRange({0, 0}, {0, 0}, "x");
  Host.Answers = {TAnswer::No};
  EXPECT_TRUE(Module->ConfirmSaveChanges());
  ASSERT_EQ(Host.Questions.size(), 1u);
  EXPECT_EQ(Host.Questions[0].Title, "Pagewick");
  EXPECT_EQ(Host.Questions[0].Text, "Save changes to Untitled?");

  Module->SetProjectFileName(Path("site.pwproj"));
  Host.Answers = {TAnswer::Cancel};
  EXPECT_FALSE(Module->ConfirmSaveChanges());
  EXPECT_EQ(Host.Questions[1].Text, "Save changes to site?");
  EXPECT_FALSE(platform::FileExists(Path("site.pwproj")));

  // The template editor is asked first.
  Host.TemplateChangesSettled = false;
  EXPECT_FALSE(Module->ConfirmSaveChanges());
  EXPECT_EQ(Host.Questions.size(), 2u);
}

TEST_F(ProjectLifecycleTest, YesSavesAndAnUntitledProjectAsksForAName) {
  Module->SetProjectFileName(Path("site.pwproj"));
  Editor.ReplaceRange({0, 0}, {0, 0}, "[index.html]");
  Host.Answers = {TAnswer::Yes};
  EXPECT_TRUE(Module->ConfirmSaveChanges());
  EXPECT_FALSE(Editor.Modified());
  EXPECT_EQ(ParseProjectFile(ReadOr(Path("site.pwproj"))).Content, "[index.html]");

  Module->ResetProject();
  Module->SetProjectFileName(QString());
  Editor.ReplaceRange({0, 0}, {0, 0}, "x");
  Host.Answers = {TAnswer::Yes};
  EXPECT_FALSE(Module->ConfirmSaveChanges());  // the Save As dialog is cancelled
  EXPECT_EQ(Host.SaveDialogs.size(), 1u);
  EXPECT_TRUE(Editor.Modified());
}

TEST_F(ProjectLifecycleTest, LoadProjectFillsTheStateAndThePageList) {
  TProjectFileData data;
  data.Content = "$title Site\n$uses menu\n[index.html]\n$title Home\n";
  data.State.FTPServer = "ftp.example.org";
  data.State.FTPPassword = "pw";
  data.State.FTPPassiveMode = false;
  data.State.UploadFiles = {"index.html=1"};
  ASSERT_TRUE(SaveProjectFile(Path("p/site.pwproj"), data));
  const TCountingScripts& scripts = CountCompilations();

  ASSERT_TRUE(Module->LoadProject(Path("p/site.pwproj")));
  EXPECT_EQ(Editor.Text(), "$title Site\n$uses menu\n[index.html]\n$title Home\n");
  EXPECT_FALSE(Editor.Modified());
  EXPECT_EQ(Module->Project().FTPServer, "ftp.example.org");
  EXPECT_EQ(Module->Project().FTPPassword, "pw");
  EXPECT_FALSE(Module->Project().FTPPassiveMode);
  EXPECT_EQ(Module->Project().UploadFiles, QStringList({"index.html=1"}));
  EXPECT_EQ(Module->ProjectTitle(), "Site");
  EXPECT_EQ(Module->Project().UsedUnits, "menu");
  EXPECT_EQ(Caption, "site - Pagewick");
  EXPECT_EQ(Module->RecentFiles(), QStringList({Path("p/site.pwproj")}));
  ASSERT_EQ(Module->PageList().size(), 2u);
  EXPECT_EQ(Module->PageList()[0].Caption, "Project (Site)");
  EXPECT_EQ(scripts.Compiled, 1);
  EXPECT_EQ(Loaded, 1);
  EXPECT_EQ(PageListChanges, 1);
  EXPECT_EQ(ModifiedFlags, std::vector<bool>({false, false}));  // reset, then loaded

  // Loading replaces the settings of the previous project.
  ASSERT_TRUE(Module->LoadProject(WriteProject("a.pwproj", "x")));
  EXPECT_EQ(Module->Project().FTPServer, "");
  EXPECT_TRUE(Module->Project().FTPPassiveMode);
}

TEST_F(ProjectLifecycleTest, UnreadableFileKeepsTheOpenProject) {
  ASSERT_TRUE(Module->LoadProject(WriteProject("a.pwproj", "[a.html]")));
  Module->SetRecentFiles({Path("gone.pwproj"), Path("a.pwproj")});
  EXPECT_FALSE(Module->LoadProject(Path("gone.pwproj")));
  EXPECT_EQ(Editor.Text(), "[a.html]");
  EXPECT_EQ(Module->ProjectPath(), Path("a.pwproj"));
  EXPECT_EQ(Module->RecentFiles(), QStringList({Path("a.pwproj")}));
  ASSERT_EQ(Host.Messages.size(), 1u);
  EXPECT_TRUE(Host.Messages[0].Text.contains("gone.pwproj"));

  EXPECT_FALSE(Module->LoadProject(Path("missing-folder/x.pwproj")));
  EXPECT_FALSE(Module->LoadProject(Path("")));  // a folder
  EXPECT_EQ(Editor.Text(), "[a.html]");
}

TEST_F(ProjectLifecycleTest, EmptyPathAsksWithTheOpenDialog) {
  EXPECT_FALSE(Module->LoadProject(QString()));
  ASSERT_EQ(Host.OpenDialogs.size(), 1u);
  EXPECT_EQ(Host.OpenDialogs[0].Title, "Open Project");
  EXPECT_EQ(Host.OpenDialogs[0].Filter, "Web Site Project (*.pwproj)|*.pwproj;*.pwpproj|All Files (*.*)|*.*");
  Host.OpenChoices = {WriteProject("b.pwproj", "b")};
  EXPECT_TRUE(Module->CmOpen());
  EXPECT_EQ(Editor.Text(), "b");

  // Cancel at the save question aborts opening.
  const QString path = WriteProject("c.pwproj", "c");
  Editor.SetText("mine");
  Editor.SetModified(true);
  Host.Answers = {TAnswer::Cancel};
  EXPECT_FALSE(Module->LoadProject(path));
  EXPECT_EQ(Editor.Text(), "mine");
  Host.Answers = {TAnswer::No};
  EXPECT_TRUE(Module->LoadProject(path));
  EXPECT_EQ(Editor.Text(), "c");
}

TEST_F(ProjectLifecycleTest, PlainTextFileLoadsAsContent) {
  ASSERT_TRUE(platform::WriteWholeFile(Path("old.txt"), "[index.html]\r\n= Hi\r\n"));
  ASSERT_TRUE(Module->LoadProject(Path("old.txt")));
  EXPECT_EQ(Editor.Text(), "[index.html]\r\n= Hi\r\n");
  ASSERT_TRUE(platform::WriteWholeFile(Path("empty.pwproj"), ""));
  ASSERT_TRUE(Module->LoadProject(Path("empty.pwproj")));
  EXPECT_EQ(Editor.Text(), "");
}

TEST_F(ProjectLifecycleTest, LegacyScriptIsWrittenOnlyWhenTemplateJsIsAbsent) {
  ASSERT_TRUE(platform::WriteWholeFile(Path("s/site.pwproj"),
                                       "<p><content>x</content><script>var a = '\xC3\xA9';</script></p>"));
  ASSERT_TRUE(Module->LoadProject(Path("s/site.pwproj")));
  EXPECT_EQ(ReadOr(Path("s/template/template.js")), "var a = '\xC3\xA9';");

  ASSERT_TRUE(platform::WriteWholeFile(Path("s/template/template.js"), "mine"));
  ASSERT_TRUE(Module->LoadProject(Path("s/site.pwproj")));
  EXPECT_EQ(ReadOr(Path("s/template/template.js")), "mine");
}

TEST_F(ProjectLifecycleTest, SaveProjectWritesEverythingAndRetitles) {
  Editor.SetText("$title T\n[index.html]\n");
  Module->Project().FTPUserName = "me";
  Module->Project().UploadChangesOnly = false;
  Editor.SetModified(true);
  ASSERT_TRUE(Module->SaveProject(Path("out/site.pwproj")));
  EXPECT_FALSE(Editor.Modified());
  EXPECT_EQ(Module->ProjectPath(), Path("out/site.pwproj"));
  const TProjectFileData back = ParseProjectFile(ReadOr(Path("out/site.pwproj")));
  EXPECT_EQ(back.Content, "$title T\n[index.html]\n");
  EXPECT_EQ(back.State.FTPUserName, "me");
  EXPECT_FALSE(back.State.UploadChangesOnly);

  // A failed save keeps the project modified and under its old name.
  ASSERT_TRUE(platform::WriteWholeFile(Path("blocker"), "x"));
  Editor.ReplaceRange({0, 0}, {0, 0}, "x");
  EXPECT_FALSE(Module->SaveProject(Path("blocker/site.pwproj")));
  EXPECT_TRUE(Editor.Modified());
  EXPECT_EQ(Module->ProjectPath(), Path("out/site.pwproj"));
  EXPECT_EQ(Host.Messages.size(), 1u);
}

TEST_F(ProjectLifecycleTest, SaveAsAddsTheTypesExtensionToAnyOtherName) {
  Host.SaveChoices = {std::pair{Path("site"), 1}, std::pair{Path("b.PWPROJ"), 1}, std::pair{Path("c.v2"), 1}};
  EXPECT_TRUE(Module->CmSaveAs());
  EXPECT_EQ(Module->ProjectPath(), Path("site.pwproj"));
  EXPECT_TRUE(Module->CmSaveAs());
  EXPECT_EQ(Module->ProjectPath(), Path("b.PWPROJ"));
  EXPECT_TRUE(Module->CmSaveAs());
  EXPECT_EQ(Module->ProjectPath(), Path("c.v2.pwproj"));
  ASSERT_EQ(Host.SaveDialogs.size(), 3u);
  EXPECT_EQ(Host.SaveDialogs[0].FilterIndex, 1);
  EXPECT_EQ(Host.SaveDialogs[1].FileName, Path("site"));  // preset without its extension
}

TEST_F(ProjectLifecycleTest, OtherSaveTypesGoToTheirHooksAndKeepTheProjectPath) {
  Module->SetProjectFileName(Path("site.pwproj"));
  Host.SaveChoices = {std::pair{Path("t"), 2}, std::pair{Path("d"), 3}, std::pair{Path("t"), 2}};
  EXPECT_FALSE(Module->CmSaveAs());
  EXPECT_EQ(Host.Messages.size(), 1u);
  QString saved;
  Host.SaveAsWriters[stTavrinDocument] = [&](const QString& name) {
    saved = name;
    return true;
  };
  EXPECT_TRUE(Module->CmSaveAs());
  EXPECT_EQ(saved, Path("d.tavrin"));
  Host.SaveAsWriters[stSiteTemplate] = [&](const QString& name) {
    saved = name;
    return true;
  };
  EXPECT_TRUE(Module->CmSaveAs());
  EXPECT_EQ(saved, Path("t.pwtmpl"));
  EXPECT_EQ(Module->ProjectPath(), Path("site.pwproj"));
}

TEST_F(ProjectLifecycleTest, CmSaveUsesThePathOrAsks) {
  EXPECT_FALSE(Module->CmSave());
  EXPECT_EQ(Host.SaveDialogs.size(), 1u);
  Module->SetProjectFileName(Path("x.pwproj"));
  EXPECT_TRUE(Module->CmSave());
  EXPECT_TRUE(platform::FileExists(Path("x.pwproj")));
  EXPECT_EQ(Host.SaveDialogs.size(), 1u);
}

TEST_F(ProjectLifecycleTest, RecentFilesMoveToTheHeadAndVanishedOnesAreDropped) {
  const QString a = WriteProject("a.pwproj", "a");
  const QString b = WriteProject("b.pwproj", "b");
  Module->SetRecentFiles({b, Path("gone.pwproj"), a});
  Module->UpdateRecentFiles(a);
  EXPECT_EQ(Module->RecentFiles(), QStringList({a, b, Path("gone.pwproj")}));
  Module->UpdateRecentFiles(Path("gone.pwproj"));
  EXPECT_EQ(Module->RecentFiles(), QStringList({a, b}));

  Module->SetRecentFiles({Path("gone.pwproj"), a});
  Host.OpenChoices = {std::nullopt};
  EXPECT_FALSE(Module->CmRecentFileOpen(Path("gone.pwproj")));
  EXPECT_EQ(Host.OpenDialogs.size(), 1u);
  EXPECT_EQ(Module->RecentFiles(), QStringList({a}));
  EXPECT_TRUE(Module->CmRecentFileOpen(b));
  EXPECT_EQ(Module->RecentFiles(), QStringList({b, a}));
}

TEST_F(ProjectLifecycleTest, SettingsKeepRecentFilesAndPresetTheOpenDialog) {
  const QString a = WriteProject("a.pwproj", "a");
  Module->SetRecentFiles({a, Path("gone.pwproj")});
  Module->SaveSettings();

  TMemoryTextEditor editor;
  TMemoryHost host;
  TModule next(editor, host);
  next.LoadSettings();
  EXPECT_EQ(next.RecentFiles(), QStringList({a, Path("gone.pwproj")}));
  EXPECT_EQ(next.OpenFileName(), a);
  EXPECT_TRUE(next.SearchSettings().TextAtCaret);
  EXPECT_FALSE(next.OpenStartupProject({Path("nothing.pwproj")}));
  EXPECT_TRUE(next.ReopenRecentProject());
  EXPECT_EQ(editor.Text(), "a");

  // Startup opens an existing argument.
  EXPECT_TRUE(Module->OpenStartupProject({a}));
  EXPECT_EQ(Editor.Text(), "a");
  EXPECT_FALSE(Module->OpenStartupProject({}));
  EXPECT_EQ(Editor.Text(), "");
}

TEST_F(ProjectLifecycleTest, NewAsksFirstAndPreviewsOnlyWhenSet) {
  int wizards = 0;
  Host.Wizard = [&] { return ++wizards > 0; };
  Editor.ReplaceRange({0, 0}, {0, 0}, "x");
  Host.Answers = {TAnswer::Cancel};
  EXPECT_FALSE(Module->CmNew());
  EXPECT_EQ(wizards, 0);
  Editor.SetModified(false);
  EXPECT_TRUE(Module->CmNew());
  EXPECT_EQ(Previews, 0);
  WritePreviewNewProject(Module->Config(), true);
  EXPECT_TRUE(Module->CmNew());
  EXPECT_EQ(wizards, 2);
  EXPECT_EQ(Previews, 1);
}

}  // namespace
}  // namespace pw::tests
