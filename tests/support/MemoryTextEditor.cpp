#include "support/MemoryTextEditor.h"

#include <algorithm>

namespace pw::tests {

QString TMemoryTextEditor::Text() const { return FText; }

void TMemoryTextEditor::SetText(const QString& text) {
  FText = text;
  Reindex();
  FUndo.clear();
  FRedo.clear();
  FCaret = FAnchor = TTextPos{};
  ++FRevision;
}

int TMemoryTextEditor::LineCount() const { return static_cast<int>(FLineStarts.size()); }

QString TMemoryTextEditor::Line(int index) const {
  if (index < 0 || index >= LineCount()) return QString();
  return FText.mid(FLineStarts[index], FLineLengths[index]);
}

void TMemoryTextEditor::SetCaret(TTextPos pos) { FCaret = FAnchor = Clamp(pos); }

TTextPos TMemoryTextEditor::SelectionStart() const { return std::min(FAnchor, FCaret); }
TTextPos TMemoryTextEditor::SelectionEnd() const { return std::max(FAnchor, FCaret); }

void TMemoryTextEditor::SetSelection(TTextPos anchor, TTextPos caret) {
  FAnchor = Clamp(anchor);
  FCaret = Clamp(caret);
}

QString TMemoryTextEditor::SelectedText() const {
  const qsizetype from = Offset(SelectionStart());
  return FText.mid(from, Offset(SelectionEnd()) - from);
}

void TMemoryTextEditor::ReplaceRange(TTextPos from, TTextPos to, const QString& text) {
  qsizetype a = Offset(from);
  qsizetype b = Offset(to);
  if (a > b) std::swap(a, b);
  RecordUndo();
  FText.replace(a, b - a, text);
  Reindex();
  FCaret = FAnchor = PosFromOffset(a + text.size());
  FModified = true;
  ++FRevision;
}

TTextPos TMemoryTextEditor::EndPos() const {
  const int last = LineCount() - 1;
  return {last, static_cast<int>(FLineLengths[last])};
}

void TMemoryTextEditor::BeginUndoAction() {
  if (FUndoDepth++ == 0) FUndoRecorded = false;
}

void TMemoryTextEditor::EndUndoAction() {
  if (FUndoDepth > 0) --FUndoDepth;
}

void TMemoryTextEditor::Undo() { StepHistory(FUndo, FRedo); }

void TMemoryTextEditor::Redo() { StepHistory(FRedo, FUndo); }

void TMemoryTextEditor::StepHistory(std::vector<TSnapshot>& from, std::vector<TSnapshot>& to) {
  if (from.empty()) return;
  to.push_back({FText, FCaret});
  TSnapshot s = std::move(from.back());
  from.pop_back();
  FText = std::move(s.Text);
  Reindex();
  FCaret = FAnchor = Clamp(s.Caret);
  FModified = true;
  ++FRevision;
}

TTextPos TMemoryTextEditor::Clamp(TTextPos pos) const {
  const int line = std::clamp(pos.Line, 0, LineCount() - 1);
  const int column = std::clamp(pos.Column, 0, static_cast<int>(FLineLengths[line]));
  return {line, column};
}

qsizetype TMemoryTextEditor::Offset(TTextPos pos) const {
  const TTextPos p = Clamp(pos);
  return FLineStarts[p.Line] + p.Column;
}

TTextPos TMemoryTextEditor::PosFromOffset(qsizetype offset) const {
  const auto it = std::upper_bound(FLineStarts.begin(), FLineStarts.end(), offset);
  const int line = static_cast<int>(it - FLineStarts.begin()) - 1;
  const qsizetype column = std::min(offset - FLineStarts[line], FLineLengths[line]);
  return {line, static_cast<int>(column)};
}

void TMemoryTextEditor::Reindex() {
  FLineStarts.assign(1, 0);
  FLineLengths.clear();
  const qsizetype n = FText.size();
  qsizetype start = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = FText[i];
    if (c != u'\r' && c != u'\n') continue;
    FLineLengths.push_back(i - start);
    if (c == u'\r' && i + 1 < n && FText[i + 1] == u'\n') ++i;
    start = i + 1;
    FLineStarts.push_back(start);
  }
  FLineLengths.push_back(n - start);
}

void TMemoryTextEditor::RecordUndo() {
  FRedo.clear();
  if (FUndoDepth > 0) {
    if (FUndoRecorded) return;
    FUndoRecorded = true;
  }
  FUndo.push_back({FText, FCaret});
}

}  // namespace pw::tests
