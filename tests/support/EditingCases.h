// The markup editing commands' cases, shared by the tests that run them through the in-memory
// editor and through the desktop editor, so both editors must give the same markup.
#pragma once

#include "core/Module.h"
#include "support/MemoryHost.h"
#include "support/QStringPrinter.h"

#include <gtest/gtest.h>

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace pw::tests {

struct TEditingCase {
  const char* Name;
  void (TModule::*Command)();
  QString Text;
  TTextPos Anchor;
  TTextPos Caret;
  QString Expected;
  // The selection afterwards (start, end), when the command sets one.
  std::optional<std::pair<TTextPos, TTextPos>> Selection = std::nullopt;
};

inline std::vector<TEditingCase> EditingCases() {
  using M = TModule;
  return {
      {"header 2 raises level 1", &M::CmHeader2, "= Intro", {0, 0}, {0, 0}, "== Intro"},
      {"header 2 removes its own", &M::CmHeader2, "== Intro", {0, 3}, {0, 3}, "Intro"},
      {"header 2 on plain text", &M::CmHeader2, "Intro", {0, 2}, {0, 2}, "== Intro"},
      {"header 1 lowers level 3", &M::CmHeader1, "=== Notes", {0, 0}, {0, 0}, "= Notes"},
      {"header 2 lowers level 3", &M::CmHeader2, "=== Notes", {0, 0}, {0, 0}, "== Notes"},
      {"header 3 raises level 1", &M::CmHeader3, "= a", {0, 0}, {0, 0}, "=== a"},
      {"header 3 removes its own", &M::CmHeader3, "=== a", {0, 0}, {0, 0}, "a"},
      {"header 1 on an empty line", &M::CmHeader1, "", {0, 0}, {0, 0}, "= "},
      {"header on the caret's line only", &M::CmHeader1, "a\n= b\nc", {1, 1}, {1, 1}, "a\nb\nc"},
      {"header without its blank is none", &M::CmHeader1, "==x", {0, 0}, {0, 0}, "= ==x"},
      {"unordered list switches and removes", &M::CmUnorderedList, "a\n# b\n* c", {0, 0}, {2, 3},
       "* a\n* b\nc"},
      {"ordered list stops before a line selected at its start", &M::CmOrderedList,
       "a\nb\nc\nd", {0, 0}, {3, 0}, "# a\n# b\n# c\nd"},
      {"a backward selection covers the same lines", &M::CmOrderedList, "a\nb\nc", {2, 0}, {0, 1},
       "# a\n# b\nc"},
      {"a list on the caret's line", &M::CmUnorderedList, "x\ny", {1, 1}, {1, 1}, "x\n* y"},
      {"selection at a line start takes that line alone", &M::CmUnorderedList, "x\ny", {1, 0},
       {1, 0}, "x\n* y"},
      {"preformatted replaces two spaces", &M::CmPreformatted, "  indented", {0, 0}, {0, 0},
       "> indented"},
      {"preformatted removes its own", &M::CmPreformatted, "> code", {0, 0}, {0, 0}, "code"},
      {"preformatted on a single space", &M::CmPreformatted, " x", {0, 0}, {0, 0}, ">  x"},
      {"bold without a selection does nothing", &M::CmBold, "word", {0, 2}, {0, 2}, "word"},
      {"bold", &M::CmBold, "x word y", {0, 2}, {0, 6}, "x _[word] y"},
      {"italic", &M::CmItalic, "x word y", {0, 6}, {0, 2}, "x __[word] y"},
      {"bold italic over two lines", &M::CmBoldItalic, "ab\ncd", {0, 1}, {1, 1}, "a___[b\nc]d"},
      {"link around the selection", &M::CmInsertLink, "see docs", {0, 4}, {0, 8}, "see *[docs]",
       std::pair{TTextPos{0, 6}, TTextPos{0, 6}}},
      {"link with default texts", &M::CmInsertLink, "ab", {0, 1}, {0, 1},
       "a*[http:// More info...]b", std::pair{TTextPos{0, 3}, TTextPos{0, 10}}},
  };
}

inline void PrintTo(const TTextPos& pos, std::ostream* out) { *out << pos.Line << ':' << pos.Column; }

// Runs every case on a fresh TEditor: the markup, the selection afterwards, and one undo step
// that restores the text.
template <class TEditor>
void ExpectEditingCases() {
  for (const TEditingCase& c : EditingCases()) {
    SCOPED_TRACE(c.Name);
    TEditor editor;
    TMemoryHost host;
    TModule module(editor, host);
    editor.SetText(c.Text);  // after the module, which starts with an empty project
    editor.SetSelection(c.Anchor, c.Caret);
    (module.*c.Command)();
    EXPECT_EQ(editor.Text(), c.Expected);
    if (c.Selection) {
      EXPECT_EQ(editor.SelectionStart(), c.Selection->first);
      EXPECT_EQ(editor.SelectionEnd(), c.Selection->second);
    }
    if (c.Expected != c.Text) {
      editor.Undo();
      EXPECT_EQ(editor.Text(), c.Text);
      EXPECT_FALSE(editor.CanUndo());
    }
  }
}

}  // namespace pw::tests
