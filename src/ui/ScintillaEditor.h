// TScintillaEditor: the main window's page editor, a QScintilla widget that is also the
// project core's ITextEditor. Positions given to and taken from the core are line and UTF-16
// column; Scintilla's own are UTF-8 byte offsets, converted at this border only.
// Owned by the main window; GUI thread only.
#pragma once

#include "core/TextEditor.h"

#include <Qsci/qsciscintilla.h>

namespace pw::ui {

class TScintillaEditor : public QsciScintilla, public ITextEditor {
  Q_OBJECT

 public:
  explicit TScintillaEditor(QWidget* parent = nullptr);

  QString Text() const override;
  void SetText(const QString& text) override;
  int LineCount() const override;
  QString Line(int index) const override;
  TTextPos Caret() const override;
  void SetCaret(TTextPos pos) override;
  TTextPos SelectionStart() const override;
  TTextPos SelectionEnd() const override;
  void SetSelection(TTextPos anchor, TTextPos caret) override;
  QString SelectedText() const override;
  void ReplaceRange(TTextPos from, TTextPos to, const QString& text) override;
  TTextPos EndPos() const override;
  void BeginUndoAction() override;
  void EndUndoAction() override;
  bool CanUndo() const override;
  bool CanRedo() const override;
  void Undo() override;
  void Redo() override;
  bool Modified() const override { return FModified; }
  void SetModified(bool modified) override;
  std::uint64_t Revision() const override { return FRevision; }
  void SetFocus() override;

  // Puts the caret at the start of line (0-based) and scrolls it to the middle of the view.
  void GoToLineCentred(int line);

 private:
  long BytePos(TTextPos pos) const;
  TTextPos PosFromByte(long pos) const;

  bool FModified = false;
  bool FQuiet = false;  // set while SetText replaces the text: not a user's edit
  std::uint64_t FRevision = 0;
};

}  // namespace pw::ui
