#include "ui/MarkupLexer.h"
#include "ui/ScintillaEditor.h"

#include "GuiApplication.h"
#include "support/EditingCases.h"
#include "support/MemoryHost.h"
#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

using ui::TScintillaEditor;

TEST(ScintillaEditorTest, EditingCommandsGiveTheSameMarkupAsInMemory) {
  GuiApplication();
  ExpectEditingCases<TScintillaEditor>();
}

TEST(ScintillaEditorTest, PositionsCountUtf16UnitsAndLinesDropTheirBreaks) {
  GuiApplication();
  TScintillaEditor editor;
  editor.SetText("ü€x\r\n😀y\n");
  EXPECT_FALSE(editor.Modified());
  EXPECT_EQ(editor.LineCount(), 3);
  EXPECT_EQ(editor.Line(0), "ü€x");
  EXPECT_EQ(editor.Line(1), "😀y");
  EXPECT_EQ(editor.Line(2), "");
  EXPECT_EQ(editor.Line(9), "");
  editor.SetSelection({0, 2}, {1, 2});
  EXPECT_EQ(editor.SelectedText(), "x\r\n😀");
  EXPECT_EQ(editor.SelectionEnd(), (TTextPos{1, 2}));
  const auto before = editor.Revision();
  editor.ReplaceRange({1, 2}, {0, 2}, "-");
  EXPECT_EQ(editor.Text(), "ü€-y\n");
  EXPECT_EQ(editor.Caret(), (TTextPos{0, 3}));
  EXPECT_TRUE(editor.Modified());
  EXPECT_GT(editor.Revision(), before);
  EXPECT_EQ(editor.EndPos(), (TTextPos{1, 0}));
  editor.SetCaret({7, 99});  // clamped
  EXPECT_EQ(editor.Caret(), (TTextPos{1, 0}));
}

TEST(MarkupLexerTest, StylesFollowTheHighlighterAcrossLineBreaks) {
  GuiApplication();
  TScintillaEditor editor;
  auto* lexer = new ui::TMarkupLexer(&editor);
  editor.setLexer(lexer);
  const QByteArray text = "[a.html]\r\nHi {$x}!\n; c\n> {y}";
  editor.SetText(QString::fromUtf8(text));
  editor.SendScintilla(QsciScintilla::SCI_COLOURISE, 0, -1);
  auto style = [&](int pos) {
    return static_cast<int>(editor.SendScintilla(QsciScintilla::SCI_GETSTYLEAT, pos));
  };
  const int macro = text.indexOf("{$x}");
  EXPECT_EQ(style(0), 1);
  EXPECT_EQ(style(7), 1);
  EXPECT_EQ(style(8), 0);  // the line break
  EXPECT_EQ(style(macro - 1), 0);
  EXPECT_EQ(style(macro), 4);
  EXPECT_EQ(style(macro + 3), 4);
  EXPECT_EQ(style(macro + 4), 0);
  EXPECT_EQ(style(text.indexOf("; c")), 2);
  EXPECT_EQ(style(text.indexOf("{y}")), 5);
  EXPECT_EQ(lexer->description(3), "Directive");
  EXPECT_EQ(lexer->defaultColor(3), QColor(0x4F, 0x96, 0xE3));
  EXPECT_TRUE(lexer->defaultFont(1).bold());
}

}  // namespace
}  // namespace pw::tests
