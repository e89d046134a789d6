// TMarkupLexer: plugs the markup highlighter into QScintilla as a custom lexer. The highlighter
// keeps no state between lines, so styling restarts at the start of the first line Scintilla
// asks for and a keystroke re-lexes only the lines it touched.
// Owned by the editor it is set on; GUI thread only.
#pragma once

#include "markup/PagewickHighlighter.h"

#include <Qsci/qscilexercustom.h>

namespace pw::ui {

class TMarkupLexer : public QsciLexerCustom {
  Q_OBJECT

 public:
  explicit TMarkupLexer(QObject* parent = nullptr);

  const char* language() const override { return "Pagewick"; }
  QString description(int style) const override;
  QColor defaultColor(int style) const override;
  QFont defaultFont(int style) const override;
  void styleText(int start, int end) override;

  markup::TPagewickHighlighter& Highlighter() { return FHighlighter; }

 private:
  markup::TPagewickHighlighter FHighlighter;
  QFont FBaseFont;
};

}  // namespace pw::ui
