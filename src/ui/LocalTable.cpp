#include "ui/LocalTable.h"

namespace pw::ui {

void TLocalTable::SetText(const QStringList& lines) {
  FSections.clear();
  for (const QString& raw : lines) {
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(u';')) continue;
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      FSections.push_back({line.mid(1, line.size() - 2).trimmed(), {}});
    } else if (!FSections.empty()) {
      FSections.back().Lines.append(line);
    }
  }
}

QStringList TLocalTable::Text() const {
  QStringList lines;
  for (const TSection& section : FSections) {
    lines.append(u'[' + section.Name + u']');
    lines.append(section.Lines);
  }
  return lines;
}

QStringList TLocalTable::SectionNames() const {
  QStringList names;
  for (const TSection& section : FSections) names.append(section.Name);
  return names;
}

const TLocalTable::TSection* TLocalTable::Find(const QString& name) const {
  for (const TSection& section : FSections)
    if (section.Name.compare(name, Qt::CaseInsensitive) == 0) return &section;
  return nullptr;
}

bool TLocalTable::HasSection(const QString& name) const { return Find(name) != nullptr; }

QStringList TLocalTable::Section(const QString& name) const {
  const TSection* section = Find(name);
  return section ? section->Lines : QStringList();
}

void TLocalTable::SetSection(const QString& name, const QStringList& lines) {
  for (TSection& section : FSections) {
    if (section.Name.compare(name, Qt::CaseInsensitive) == 0) {
      section.Lines = lines;
      return;
    }
  }
  FSections.push_back({name, lines});
}

QString TLocalTable::Value(const QString& section, const QString& key, bool* found) const {
  if (found) *found = false;
  const TSection* s = Find(section);
  if (!s) return {};
  for (const QString& line : s->Lines) {
    QString k, v;
    SplitLine(line, &k, &v);
    if (k.compare(key, Qt::CaseInsensitive) == 0) {
      if (found) *found = true;
      return v;
    }
  }
  return {};
}

void TLocalTable::SplitLine(const QString& line, QString* key, QString* value) {
  const qsizetype eq = line.indexOf(u'=');
  *key = eq < 0 ? line : line.left(eq);
  *value = eq < 0 ? QString() : line.mid(eq + 1);
}

}  // namespace pw::ui
