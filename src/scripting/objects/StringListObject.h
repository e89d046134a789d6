// TStringListObject ("StringList", "Strings"): a list of text lines for scripts, whose searches
// and sorting ignore letter case, read from and written to files in any charset of the charset
// table. Reference-counted like every script object; the lines are guarded by a mutex, so a
// list handed to a script thread may be used from both sides.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <mutex>

#include "scripting/AutoObject.h"

namespace pw {

class TStringListObject : public TCustomAutoObject {
  PW_AUTO_CLASS(TStringListObject, TCustomAutoObject)

 public:
  TStringListObject() = default;

  // Replaces the lines by the file's text decoded in the charset (unknown or empty: the system
  // code page); false, with the lines unchanged, when the file cannot be read.
  bool Load(const QString& file, const QString& charset);
  // Writes every line followed by CR LF, encoded in the charset, creating missing folders;
  // false when the file cannot be written.
  bool Save(const QString& file, const QString& charset);
  // Both return the new number of lines.
  std::int32_t Add(const QString& text);
  std::int32_t RemoveAt(std::int32_t index);
  // Sorts ignoring case; with unique, drops every line equal (case-sensitively) to another.
  void Sort(bool unique);
  std::int32_t Length();
  QString Line(std::int32_t index);
  void SetLine(std::int32_t index, const QString& text);
  // The lines, each followed by CR LF; assignment splits at CR LF, CR or LF.
  QString Text();
  void SetText(const QString& text);

  QStringList Lines();

 protected:
  ~TStringListObject() override = default;

 private:
  // The position as an index of the lines, or a script error. With the lock held.
  int CheckedIndex(std::int32_t index) const;

  std::mutex FMutex;
  QStringList FLines;
};

// Splits text into lines at CR LF, CR or LF; a break at the very end starts no further line.
QStringList SplitLines(const QString& text);

}  // namespace pw
