#include "ui/MarkupLexer.h"

#include <Qsci/qsciscintilla.h>

namespace pw::ui {

TMarkupLexer::TMarkupLexer(QObject* parent) : QsciLexerCustom(parent) {
  FBaseFont = QFont(QStringLiteral("Monospace"));
  FBaseFont.setStyleHint(QFont::TypeWriter);
  FBaseFont.setPointSize(10);  // QScintilla sizes styles in points
  FHighlighter.OnAttributeChange = [this] {
    for (int kind = 0; kind < markup::TokenKindCount; ++kind) {
      setColor(defaultColor(kind), kind);
      setFont(defaultFont(kind), kind);
    }
    emit propertyChanged("style", "");
  };
}

QString TMarkupLexer::description(int style) const {
  if (style < 0 || style >= markup::TokenKindCount) return {};
  return QString::fromLatin1(FHighlighter.Attribute(style).Name);
}

QColor TMarkupLexer::defaultColor(int style) const {
  return QColor::fromRgb(FHighlighter.Attribute(style).Foreground);
}

QFont TMarkupLexer::defaultFont(int style) const {
  QFont font = FBaseFont;
  font.setBold(FHighlighter.Attribute(style).Bold);
  font.setItalic(FHighlighter.Attribute(style).Italic);
  return font;
}

void TMarkupLexer::styleText(int start, int end) {
  QsciScintilla* sci = editor();
  if (!sci || end <= start) return;
  // Line kinds depend on the first column: always start from the line's start.
  const long line = sci->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, start);
  start = static_cast<int>(sci->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line));
  const QByteArray text = sci->bytes(start, end);
  const qsizetype size = std::min<qsizetype>(text.size(), end - start);
  startStyling(start);
  qsizetype pos = 0;
  while (pos < size) {
    qsizetype eol = pos;
    while (eol < size && text[eol] != '\n' && text[eol] != '\r') ++eol;
    FHighlighter.SetLine(std::string_view(text.constData() + pos, eol - pos));
    int runKind = -1;
    int runLength = 0;
    while (!FHighlighter.GetEol()) {
      FHighlighter.Next();
      const int length = FHighlighter.GetTokenLength();
      if (length == 0) continue;
      // Adjacent tokens of one kind look the same: one styling call for the run.
      if (FHighlighter.GetTokenKind() != runKind && runLength > 0) {
        setStyling(runLength, runKind);
        runLength = 0;
      }
      runKind = FHighlighter.GetTokenKind();
      runLength += length;
    }
    if (runLength > 0) setStyling(runLength, runKind);
    qsizetype next = eol;
    if (next < size && text[next] == '\r') ++next;
    if (next < size && text[next] == '\n') ++next;
    if (next > eol) setStyling(static_cast<int>(next - eol), 0);
    pos = next;
  }
}

}  // namespace pw::ui
