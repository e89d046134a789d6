#include "ui/ScintillaEditor.h"

#include <algorithm>

namespace pw::ui {

TScintillaEditor::TScintillaEditor(QWidget* parent) : QsciScintilla(parent) {
  setObjectName(QStringLiteral("Editor"));
  setUtf8(true);
  QFont font(QStringLiteral("Monospace"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPointSize(10);  // QScintilla sizes styles in points
  setFont(font);
  QFont gutter = font;
  gutter.setPointSize(8);
  setMarginsFont(gutter);
  setMarginLineNumbers(0, true);
  setMarginWidth(0, QStringLiteral("00000"));
  setAutoIndent(true);
  setIndentationsUseTabs(false);
  setTabWidth(2);
  setBackspaceUnindents(true);
  setWrapMode(WrapWord);
  setEdgeMode(EdgeNone);
  setCaretLineVisible(false);
  connect(this, &QsciScintilla::textChanged, this, [this] {
    ++FRevision;
    if (!FQuiet) FModified = true;
  });
}

QString TScintillaEditor::Text() const { return text(); }

void TScintillaEditor::SetText(const QString& text) {
  FQuiet = true;
  setText(text);
  FQuiet = false;
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  ++FRevision;
}

int TScintillaEditor::LineCount() const { return lines(); }

QString TScintillaEditor::Line(int index) const {
  if (index < 0 || index >= lines()) return {};
  QString line = text(index);
  while (line.endsWith(u'\n') || line.endsWith(u'\r')) line.chop(1);
  return line;
}

long TScintillaEditor::BytePos(TTextPos pos) const {
  const int line = std::clamp(pos.Line, 0, std::max(0, lines() - 1));
  const QString text = Line(line);
  const int column = std::clamp(pos.Column, 0, static_cast<int>(text.size()));
  const long start = SendScintilla(SCI_POSITIONFROMLINE, line);
  return start + text.left(column).toUtf8().size();
}

TTextPos TScintillaEditor::PosFromByte(long pos) const {
  const int line = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, pos));
  const long start = SendScintilla(SCI_POSITIONFROMLINE, line);
  const QByteArray head = bytes(static_cast<int>(start), static_cast<int>(pos));
  // bytes() ends with a terminating zero.
  return {line, static_cast<int>(QString::fromUtf8(head.constData(), pos - start).size())};
}

TTextPos TScintillaEditor::Caret() const { return PosFromByte(SendScintilla(SCI_GETCURRENTPOS)); }

void TScintillaEditor::SetCaret(TTextPos pos) { SendScintilla(SCI_GOTOPOS, BytePos(pos)); }

TTextPos TScintillaEditor::SelectionStart() const {
  return PosFromByte(SendScintilla(SCI_GETSELECTIONSTART));
}

TTextPos TScintillaEditor::SelectionEnd() const {
  return PosFromByte(SendScintilla(SCI_GETSELECTIONEND));
}

void TScintillaEditor::SetSelection(TTextPos anchor, TTextPos caret) {
  SendScintilla(SCI_SETSEL, BytePos(anchor), BytePos(caret));
}

QString TScintillaEditor::SelectedText() const { return selectedText(); }

void TScintillaEditor::ReplaceRange(TTextPos from, TTextPos to, const QString& text) {
  const long a = BytePos(from);
  const long b = BytePos(to);
  const QByteArray utf8 = text.toUtf8();
  beginUndoAction();
  SendScintilla(SCI_SETTARGETRANGE, std::min(a, b), std::max(a, b));
  SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(utf8.size()), utf8.constData());
  endUndoAction();
  SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(std::min(a, b) + utf8.size()));
}

TTextPos TScintillaEditor::EndPos() const {
  const int last = std::max(0, lines() - 1);
  return {last, static_cast<int>(Line(last).size())};
}

void TScintillaEditor::BeginUndoAction() { beginUndoAction(); }
void TScintillaEditor::EndUndoAction() { endUndoAction(); }
bool TScintillaEditor::CanUndo() const { return isUndoAvailable(); }
bool TScintillaEditor::CanRedo() const { return isRedoAvailable(); }
void TScintillaEditor::Undo() { undo(); }
void TScintillaEditor::Redo() { redo(); }

void TScintillaEditor::SetModified(bool modified) {
  FModified = modified;
  if (!modified) setModified(false);
}

void TScintillaEditor::SetFocus() { setFocus(); }

void TScintillaEditor::GoToLineCentred(int line) {
  SetCaret({line, 0});
  const long visible = SendScintilla(SCI_VISIBLEFROMDOCLINE, line);
  const long onScreen = SendScintilla(SCI_LINESONSCREEN);
  SendScintilla(SCI_SETFIRSTVISIBLELINE, std::max(0L, visible - onScreen / 2));
}

}  // namespace pw::ui
