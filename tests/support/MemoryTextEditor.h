// TMemoryTextEditor: an in-memory ITextEditor for tests. It keeps the text as a list of lines
// and each undo step as a snapshot of the whole text.
#pragma once

#include "core/TextEditor.h"

#include <vector>

namespace pw::tests {

class TMemoryTextEditor : public ITextEditor {
 public:
  TMemoryTextEditor() = default;
  explicit TMemoryTextEditor(const QString& text) { SetText(text); }

  QString Text() const override;
  void SetText(const QString& text) override;
  int LineCount() const override;
  QString Line(int index) const override;
  TTextPos Caret() const override { return FCaret; }
  void SetCaret(TTextPos pos) override;
  TTextPos SelectionStart() const override;
  TTextPos SelectionEnd() const override;
  void SetSelection(TTextPos anchor, TTextPos caret) override;
  QString SelectedText() const override;
  void ReplaceRange(TTextPos from, TTextPos to, const QString& text) override;
  TTextPos EndPos() const override;
  void BeginUndoAction() override;
  void EndUndoAction() override;
  bool CanUndo() const override { return !FUndo.empty(); }
  bool CanRedo() const override { return !FRedo.empty(); }
  void Undo() override;
  void Redo() override;
  bool Modified() const override { return FModified; }
  void SetModified(bool modified) override { FModified = modified; }
  std::uint64_t Revision() const override { return FRevision; }
  void SetFocus() override { ++FFocusCount; }

  // How often SetFocus was called (for tests).
  int FocusCount() const { return FFocusCount; }
  // The number of undo steps recorded.
  int UndoCount() const { return static_cast<int>(FUndo.size()); }

 private:
  struct TSnapshot {
    QString Text;
    TTextPos Caret;
  };

  TTextPos Clamp(TTextPos pos) const;
  // Offset of a (clamped) position in the whole text.
  qsizetype Offset(TTextPos pos) const;
  TTextPos PosFromOffset(qsizetype offset) const;
  void Reindex();
  void RecordUndo();
  // Undo and Redo: restores the last snapshot of `from`, keeping the current text in `to`.
  void StepHistory(std::vector<TSnapshot>& from, std::vector<TSnapshot>& to);

  QString FText;
  std::vector<qsizetype> FLineStarts{0};   // offset of every line's first character
  std::vector<qsizetype> FLineLengths{0};  // length of every line without its break
  TTextPos FCaret;
  TTextPos FAnchor;
  std::vector<TSnapshot> FUndo;
  std::vector<TSnapshot> FRedo;
  int FUndoDepth = 0;
  bool FUndoRecorded = false;  // an undo snapshot was taken in the current group
  bool FModified = false;
  std::uint64_t FRevision = 0;
  int FFocusCount = 0;
};

}  // namespace pw::tests
