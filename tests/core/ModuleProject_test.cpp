#include "support/ModuleFixture.h"

#include "platform/CredentialCipher.h"

#include <QDir>

namespace pw::tests {
namespace {

using ProjectLifecycleTest = ModuleTest;

TEST_F(ProjectLifecycleTest, ResetProjectRestoresEveryDefault) {
  FEditor.SetText("text");
  FModule->Project().FTPServer = "s";
  FModule->Project().FTPPassiveMode = false;
  FModule->Project().UploadChangesOnly = false;
  FModule->Project().UploadFiles = {"a"};
  FModule->Project().UsedUnits = "u";
  FEditor.SetModified(true);
  FModule->ResetProject();
  EXPECT_EQ(FEditor.Text(), "");
  EXPECT_FALSE(FEditor.Modified());
  EXPECT_EQ(FModule->Project(), TProjectState());
  EXPECT_TRUE(FModule->Project().FTPPassiveMode);
  EXPECT_TRUE(FModule->Project().UploadChangesOnly);
}

TEST_F(ProjectLifecycleTest, CaptionsFollowTheProjectFileName) {
  EXPECT_EQ(FCaption, "Pagewick");
  FModule->SetProjectFileName(Path("sites\\my.site.pwproj"));
  EXPECT_EQ(FCaption, "my.site - Pagewick");
  EXPECT_EQ(FModule->ProjectPath(), Path("sites/my.site.pwproj"));
  EXPECT_EQ(FModule->ProjectFolder(), Path("sites/"));
  EXPECT_EQ(FModule->TemplateFolder(), Path("sites/template/"));
  EXPECT_EQ(FModule->BasePath(), Path("sites/"));
  FModule->SetProjectFileName(QString());
  EXPECT_EQ(FCaption, "Pagewick");
  EXPECT_EQ(FModule->BasePath(), QDir::currentPath() + "/");
  // Relative project paths become absolute.
  FModule->SetProjectFileName("site.pwproj");
  EXPECT_EQ(FModule->ProjectPath(), QDir::current().absoluteFilePath("site.pwproj"));
}

TEST_F(ProjectLifecycleTest, SaveChangesQuestionNamesTheProject) {
  EXPECT_TRUE(FModule->ConfirmSaveChanges());
  EXPECT_TRUE(FHost.Questions.empty());
  // Once modified, the question names the project.
  FEditor.ReplaceRange({0, 0}, {0, 0}, "x");
  FHost.Answers = {TAnswer::No};
  EXPECT_TRUE(FModule->ConfirmSaveChanges());
  ASSERT_EQ(FHost.Questions.size(), 1u);
  EXPECT_EQ(FHost.Questions[0].Title, "Pagewick");
  EXPECT_EQ(FHost.Questions[0].Text, "Save changes to Untitled?");

  FModule->SetProjectFileName(Path("site.pwproj"));
  FHost.Answers = {TAnswer::Cancel};
  EXPECT_FALSE(FModule->ConfirmSaveChanges());
  EXPECT_EQ(FHost.Questions[1].Text, "Save changes to site?");
  EXPECT_FALSE(platform::FileExists(Path("site.pwproj")));

  // The template editor is asked first.
  FHost.TemplateChangesSettled = false;
  EXPECT_FALSE(FModule->ConfirmSaveChanges());
  EXPECT_EQ(FHost.Questions.size(), 2u);
}

TEST_F(ProjectLifecycleTest, YesSavesAndAnUntitledProjectAsksForAName) {
  FModule->SetProjectFileName(Path("site.pwproj"));
  FEditor.ReplaceRange({0, 0}, {0, 0}, "[index.html]");
  FHost.Answers = {TAnswer::Yes};
  EXPECT_TRUE(FModule->ConfirmSaveChanges());
  EXPECT_FALSE(FEditor.Modified());
  EXPECT_EQ(ParseProjectFile(ReadOr(Path("site.pwproj"))).Content, "[index.html]");

  FModule->ResetProject();
  FModule->SetProjectFileName(QString());
  FEditor.ReplaceRange({0, 0}, {0, 0}, "x");
  FHost.Answers = {TAnswer::Yes};
  EXPECT_FALSE(FModule->ConfirmSaveChanges());  // the Save As dialog is cancelled
  EXPECT_EQ(FHost.SaveDialogs.size(), 1u);
  EXPECT_TRUE(FEditor.Modified());
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

  ASSERT_TRUE(FModule->LoadProject(Path("p/site.pwproj")));
  EXPECT_EQ(FEditor.Text(), "$title Site\n$uses menu\n[index.html]\n$title Home\n");
  EXPECT_FALSE(FEditor.Modified());
  EXPECT_EQ(FModule->Project().FTPServer, "ftp.example.org");
  EXPECT_EQ(FModule->Project().FTPPassword, "pw");
  EXPECT_FALSE(FModule->Project().FTPPassiveMode);
  EXPECT_EQ(FModule->Project().UploadFiles, QStringList({"index.html=1"}));
  EXPECT_EQ(FModule->ProjectTitle(), "Site");
  EXPECT_EQ(FModule->Project().UsedUnits, "menu");
  EXPECT_EQ(FCaption, "site - Pagewick");
  EXPECT_EQ(FModule->RecentFiles(), QStringList({Path("p/site.pwproj")}));
  ASSERT_EQ(FModule->PageList().size(), 2u);
  EXPECT_EQ(FModule->PageList()[0].Caption, "Project (Site)");
  EXPECT_EQ(scripts.Compiled, 1);
  EXPECT_EQ(FLoaded, 1);
  EXPECT_EQ(FPageListChanges, 1);
  EXPECT_EQ(FModifiedFlags, std::vector<bool>({false, false}));  // reset, then loaded

  // Loading replaces the settings of the previous project.
  ASSERT_TRUE(FModule->LoadProject(WriteProject("a.pwproj", "x")));
  EXPECT_EQ(FModule->Project().FTPServer, "");
  EXPECT_TRUE(FModule->Project().FTPPassiveMode);
}

TEST_F(ProjectLifecycleTest, UnreadableFileKeepsTheOpenProject) {
  ASSERT_TRUE(FModule->LoadProject(WriteProject("a.pwproj", "[a.html]")));
  FModule->SetRecentFiles({Path("gone.pwproj"), Path("a.pwproj")});
  EXPECT_FALSE(FModule->LoadProject(Path("gone.pwproj")));
  EXPECT_EQ(FEditor.Text(), "[a.html]");
  EXPECT_EQ(FModule->ProjectPath(), Path("a.pwproj"));
  EXPECT_EQ(FModule->RecentFiles(), QStringList({Path("a.pwproj")}));
  ASSERT_EQ(FHost.Messages.size(), 1u);
  EXPECT_TRUE(FHost.Messages[0].Text.contains("gone.pwproj"));

  EXPECT_FALSE(FModule->LoadProject(Path("missing-folder/x.pwproj")));
  EXPECT_FALSE(FModule->LoadProject(Path("")));  // a folder
  EXPECT_EQ(FEditor.Text(), "[a.html]");
}

TEST_F(ProjectLifecycleTest, EmptyPathAsksWithTheOpenDialog) {
  EXPECT_FALSE(FModule->LoadProject(QString()));
  ASSERT_EQ(FHost.OpenDialogs.size(), 1u);
  EXPECT_EQ(FHost.OpenDialogs[0].Title, "Open Project");
  EXPECT_EQ(FHost.OpenDialogs[0].Filter, "Web Site Project (*.pwproj)|*.pwproj;*.pwpproj|All Files (*.*)|*.*");
  FHost.OpenChoices = {WriteProject("b.pwproj", "b")};
  EXPECT_TRUE(FModule->CmOpen());
  EXPECT_EQ(FEditor.Text(), "b");

  // Cancel at the save question aborts opening.
  const QString path = WriteProject("c.pwproj", "c");
  FEditor.SetText("mine");
  FEditor.SetModified(true);
  FHost.Answers = {TAnswer::Cancel};
  EXPECT_FALSE(FModule->LoadProject(path));
  EXPECT_EQ(FEditor.Text(), "mine");
  FHost.Answers = {TAnswer::No};
  EXPECT_TRUE(FModule->LoadProject(path));
  EXPECT_EQ(FEditor.Text(), "c");
}

TEST_F(ProjectLifecycleTest, PlainTextFileLoadsAsContent) {
  ASSERT_TRUE(platform::WriteWholeFile(Path("old.txt"), "[index.html]\r\n= Hi\r\n"));
  ASSERT_TRUE(FModule->LoadProject(Path("old.txt")));
  EXPECT_EQ(FEditor.Text(), "[index.html]\r\n= Hi\r\n");
  ASSERT_TRUE(platform::WriteWholeFile(Path("empty.pwproj"), ""));
  ASSERT_TRUE(FModule->LoadProject(Path("empty.pwproj")));
  EXPECT_EQ(FEditor.Text(), "");
}

TEST_F(ProjectLifecycleTest, LegacyScriptIsWrittenOnlyWhenTemplateJsIsAbsent) {
  ASSERT_TRUE(platform::WriteWholeFile(Path("s/site.pwproj"),
                                       "<p><content>x</content><script>var a = '\xC3\xA9';</script></p>"));
  ASSERT_TRUE(FModule->LoadProject(Path("s/site.pwproj")));
  EXPECT_EQ(ReadOr(Path("s/template/template.js")), "var a = '\xC3\xA9';");

  ASSERT_TRUE(platform::WriteWholeFile(Path("s/template/template.js"), "mine"));
  ASSERT_TRUE(FModule->LoadProject(Path("s/site.pwproj")));
  EXPECT_EQ(ReadOr(Path("s/template/template.js")), "mine");
}

TEST_F(ProjectLifecycleTest, SaveProjectWritesEverythingAndRetitles) {
  FEditor.SetText("$title T\n[index.html]\n");
  FModule->Project().FTPUserName = "me";
  FModule->Project().UploadChangesOnly = false;
  FEditor.SetModified(true);
  ASSERT_TRUE(FModule->SaveProject(Path("out/site.pwproj")));
  EXPECT_FALSE(FEditor.Modified());
  EXPECT_EQ(FModule->ProjectPath(), Path("out/site.pwproj"));
  const TProjectFileData back = ParseProjectFile(ReadOr(Path("out/site.pwproj")));
  EXPECT_EQ(back.Content, "$title T\n[index.html]\n");
  EXPECT_EQ(back.State.FTPUserName, "me");
  EXPECT_FALSE(back.State.UploadChangesOnly);

  // A failed save keeps the project modified and under its old name.
  ASSERT_TRUE(platform::WriteWholeFile(Path("blocker"), "x"));
  FEditor.ReplaceRange({0, 0}, {0, 0}, "x");
  EXPECT_FALSE(FModule->SaveProject(Path("blocker/site.pwproj")));
  EXPECT_TRUE(FEditor.Modified());
  EXPECT_EQ(FModule->ProjectPath(), Path("out/site.pwproj"));
  EXPECT_EQ(FHost.Messages.size(), 1u);
}

TEST_F(ProjectLifecycleTest, SaveAsAddsTheTypesExtensionToAnyOtherName) {
  FHost.SaveChoices = {std::pair{Path("site"), 1}, std::pair{Path("b.PWPROJ"), 1}, std::pair{Path("c.v2"), 1}};
  EXPECT_TRUE(FModule->CmSaveAs());
  EXPECT_EQ(FModule->ProjectPath(), Path("site.pwproj"));
  EXPECT_TRUE(FModule->CmSaveAs());
  EXPECT_EQ(FModule->ProjectPath(), Path("b.PWPROJ"));
  EXPECT_TRUE(FModule->CmSaveAs());
  EXPECT_EQ(FModule->ProjectPath(), Path("c.v2.pwproj"));
  ASSERT_EQ(FHost.SaveDialogs.size(), 3u);
  EXPECT_EQ(FHost.SaveDialogs[0].FilterIndex, 1);
  EXPECT_EQ(FHost.SaveDialogs[1].FileName, Path("site"));  // preset without its extension
  // Picking a type moves the dialog: a site template to the library, the others to the project.
  const QStringList folders = FHost.SaveDialogs[1].TypeFolders;
  ASSERT_EQ(folders.size(), 3);
  EXPECT_EQ(folders[0], FModule->ProjectFolder());
  EXPECT_EQ(folders[1], FModule->TemplateLibrary());
  EXPECT_EQ(folders[2], FModule->ProjectFolder());
  EXPECT_FALSE(folders[0].isEmpty());
}

TEST_F(ProjectLifecycleTest, OtherSaveTypesGoToTheirHooksAndKeepTheProjectPath) {
  FModule->SetProjectFileName(Path("site.pwproj"));
  FHost.SaveChoices = {std::pair{Path("t"), 2}, std::pair{Path("d"), 3}, std::pair{Path("t"), 2}};
  EXPECT_FALSE(FModule->CmSaveAs());
  EXPECT_EQ(FHost.Messages.size(), 1u);
  QString saved;
  FHost.SaveAsWriters[stTavrinDocument] = [&](const QString& name) {
    saved = name;
    return true;
  };
  EXPECT_TRUE(FModule->CmSaveAs());
  EXPECT_EQ(saved, Path("d.tavrin"));
  FHost.SaveAsWriters[stSiteTemplate] = [&](const QString& name) {
    saved = name;
    return true;
  };
  EXPECT_TRUE(FModule->CmSaveAs());
  EXPECT_EQ(saved, Path("t.pwtmpl"));
  EXPECT_EQ(FModule->ProjectPath(), Path("site.pwproj"));
}

TEST_F(ProjectLifecycleTest, CmSaveUsesThePathOrAsks) {
  EXPECT_FALSE(FModule->CmSave());
  EXPECT_EQ(FHost.SaveDialogs.size(), 1u);
  FModule->SetProjectFileName(Path("x.pwproj"));
  EXPECT_TRUE(FModule->CmSave());
  EXPECT_TRUE(platform::FileExists(Path("x.pwproj")));
  EXPECT_EQ(FHost.SaveDialogs.size(), 1u);
}

TEST_F(ProjectLifecycleTest, RecentFilesMoveToTheHeadAndVanishedOnesAreDropped) {
  const QString a = WriteProject("a.pwproj", "a");
  const QString b = WriteProject("b.pwproj", "b");
  FModule->SetRecentFiles({b, Path("gone.pwproj"), a});
  FModule->UpdateRecentFiles(a);
  EXPECT_EQ(FModule->RecentFiles(), QStringList({a, b, Path("gone.pwproj")}));
  FModule->UpdateRecentFiles(Path("gone.pwproj"));
  EXPECT_EQ(FModule->RecentFiles(), QStringList({a, b}));

  FModule->SetRecentFiles({Path("gone.pwproj"), a});
  FHost.OpenChoices = {std::nullopt};
  EXPECT_FALSE(FModule->CmRecentFileOpen(Path("gone.pwproj")));
  EXPECT_EQ(FHost.OpenDialogs.size(), 1u);
  EXPECT_EQ(FModule->RecentFiles(), QStringList({a}));
  EXPECT_TRUE(FModule->CmRecentFileOpen(b));
  EXPECT_EQ(FModule->RecentFiles(), QStringList({b, a}));
}

TEST_F(ProjectLifecycleTest, SettingsKeepRecentFilesAndPresetTheOpenDialog) {
  const QString a = WriteProject("a.pwproj", "a");
  FModule->SetRecentFiles({a, Path("gone.pwproj")});
  FModule->SaveSettings();

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
  EXPECT_TRUE(FModule->OpenStartupProject({a}));
  EXPECT_EQ(FEditor.Text(), "a");
  EXPECT_FALSE(FModule->OpenStartupProject({}));
  EXPECT_EQ(FEditor.Text(), "");
}

TEST_F(ProjectLifecycleTest, NewAsksFirstAndPreviewsOnlyWhenSet) {
  int wizards = 0;
  FHost.Wizard = [&] { return ++wizards > 0; };
  FEditor.ReplaceRange({0, 0}, {0, 0}, "x");
  FHost.Answers = {TAnswer::Cancel};
  EXPECT_FALSE(FModule->CmNew());
  EXPECT_EQ(wizards, 0);
  FEditor.SetModified(false);
  EXPECT_TRUE(FModule->CmNew());
  EXPECT_EQ(FPreviews, 0);
  WritePreviewNewProject(FModule->Config(), true);
  EXPECT_TRUE(FModule->CmNew());
  EXPECT_EQ(wizards, 2);
  EXPECT_EQ(FPreviews, 1);
}

}  // namespace
}  // namespace pw::tests
