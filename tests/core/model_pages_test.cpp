#include "core/ModelTestFixture.h"

namespace pw::test {
namespace {

using PageListTest = ModelTest;

std::vector<QString> Captions(const TModule& m) {
  std::vector<QString> c;
  for (const TPageListEntry& e : m.PageList()) c.push_back(e.Caption);
  return c;
}

TEST_F(PageListTest, EntriesCarryLineAndIcon) {
  Editor.SetText("$title Site\n[index.html]\n[menu]\n");
  Module->RefreshPageList(true);
  ASSERT_EQ(Module->PageList().size(), 3u);
  EXPECT_EQ(Module->PageList()[0], (TPageListEntry{"Project (Site)", 0, 2}));
  EXPECT_EQ(Module->PageList()[1], (TPageListEntry{"index.html", 2, 1}));
  EXPECT_EQ(Module->PageList()[2], (TPageListEntry{"menu", 3, 0}));
  EXPECT_EQ(Module->ProjectTitle(), "Site");
}

TEST_F(PageListTest, UnforcedRefreshWaitsForAnEdit) {
  Editor.SetText("[a.html]");
  Module->RefreshPageList(true);
  Module->Project().ProjectTitle = "kept";
  Module->RefreshPageList(false);
  EXPECT_EQ(Module->ProjectTitle(), "kept");
  Editor.ReplaceRange(Editor.EndPos(), Editor.EndPos(), "\n[b.html]");
  Module->RefreshPageList(false);
  EXPECT_EQ(Captions(*Module), (std::vector<QString>{"Project", "a.html", "b.html"}));
}

TEST_F(PageListTest, SelectionIsKeptAndClamped) {
  Editor.SetText("[a.html]\n[b.html]\n[c.html]");
  Module->RefreshPageList(true);
  Module->SetSelectedPage(3);
  EXPECT_EQ(Module->SelectedPage(), 3);
  Editor.SetText("[a.html]");
  Module->RefreshPageList(false);
  EXPECT_EQ(Module->SelectedPage(), 1);
  Module->SetSelectedPage(-5);
  EXPECT_EQ(Module->SelectedPage(), 0);
}

TEST_F(PageListTest, ChangedUnitsRecompileOnlyOnAnUnforcedRefresh) {
  int compiled = 0;
  Module->CompileScripts = [&] { ++compiled; };
  Editor.SetText("$uses a\n");
  Module->RefreshPageList(true);
  EXPECT_EQ(compiled, 0);
  EXPECT_EQ(Module->Project().UsedUnits, "a");
  Editor.ReplaceRange(Editor.EndPos(), Editor.EndPos(), "[x.html]\n");
  Module->RefreshPageList(false);
  EXPECT_EQ(compiled, 0);
  Editor.ReplaceRange(Editor.EndPos(), Editor.EndPos(), "$uses a, b\n");
  Module->RefreshPageList(false);
  EXPECT_EQ(compiled, 1);
  EXPECT_EQ(Module->Project().UsedUnits, "a, b");
  // Removing the line forgets the units, which is a change too.
  Editor.SetText("[x.html]\n");
  Module->RefreshPageList(false);
  EXPECT_EQ(compiled, 2);
  EXPECT_EQ(Module->Project().UsedUnits, "");
}

TEST_F(PageListTest, CurrentPageNameFollowsTheCaret) {
  Editor.SetText("[index.html]\ntext\n[menu]\nitem");
  Editor.SetCaret({1, 2});
  EXPECT_EQ(Module->CurrentPageName(), "index.html");
  Editor.SetCaret({3, 0});
  EXPECT_EQ(Module->CurrentPageName(), "");
}

using AddPageTest = ModelTest;

TEST_F(AddPageTest, WithProjectSelectedTheBlockIsAppendedAfterABlankLine) {
  Editor.SetText("$title Site\n[index.html]\nHello");
  Module->RefreshPageList(true);
  Host.AddPageChoices = {TAddPageFields{"about.html", "About", "", "kw"}};
  ASSERT_TRUE(Module->CmAddPage());
  EXPECT_EQ(Editor.Text(), "$title Site\n[index.html]\nHello\n\n[about.html]\n$title About\n$keywords kw\n\n");
  // Old line count 3 plus the block's 4 lines gives line 7 (1-based).
  EXPECT_EQ(Editor.Caret(), (TTextPos{6, 0}));
  EXPECT_EQ(Editor.FocusCount(), 1);
  EXPECT_EQ(Editor.UndoCount(), 1);
  Editor.Undo();
  EXPECT_EQ(Editor.Text(), "$title Site\n[index.html]\nHello");
}

TEST_F(AddPageTest, AfterAnEmptyLastLineOneLineFeedIsEnough) {
  Editor.SetText("[index.html]\nHello\n");
  Module->RefreshPageList(true);
  Host.AddPageChoices = {TAddPageFields{"b.html", "", "", ""}};
  ASSERT_TRUE(Module->CmAddPage());
  EXPECT_EQ(Editor.Text(), "[index.html]\nHello\n\n[b.html]\n\n");
  EXPECT_EQ(Editor.Caret(), (TTextPos{4, 0}));
}

TEST_F(AddPageTest, WithAPageSelectedTheBlockGoesBeforeIt) {
  Editor.SetText("[index.html]\nHello\n[contact.html]\nMail\n");
  Module->RefreshPageList(true);
  Module->SetSelectedPage(2);
  Host.AddPageChoices = {TAddPageFields{"new page.html", "T", "D", "K"}};
  ASSERT_TRUE(Module->CmAddPage());
  EXPECT_EQ(Editor.Text(),
            "[index.html]\nHello\n[new page.html]\n$title T\n$description D\n$keywords K\n\n[contact.html]\nMail\n");
  // Header line index 2 plus the block's 5 lines: line 7, the block's closing blank line.
  EXPECT_EQ(Editor.Caret(), (TTextPos{6, 0}));
  EXPECT_EQ(Editor.UndoCount(), 1);
}

TEST_F(AddPageTest, BlockUsesTheTextsLineBreaksAndOneLineFields) {
  Editor.SetText("[a.html]\r\nx");
  Module->RefreshPageList(true);
  Host.AddPageChoices = {TAddPageFields{"b.html", "Two\r\nlines", "", ""}};
  ASSERT_TRUE(Module->CmAddPage());
  EXPECT_EQ(Editor.Text(), "[a.html]\r\nx\r\n\r\n[b.html]\r\n$title Two  lines\r\n\r\n");
}

TEST_F(AddPageTest, CancelOrABlankNameAddsNothing) {
  Editor.SetText("x");
  Host.AddPageChoices = {std::nullopt, TAddPageFields{"   ", "t", "", ""}};
  EXPECT_FALSE(Module->CmAddPage());
  EXPECT_FALSE(Module->CmAddPage());
  EXPECT_EQ(Editor.Text(), "x");
  EXPECT_FALSE(Editor.CanUndo());
}

TEST_F(AddPageTest, IntoAnEmptyText) {
  Module->RefreshPageList(true);
  Host.AddPageChoices = {TAddPageFields{"index.html", "", "", ""}};
  ASSERT_TRUE(Module->CmAddPage());
  EXPECT_EQ(Editor.Text(), "\n[index.html]\n\n");
}

using DeletePageTest = ModelTest;

TEST_F(DeletePageTest, DeletesUpToTheNextHeaderAfterAsking) {
  Editor.SetText("$title S\n[a.html]\n$title A\ntext\n[open\n[]\n[b.html]\nb\n");
  Module->RefreshPageList(true);
  Module->SetSelectedPage(1);
  EXPECT_TRUE(Module->CanDeletePage());
  Host.Answers = {TAnswer::Yes};
  ASSERT_TRUE(Module->CmDeletePage());
  ASSERT_EQ(Host.Questions.size(), 1u);
  EXPECT_EQ(Host.Questions[0].Title, "Delete Page");
  EXPECT_EQ(Host.Questions[0].Text, "Delete 'a.html (A)'?");
  EXPECT_EQ(Editor.Text(), "$title S\n[b.html]\nb\n");
  EXPECT_EQ(Editor.UndoCount(), 1);
}

TEST_F(DeletePageTest, LastPageGoesToTheEndOfTheText) {
  Editor.SetText("[a.html]\na\n[b.html]\nb\nmore");
  Module->RefreshPageList(true);
  Module->SetSelectedPage(2);
  Host.Answers = {TAnswer::Yes};
  ASSERT_TRUE(Module->CmDeletePage());
  EXPECT_EQ(Editor.Text(), "[a.html]\na\n");
}

TEST_F(DeletePageTest, NoOrProjectSelectedDeletesNothing) {
  Editor.SetText("[a.html]\na");
  Module->RefreshPageList(true);
  EXPECT_FALSE(Module->CanDeletePage());
  EXPECT_FALSE(Module->CmDeletePage());
  EXPECT_TRUE(Host.Questions.empty());
  Module->SetSelectedPage(1);
  Host.Answers = {TAnswer::No};
  EXPECT_FALSE(Module->CmDeletePage());
  EXPECT_EQ(Editor.Text(), "[a.html]\na");
}

TEST_F(DeletePageTest, AStaleListIsRefreshedBeforeDeleting) {
  Editor.SetText("[a.html]\na\n[b.html]\nb");
  Module->RefreshPageList(true);
  Module->SetSelectedPage(2);
  Editor.ReplaceRange({0, 0}, {0, 0}, "intro\n");
  Host.Answers = {TAnswer::Yes};
  ASSERT_TRUE(Module->CmDeletePage());
  EXPECT_EQ(Editor.Text(), "intro\n[a.html]\na\n");
}

}  // namespace
}  // namespace pw::test
