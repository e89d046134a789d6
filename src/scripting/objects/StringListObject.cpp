#include "scripting/objects/StringListObject.h"

#include <algorithm>
#include <string>

#include "platform/Charsets.h"
#include "platform/CodePage.h"
#include "platform/FileIO.h"

namespace pw {

PW_AUTO_MEMBERS(TStringListObject,
    AutoMethod(1, "Load", &TStringListObject::Load),
    AutoMethod(2, "Save", &TStringListObject::Save),
    AutoMethod(3, "Add", &TStringListObject::Add),
    AutoMethod(4, "RemoveAt", &TStringListObject::RemoveAt),
    AutoMethod(5, "Sort", &TStringListObject::Sort),
    AutoGetter(6, "Length", &TStringListObject::Length),
    AutoProperty(DISPID_VALUE, "Line", &TStringListObject::Line, &TStringListObject::SetLine),
    AutoProperty(7, "Text", &TStringListObject::Text, &TStringListObject::SetText))

namespace {

using TLock = std::lock_guard<std::mutex>;

QString JoinLines(const QStringList& lines) {
  QString text;
  for (const QString& line : lines) {
    text += line;
    text += QLatin1String("\r\n");
  }
  return text;
}

}  // namespace

QStringList SplitLines(const QString& text) {
  QStringList lines;
  qsizetype start = 0;
  const qsizetype length = text.size();
  for (qsizetype i = 0; i < length; ++i) {
    const QChar c = text[i];
    if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) continue;
    lines << text.mid(start, i - start);
    if (c == QLatin1Char('\r') && i + 1 < length && text[i + 1] == QLatin1Char('\n')) ++i;
    start = i + 1;
  }
  if (start < length) lines << text.mid(start);
  return lines;
}

int TStringListObject::CheckedIndex(std::int32_t index) const {
  if (index < 0 || index >= FLines.size()) {
    throw EAutoObjectError(FLines.isEmpty()
                               ? QStringLiteral("Line %1 is out of range: the list is empty").arg(index)
                               : QStringLiteral("Line %1 is out of range 0..%2")
                                     .arg(index)
                                     .arg(FLines.size() - 1));
  }
  return index;
}

bool TStringListObject::Load(const QString& file, const QString& charset) {
  std::string bytes;
  if (!platform::ReadWholeFile(file, bytes)) return false;
  QString text = platform::BytesToText(bytes, CharsetToCodePage(charset.toStdString()));
  // A byte-order mark is no part of the first line.
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  QStringList lines = SplitLines(text);
  TLock lock(FMutex);
  FLines = std::move(lines);
  return true;
}

bool TStringListObject::Save(const QString& file, const QString& charset) {
  const QString text = Text();
  return platform::WriteWholeFile(file,
                                  platform::TextToBytes(text, CharsetToCodePage(charset.toStdString())));
}

std::int32_t TStringListObject::Add(const QString& text) {
  TLock lock(FMutex);
  FLines << text;
  return static_cast<std::int32_t>(FLines.size());
}

std::int32_t TStringListObject::RemoveAt(std::int32_t index) {
  TLock lock(FMutex);
  FLines.removeAt(CheckedIndex(index));
  return static_cast<std::int32_t>(FLines.size());
}

void TStringListObject::Sort(bool unique) {
  TLock lock(FMutex);
  // Lines that differ only in letter case are ordered among themselves too, so that equal
  // lines always end up next to each other and unique can drop every duplicate.
  std::stable_sort(FLines.begin(), FLines.end(), [](const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a.compare(b, Qt::CaseSensitive) < 0;
  });
  if (!unique) return;
  for (qsizetype i = FLines.size() - 2; i >= 0; --i) {
    if (FLines[i] == FLines[i + 1]) FLines.removeAt(i);
  }
}

std::int32_t TStringListObject::Length() {
  TLock lock(FMutex);
  return static_cast<std::int32_t>(FLines.size());
}

QString TStringListObject::Line(std::int32_t index) {
  TLock lock(FMutex);
  return FLines[CheckedIndex(index)];
}

void TStringListObject::SetLine(std::int32_t index, const QString& text) {
  TLock lock(FMutex);
  FLines[CheckedIndex(index)] = text;
}

QString TStringListObject::Text() {
  TLock lock(FMutex);
  return JoinLines(FLines);
}

void TStringListObject::SetText(const QString& text) {
  QStringList lines = SplitLines(text);
  TLock lock(FMutex);
  FLines = std::move(lines);
}

QStringList TStringListObject::Lines() {
  TLock lock(FMutex);
  return FLines;
}

}  // namespace pw
