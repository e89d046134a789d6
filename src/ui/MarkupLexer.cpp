#include "ui/MarkupLexer.h"

#include <Qsci/qsciscintilla.h>

#include <algorithm>

namespace pw::ui {

TMarkupLexer::TMarkupLexer(QObject* parent) : QsciLexerCustom(parent) {
  FBaseFont = QFont(QStringLiteral("Monospace"));
  FBaseFont.setStyleHint(QFont::TypeWriter);
  FBaseFont.setPointSize(10);  // QScintilla sizes styles in points
  FHighlighter.OnAttributeChange = [this] {
    for (int kind = 0; kind < markup::TokenKindCount; ++kind) {
      setColor(defaultColor(StyleOf(kind)), StyleOf(kind));
      setFont(defaultFont(StyleOf(kind)), StyleOf(kind));
    }
    emit propertyChanged("style", "");
  };
}

QString TMarkupLexer::description(int style) const {
  // Only described styles are set up by QScintilla; the hidden one keeps its own settings.
  if (style <= HiddenStyle || style > markup::TokenKindCount) return {};
  return QString::fromLatin1(FHighlighter.Attribute(style - 1).Name);
}

QColor TMarkupLexer::defaultColor(int style) const {
  return QColor::fromRgb(FHighlighter.Attribute(style - 1).Foreground);
}

QFont TMarkupLexer::defaultFont(int style) const {
  QFont font = FBaseFont;
  font.setBold(FHighlighter.Attribute(style - 1).Bold);
  font.setItalic(FHighlighter.Attribute(style - 1).Italic);
  return font;
}

void TMarkupLexer::setEditor(QsciScintilla* sci) {
  QsciLexerCustom::setEditor(sci);
  if (!sci) return;
  sci->SendScintilla(QsciScintilla::SCI_STYLESETVISIBLE, HiddenStyle, 0L);
  connect(sci, &QsciScintilla::cursorPositionChanged, this, [this] {
    // Restyling from inside Scintilla's own notification is not safe: later.
    if (FFollowPending) return;
    FFollowPending = true;
    QMetaObject::invokeMethod(this, &TMarkupLexer::FollowCaret, Qt::QueuedConnection);
  });
}

std::pair<qsizetype, qsizetype> TMarkupLexer::ShownPart(long line, long lineStart, qsizetype length) {
  if (length <= LongLineBytes) return {0, length};
  QsciScintilla* sci = editor();
  const long caret = sci->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
  const long caretLine = sci->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, caret);
  qsizetype from = 0;
  if (line == FShownLine) {
    from = std::min(FShownFrom, length);
  } else if (line == caretLine) {
    from = std::max<qsizetype>(0, caret - lineStart - ShownBytes / 2);
  }
  from = std::min<qsizetype>(from, length - ShownBytes);
  return {from, from + ShownBytes};
}

void TMarkupLexer::FollowCaret() {
  FFollowPending = false;
  QsciScintilla* sci = editor();
  if (!sci) return;
  const long caret = sci->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
  const long line = sci->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, caret);
  const long lineStart = sci->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line);
  const long lineEnd = sci->SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION, line);
  if (lineEnd - lineStart <= LongLineBytes) return;
  const qsizetype offset = caret - lineStart;
  const auto [from, to] = ShownPart(line, lineStart, lineEnd - lineStart);
  // A margin keeps the caret from sitting at the very edge of what is shown.
  const qsizetype margin = ShownBytes / 10;
  if (line == FShownLine && (offset >= from + margin || from == 0) &&
      (offset <= to - margin || to >= lineEnd - lineStart))
    return;
  FShownLine = line;
  FShownFrom = std::max<qsizetype>(0, offset - ShownBytes / 2);
  sci->SendScintilla(QsciScintilla::SCI_COLOURISE, lineStart, lineEnd);
}

void TMarkupLexer::styleText(int start, int end) {
  QsciScintilla* sci = editor();
  if (!sci || end <= start) return;
  // Line kinds depend on the first column: always start from the line's start.
  long line = sci->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, start);
  start = static_cast<int>(sci->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line));
  const QByteArray text = sci->bytes(start, end);
  const qsizetype size = std::min<qsizetype>(text.size(), end - start);
  startStyling(start);

  // Adjacent bytes of one style are given in one styling call; bytes outside the shown part of
  // their line are hidden.
  qsizetype at = 0;  // the next byte to style
  qsizetype shownFrom = 0;
  qsizetype shownTo = size;
  int runStyle = -1;
  qsizetype runLength = 0;
  const auto emitStyle = [&](int shownStyle, qsizetype length) {
    while (length > 0) {
      int style = shownStyle;
      qsizetype piece = length;
      if (at < shownFrom) {
        style = HiddenStyle;
        piece = std::min(length, shownFrom - at);
      } else if (at >= shownTo) {
        style = HiddenStyle;
      } else {
        piece = std::min(length, shownTo - at);
      }
      if (style != runStyle && runLength > 0) {
        setStyling(static_cast<int>(runLength), runStyle);
        runLength = 0;
      }
      runStyle = style;
      runLength += piece;
      at += piece;
      length -= piece;
    }
  };

  qsizetype pos = 0;
  while (pos < size) {
    const char* begin = text.constData() + pos;
    const void* brk = std::find_if(begin, text.constData() + size,
                                   [](char c) { return c == '\n' || c == '\r'; });
    const qsizetype eol = static_cast<const char*>(brk) - text.constData();
    const long lineLength = sci->SendScintilla(QsciScintilla::SCI_LINELENGTH, line);
    auto [from, to] = ShownPart(line, start + static_cast<long>(pos), lineLength);
    // Never split a UTF-8 sequence: Scintilla styles whole characters.
    while (from > 0 && pos + from < size && (text[pos + from] & 0xC0) == 0x80) --from;
    while (pos + to < size && to < eol - pos && (text[pos + to] & 0xC0) == 0x80) ++to;
    shownFrom = pos + from;
    shownTo = pos + to;
    if (from > 0 || to < eol - pos) emit LongLineClipped(static_cast<int>(line));
    FHighlighter.SetLine(std::string_view(begin, eol - pos));
    while (!FHighlighter.GetEol()) {
      FHighlighter.Next();
      emitStyle(StyleOf(FHighlighter.GetTokenKind()), FHighlighter.GetTokenLength());
    }
    qsizetype next = eol;
    if (next < size && text[next] == '\r') ++next;
    if (next < size && text[next] == '\n') ++next;
    shownFrom = 0;
    shownTo = size;
    emitStyle(StyleOf(0), next - eol);
    pos = next;
    ++line;
  }
  if (runLength > 0) setStyling(static_cast<int>(runLength), runStyle);
}

}  // namespace pw::ui
