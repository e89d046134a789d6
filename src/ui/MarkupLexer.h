// TMarkupLexer: plugs the markup highlighter into QScintilla as a custom lexer. The highlighter
// keeps no state between lines, so styling restarts at the start of the first line Scintilla
// asks for and a keystroke re-lexes only the lines it touched.
//
// Scintilla measures every character of a line whenever it lays the line out, so one line of
// megabytes would freeze the window for seconds at each repaint and keystroke. Of a line longer
// than LongLineBytes only a window of ShownBytes around the caret is shown; the rest carries the
// hidden style, which Scintilla neither measures nor draws. The text itself is untouched, and
// the window follows the caret. The hidden style is style 0, the one text has before any
// styling, so that Scintilla does not measure a long line either while it is being loaded and
// not yet styled. A token kind k is drawn in style k + 1.
//
// Owned by the editor it is set on; GUI thread only.
#pragma once

#include "markup/PagewickHighlighter.h"

#include <Qsci/qscilexercustom.h>

namespace pw::ui {

class TMarkupLexer : public QsciLexerCustom {
  Q_OBJECT

 public:
  static constexpr int LongLineBytes = 100'000;
  static constexpr int ShownBytes = 100'000;
  static constexpr int HiddenStyle = 0;
  static constexpr int StyleOf(int tokenKind) { return tokenKind + 1; }

  explicit TMarkupLexer(QObject* parent = nullptr);

  const char* language() const override { return "Pagewick"; }
  QString description(int style) const override;
  QColor defaultColor(int style) const override;
  QFont defaultFont(int style) const override;
  void styleText(int start, int end) override;
  void setEditor(QsciScintilla* editor) override;

  markup::TPagewickHighlighter& Highlighter() { return FHighlighter; }

 signals:
  // A line (0-based) longer than LongLineBytes was styled with only a part of it shown; raised
  // at every styling of such a line.
  void LongLineClipped(int line);

 private:
  // The shown part [from, to) of a long line, as byte offsets in the line.
  std::pair<qsizetype, qsizetype> ShownPart(long line, long lineStart, qsizetype length);
  // Moves the shown part of the caret's line to the caret when it has left it.
  void FollowCaret();

  markup::TPagewickHighlighter FHighlighter;
  QFont FBaseFont;
  // The long line whose shown part was moved to the caret, and where that part starts.
  long FShownLine = -1;
  qsizetype FShownFrom = 0;
  bool FFollowPending = false;
};

}  // namespace pw::ui
