#include "support/ModuleFixture.h"

namespace pw::tests {
namespace {

using PageListTest = ModuleTest;

std::vector<std::string> Captions(const TModule& m) {
  std::vector<std::string> c;
  for (const TPageListEntry& e : m.PageList()) c.push_back(e.Caption);
  return c;
}

TEST_F(PageListTest, EntriesCarryLineAndIcon) {
  FEditor.SetText("$title Site\n[index.html]\n[menu]\n");
  FModule->RefreshPageList(true);
  ASSERT_EQ(FModule->PageList().size(), 3u);
  EXPECT_EQ(FModule->PageList()[0], (TPageListEntry{"Project (Site)", 0, content::piProject}));
  EXPECT_EQ(FModule->PageList()[1], (TPageListEntry{"index.html", 2, content::piFile}));
  EXPECT_EQ(FModule->PageList()[2], (TPageListEntry{"menu", 3, content::piFragment}));
  // The windows hear of a refresh only when the entries changed.
  EXPECT_EQ(FPageListChanges, 1);
  FEditor.ReplaceRange(FEditor.EndPos(), FEditor.EndPos(), "body\n");
  FModule->RefreshPageList(false);
  EXPECT_EQ(FPageListChanges, 1);
  EXPECT_EQ(FModule->ProjectTitle(), "Site");
}

TEST_F(PageListTest, UnforcedRefreshWaitsForAnEdit) {
  FEditor.SetText("[a.html]");
  FModule->RefreshPageList(true);
  FModule->Project().ProjectTitle = "kept";
  FModule->RefreshPageList(false);
  EXPECT_EQ(FModule->ProjectTitle(), "kept");
  FEditor.ReplaceRange(FEditor.EndPos(), FEditor.EndPos(), "\n[b.html]");
  FModule->RefreshPageList(false);
  EXPECT_EQ(Captions(*FModule), (std::vector<std::string>{"Project", "a.html", "b.html"}));
}

TEST_F(PageListTest, SelectionIsKeptAndClamped) {
  FEditor.SetText("[a.html]\n[b.html]\n[c.html]");
  FModule->RefreshPageList(true);
  FModule->SetSelectedPage(3);
  EXPECT_EQ(FModule->SelectedPage(), 3);
  FEditor.SetText("[a.html]");
  FModule->RefreshPageList(false);
  EXPECT_EQ(FModule->SelectedPage(), 1);
  FModule->SetSelectedPage(-5);
  EXPECT_EQ(FModule->SelectedPage(), 0);
}

TEST_F(PageListTest, ChangedUnitsRecompileOnlyOnAnUnforcedRefresh) {
  const TCountingScripts& scripts = CountCompilations();
  FEditor.SetText("$uses a\n");
  FModule->RefreshPageList(true);
  EXPECT_EQ(scripts.Compiled, 0);
  EXPECT_EQ(FModule->Project().UsedUnits, "a");
  FEditor.ReplaceRange(FEditor.EndPos(), FEditor.EndPos(), "[x.html]\n");
  FModule->RefreshPageList(false);
  EXPECT_EQ(scripts.Compiled, 0);
  FEditor.ReplaceRange(FEditor.EndPos(), FEditor.EndPos(), "$uses a, b\n");
  FModule->RefreshPageList(false);
  EXPECT_EQ(scripts.Compiled, 1);
  EXPECT_EQ(FModule->Project().UsedUnits, "a, b");
  // Removing the line forgets the units, which is a change too.
  FEditor.SetText("[x.html]\n");
  FModule->RefreshPageList(false);
  EXPECT_EQ(scripts.Compiled, 2);
  EXPECT_EQ(FModule->Project().UsedUnits, "");
}

TEST_F(PageListTest, CurrentPageNameFollowsTheCaret) {
  FEditor.SetText("[index.html]\ntext\n[menu]\nitem");
  FEditor.SetCaret({1, 2});
  EXPECT_EQ(FModule->CurrentPageName(), "index.html");
  FEditor.SetCaret({3, 0});
  EXPECT_EQ(FModule->CurrentPageName(), "");
}

using AddPageTest = ModuleTest;

TEST_F(AddPageTest, BlockPlacementLineBreaksAndCaret) {
  const struct {
    const char* Text;
    int Selected;
    TAddPageFields Fields;
    const char* Expected;
    TTextPos Caret;
  } cases[] = {
      // With the project selected the block is appended after a blank line; the caret goes to
      // the block's closing blank line.
      {"$title Site\n[index.html]\nHello", 0, {"about.html", "About", "", "kw"},
       "$title Site\n[index.html]\nHello\n\n[about.html]\n$title About\n$keywords kw\n\n", {6, 0}},
      // After an empty last line one line feed is enough.
      {"[index.html]\nHello\n", 0, {"b.html", "", "", ""}, "[index.html]\nHello\n\n[b.html]\n\n", {4, 0}},
      {"", 0, {"index.html", "", "", ""}, "\n[index.html]\n\n", {2, 0}},
      // With a page selected the block goes before it.
      {"[index.html]\nHello\n[contact.html]\nMail\n", 2, {"new page.html", "T", "D", "K"},
       "[index.html]\nHello\n[new page.html]\n$title T\n$description D\n$keywords K\n\n[contact.html]\nMail\n", {6, 0}},
      // The text's own line breaks, and fields kept to one line.
      {"[a.html]\r\nx", 0, {"b.html", "Two\r\nlines", "", ""},
       "[a.html]\r\nx\r\n\r\n[b.html]\r\n$title Two  lines\r\n\r\n", {4, 0}},
  };
  int focus = 0;
  for (const auto& c : cases) {
    FEditor.SetText(c.Text);
    FModule->RefreshPageList(true);
    FModule->SetSelectedPage(c.Selected);
    FHost.AddPageChoices = {c.Fields};
    ASSERT_TRUE(FModule->CmAddPage()) << c.Text;
    EXPECT_EQ(FEditor.Text(), c.Expected);
    EXPECT_EQ(FEditor.Caret(), c.Caret) << c.Text;
    EXPECT_EQ(FEditor.FocusCount(), ++focus);
    EXPECT_EQ(FEditor.UndoCount(), 1);
    FEditor.Undo();
    EXPECT_EQ(FEditor.Text(), c.Text);
  }
}

TEST_F(AddPageTest, CancelOrABlankNameAddsNothing) {
  FEditor.SetText("x");
  FHost.AddPageChoices = {std::nullopt, TAddPageFields{"   ", "t", "", ""}};
  EXPECT_FALSE(FModule->CmAddPage());
  EXPECT_FALSE(FModule->CmAddPage());
  EXPECT_EQ(FEditor.Text(), "x");
  EXPECT_FALSE(FEditor.CanUndo());
}

using DeletePageTest = ModuleTest;

TEST_F(DeletePageTest, DeletesUpToTheNextHeaderAfterAsking) {
  FEditor.SetText("$title S\n[a.html]\n$title A\ntext\n[open\n[]\n[b.html]\nb\n");
  FModule->RefreshPageList(true);
  FModule->SetSelectedPage(1);
  EXPECT_TRUE(FModule->CanDeletePage());
  FHost.Answers = {TAnswer::Yes};
  ASSERT_TRUE(FModule->CmDeletePage());
  ASSERT_EQ(FHost.Questions.size(), 1u);
  EXPECT_EQ(FHost.Questions[0].Title, "Delete Page");
  EXPECT_EQ(FHost.Questions[0].Text, "Delete 'a.html (A)'?");
  EXPECT_EQ(FEditor.Text(), "$title S\n[b.html]\nb\n");
  EXPECT_EQ(FEditor.UndoCount(), 1);

  // The last page goes to the end of the text.
  FEditor.SetText("[a.html]\na\n[b.html]\nb\nmore");
  FModule->RefreshPageList(true);
  FModule->SetSelectedPage(2);
  FHost.Answers = {TAnswer::Yes};
  ASSERT_TRUE(FModule->CmDeletePage());
  EXPECT_EQ(FEditor.Text(), "[a.html]\na\n");

  // A stale list is refreshed before deleting.
  FEditor.SetText("[a.html]\na\n[b.html]\nb");
  FModule->RefreshPageList(true);
  FModule->SetSelectedPage(2);
  FEditor.ReplaceRange({0, 0}, {0, 0}, "intro\n");
  FHost.Answers = {TAnswer::Yes};
  ASSERT_TRUE(FModule->CmDeletePage());
  EXPECT_EQ(FEditor.Text(), "intro\n[a.html]\na\n");
}

TEST_F(DeletePageTest, NoOrProjectSelectedDeletesNothing) {
  FEditor.SetText("[a.html]\na");
  FModule->RefreshPageList(true);
  EXPECT_FALSE(FModule->CanDeletePage());
  EXPECT_FALSE(FModule->CmDeletePage());
  EXPECT_TRUE(FHost.Questions.empty());
  FModule->SetSelectedPage(1);
  FHost.Answers = {TAnswer::No};
  EXPECT_FALSE(FModule->CmDeletePage());
  EXPECT_EQ(FEditor.Text(), "[a.html]\na");
}

}  // namespace
}  // namespace pw::tests
