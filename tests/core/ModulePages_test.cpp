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
  Editor.SetText("$title Site\n[index.html]\n[menu]\n");
  Module->RefreshPageList(true);
  ASSERT_EQ(Module->PageList().size(), 3u);
  EXPECT_EQ(Module->PageList()[0], (TPageListEntry{"Project (Site)", 0, content::piProject}));
  EXPECT_EQ(Module->PageList()[1], (TPageListEntry{"index.html", 2, content::piFile}));
  EXPECT_EQ(Module->PageList()[2], (TPageListEntry{"menu", 3, content::piFragment}));
  // The windows hear of a refresh only when the entries changed.
  EXPECT_EQ(PageListChanges, 1);
  Editor.ReplaceRange(Editor.EndPos(), Editor.EndPos(), "body\n");
  Module->RefreshPageList(false);
  EXPECT_EQ(PageListChanges, 1);
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
  EXPECT_EQ(Captions(*Module), (std::vector<std::string>{"Project", "a.html", "b.html"}));
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
  const TCountingScripts& scripts = CountCompilations();
  Editor.SetText("$uses a\n");
  Module->RefreshPageList(true);
  EXPECT_EQ(scripts.Compiled, 0);
  EXPECT_EQ(Module->Project().UsedUnits, "a");
  Editor.ReplaceRange(Editor.EndPos(), Editor.EndPos(), "[x.html]\n");
  Module->RefreshPageList(false);
  EXPECT_EQ(scripts.Compiled, 0);
  Editor.ReplaceRange(Editor.EndPos(), Editor.EndPos(), "$uses a, b\n");
  Module->RefreshPageList(false);
  EXPECT_EQ(scripts.Compiled, 1);
  EXPECT_EQ(Module->Project().UsedUnits, "a, b");
  // Removing the line forgets the units, which is a change too.
  Editor.SetText("[x.html]\n");
  Module->RefreshPageList(false);
  EXPECT_EQ(scripts.Compiled, 2);
  EXPECT_EQ(Module->Project().UsedUnits, "");
}

TEST_F(PageListTest, CurrentPageNameFollowsTheCaret) {
  Editor.SetText("[index.html]\ntext\n[menu]\nitem");
  Editor.SetCaret({1, 2});
  EXPECT_EQ(Module->CurrentPageName(), "index.html");
  Editor.SetCaret({3, 0});
  EXPECT_EQ(Module->CurrentPageName(), "");
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
    Editor.SetText(c.Text);
    Module->RefreshPageList(true);
    Module->SetSelectedPage(c.Selected);
    Host.AddPageChoices = {c.Fields};
    ASSERT_TRUE(Module->CmAddPage()) << c.Text;
    EXPECT_EQ(Editor.Text(), c.Expected);
    EXPECT_EQ(Editor.Caret(), c.Caret) << c.Text;
    EXPECT_EQ(Editor.FocusCount(), ++focus);
    EXPECT_EQ(Editor.UndoCount(), 1);
    Editor.Undo();
    EXPECT_EQ(Editor.Text(), c.Text);
  }
}

TEST_F(AddPageTest, CancelOrABlankNameAddsNothing) {
  Editor.SetText("x");
  Host.AddPageChoices = {std::nullopt, TAddPageFields{"   ", "t", "", ""}};
  EXPECT_FALSE(Module->CmAddPage());
  EXPECT_FALSE(Module->CmAddPage());
  EXPECT_EQ(Editor.Text(), "x");
  EXPECT_FALSE(Editor.CanUndo());
}

using DeletePageTest = ModuleTest;

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

  // The last page goes to the end of the text.
  Editor.SetText("[a.html]\na\n[b.html]\nb\nmore");
  Module->RefreshPageList(true);
  Module->SetSelectedPage(2);
  Host.Answers = {TAnswer::Yes};
  ASSERT_TRUE(Module->CmDeletePage());
  EXPECT_EQ(Editor.Text(), "[a.html]\na\n");

  // A stale list is refreshed before deleting.
  Editor.SetText("[a.html]\na\n[b.html]\nb");
  Module->RefreshPageList(true);
  Module->SetSelectedPage(2);
  Editor.ReplaceRange({0, 0}, {0, 0}, "intro\n");
  Host.Answers = {TAnswer::Yes};
  ASSERT_TRUE(Module->CmDeletePage());
  EXPECT_EQ(Editor.Text(), "intro\n[a.html]\na\n");
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

}  // namespace
}  // namespace pw::tests
