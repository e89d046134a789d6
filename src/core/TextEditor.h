// ITextEditor: what the project core needs of the main text editor. The main window's editor
// implements it; the module never owns its editor.
//
// Lines are separated by CR LF, a lone CR or a lone LF; a text ending in a line break has one
// more (empty) line after it, and an empty text has one empty line, as in the editor control.
// Positions are 0-based line and column (UTF-16 units within the line, without its break).
// Out-of-range positions are clamped, never an error.
#pragma once

#include <QString>

#include <cstdint>

namespace pw {

struct TTextPos {
  int Line = 0;
  int Column = 0;
  friend bool operator==(const TTextPos&, const TTextPos&) = default;
  friend auto operator<=>(const TTextPos&, const TTextPos&) = default;
};

class ITextEditor {
 public:
  virtual ~ITextEditor() = default;

  virtual QString Text() const = 0;
  // Replaces the whole text. Clears the undo history; leaves the modified flag to the caller.
  virtual void SetText(const QString& text) = 0;

  virtual int LineCount() const = 0;
  // The line without its line break; empty for an index out of range.
  virtual QString Line(int index) const = 0;

  virtual TTextPos Caret() const = 0;
  // Moves the caret and collapses the selection onto it.
  virtual void SetCaret(TTextPos pos) = 0;
  // The selection runs from its anchor to the caret; both ends equal when nothing is selected.
  virtual TTextPos SelectionStart() const = 0;
  virtual TTextPos SelectionEnd() const = 0;
  virtual void SetSelection(TTextPos anchor, TTextPos caret) = 0;
  virtual QString SelectedText() const = 0;

  // Replaces the text between from and to (in either order) with text, as one undo step, and
  // puts the caret at the end of the inserted text. Sets the modified flag.
  virtual void ReplaceRange(TTextPos from, TTextPos to, const QString& text) = 0;
  // The position just after the last character of the text.
  virtual TTextPos EndPos() const = 0;

  // Several edits between these calls form one undo step. Calls nest.
  virtual void BeginUndoAction() = 0;
  virtual void EndUndoAction() = 0;
  virtual bool CanUndo() const = 0;
  virtual bool CanRedo() const = 0;
  virtual void Undo() = 0;
  virtual void Redo() = 0;

  virtual bool Modified() const = 0;
  virtual void SetModified(bool modified) = 0;

  // Grows by at least one with every change of the text; lets callers notice edits without
  // an event connection.
  virtual std::uint64_t Revision() const = 0;

  virtual void SetFocus() = 0;
};

}  // namespace pw
