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
  // A token kind k is drawn in style k + 1.
  const int macro = text.indexOf("{$x}");
  EXPECT_EQ(style(0), 2);
  EXPECT_EQ(style(7), 2);
  EXPECT_EQ(style(8), 1);  // the line break
  EXPECT_EQ(style(macro - 1), 1);
  EXPECT_EQ(style(macro), 5);
  EXPECT_EQ(style(macro + 3), 5);
  EXPECT_EQ(style(macro + 4), 1);
  EXPECT_EQ(style(text.indexOf("; c")), 3);
  EXPECT_EQ(style(text.indexOf("{y}")), 6);
  EXPECT_EQ(lexer->description(4), "Directive");
  EXPECT_EQ(lexer->defaultColor(4), QColor(0x4F, 0x96, 0xE3));
  EXPECT_TRUE(lexer->defaultFont(2).bold());
  EXPECT_EQ(lexer->description(0), "");  // the hidden style is left to the lexer
}

TEST(MarkupLexerTest, OfAVeryLongLineOnlyAWindowAroundTheCaretIsShown) {
  GuiApplication();
  TScintillaEditor editor;
  auto* lexer = new ui::TMarkupLexer(&editor);
  editor.setLexer(lexer);
  constexpr int kShown = ui::TMarkupLexer::ShownBytes;
  constexpr int kHidden = ui::TMarkupLexer::HiddenStyle;
  EXPECT_EQ(editor.SendScintilla(QsciScintilla::SCI_STYLEGETVISIBLE, kHidden), 0);
  // Line 1: a placeholder straddles the end of the first window; "é" is two bytes.
  QByteArray longLine(ui::TMarkupLexer::LongLineBytes * 5, 'w');
  longLine.replace(kShown - 2, 4, "{$x}");
  longLine.replace(kShown * 3, 2, "\xC3\xA9");
  const QByteArray text = "short {$y}\n" + longLine + "\n[next.html]\n";
  int clipped = -1;
  QObject::connect(lexer, &ui::TMarkupLexer::LongLineClipped, [&](int line) { clipped = line; });
  editor.SetText(QString::fromUtf8(text));
  editor.SendScintilla(QsciScintilla::SCI_COLOURISE, 0, -1);
  const int lineStart = text.indexOf('\n') + 1;
  auto style = [&](int pos) {
    return static_cast<int>(editor.SendScintilla(QsciScintilla::SCI_GETSTYLEAT, pos));
  };
  // Short lines are styled in full; the long one shows its head while the caret is elsewhere.
  EXPECT_EQ(clipped, 1);
  EXPECT_EQ(style(6), 5);
  EXPECT_EQ(style(lineStart), 1);
  EXPECT_EQ(style(lineStart + kShown - 2), 5);
  EXPECT_EQ(style(lineStart + kShown), kHidden);
  EXPECT_EQ(style(lineStart + longLine.size() - 1), kHidden);
  EXPECT_EQ(style(lineStart + longLine.size()), 1);  // its line break
  EXPECT_EQ(style(text.indexOf("[next")), 2);

  // The shown part follows the caret, without splitting a character.
  // The caret's column counts "é" once: the window would start on its second byte.
  // The caret is followed once the editor has drawn its new place.
  editor.show();
  editor.SetCaret({1, kShown * 3 + kShown / 2});
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  const int first = lineStart + kShown * 3;
  EXPECT_EQ(style(first - 1), kHidden);
  EXPECT_EQ(style(first), 1);
  EXPECT_EQ(style(first + 1), 1);
  EXPECT_EQ(style(lineStart + kShown * 4), 1);
  EXPECT_EQ(style(lineStart + kShown * 4 + 1), kHidden);
  EXPECT_EQ(style(lineStart), kHidden);
  EXPECT_EQ(editor.Text().toUtf8(), text);
}

}  // namespace
}  // namespace pw::tests
