#include "support/MemoryTextEditor.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

TEST(MemoryTextEditorTest, CountsLinesLikeTheEditorControl) {
  TMemoryTextEditor e;
  EXPECT_EQ(e.LineCount(), 1);
  e.SetText("a\r\nb\rc\n");
  EXPECT_EQ(e.LineCount(), 4);
  EXPECT_EQ(e.Line(0), "a");
  EXPECT_EQ(e.Line(1), "b");
  EXPECT_EQ(e.Line(3), "");
  EXPECT_EQ(e.Line(4), "");
  EXPECT_EQ(e.EndPos(), (TTextPos{3, 0}));
}

TEST(MemoryTextEditorTest, ReplaceRangeAcrossLinesMovesTheCaretAfterTheInsertion) {
  TMemoryTextEditor e("one\r\ntwo\r\nthree");
  e.ReplaceRange({1, 1}, {0, 2}, "X\r\nY");
  EXPECT_EQ(e.Text(), "onX\r\nYwo\r\nthree");
  EXPECT_EQ(e.Caret(), (TTextPos{1, 1}));
  EXPECT_TRUE(e.Modified());
}

TEST(MemoryTextEditorTest, PositionsAreClamped) {
  TMemoryTextEditor e("ab\ncd");
  e.SetCaret({7, 9});
  EXPECT_EQ(e.Caret(), (TTextPos{1, 2}));
  e.ReplaceRange({0, 99}, {0, 99}, "!");
  EXPECT_EQ(e.Text(), "ab!\ncd");
  e.SetSelection({0, 1}, {1, 1});
  EXPECT_EQ(e.SelectedText(), "b!\nc");
  EXPECT_EQ(e.SelectionStart(), (TTextPos{0, 1}));
}

TEST(MemoryTextEditorTest, EachReplaceOrGroupIsOneUndoStep) {
  TMemoryTextEditor e("abc");
  e.ReplaceRange({0, 0}, {0, 0}, "1");
  e.BeginUndoAction();
  e.ReplaceRange({0, 0}, {0, 0}, "2");
  e.BeginUndoAction();
  e.ReplaceRange({0, 0}, {0, 0}, "3");
  e.EndUndoAction();
  e.EndUndoAction();
  EXPECT_EQ(e.Text(), "321abc");
  EXPECT_EQ(e.UndoCount(), 2);
  e.Undo();
  EXPECT_EQ(e.Text(), "1abc");
  e.Undo();
  EXPECT_EQ(e.Text(), "abc");
  EXPECT_FALSE(e.CanUndo());
  e.Redo();
  EXPECT_EQ(e.Text(), "1abc");
  e.ReplaceRange({0, 0}, {0, 0}, "x");
  EXPECT_FALSE(e.CanRedo());
}

TEST(MemoryTextEditorTest, RevisionGrowsWithEveryChange) {
  TMemoryTextEditor e;
  const auto r0 = e.Revision();
  e.SetText("a");
  EXPECT_GT(e.Revision(), r0);
  const auto r1 = e.Revision();
  e.SetCaret({0, 1});
  EXPECT_EQ(e.Revision(), r1);
  e.ReplaceRange({0, 0}, {0, 1}, "");
  EXPECT_GT(e.Revision(), r1);
}

}  // namespace
}  // namespace pw::tests
