// TLocalTable: the in-memory INI text of one localization table: sections named by language
// identifiers, each a list of "key=value" lines. Section and key names compare without regard
// to case; the first section of a name and the first occurrence of a key in it win.
// Owned by its TLocalStrings; not thread-safe.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace pw::ui {

class TLocalTable {
 public:
  // Replaces the whole table. Lines are trimmed; empty lines and ";" comments are skipped, as
  // are lines before the first section.
  void SetText(const QStringList& lines);
  // The table as lines: every section, its "[name]" line, then its lines.
  QStringList Text() const;

  QStringList SectionNames() const;
  bool HasSection(const QString& name) const;
  // The "key=value" lines of a section (empty when there is none).
  QStringList Section(const QString& name) const;
  // Replaces the lines of a section, adding it at the end when it does not exist.
  void SetSection(const QString& name, const QStringList& lines);
  // The value of key in section; found tells whether the section holds the key.
  QString Value(const QString& section, const QString& key, bool* found = nullptr) const;

  // Splits "key=value" at the first "="; a line without "=" is a key with an empty value.
  static void SplitLine(const QString& line, QString* key, QString* value);

 private:
  struct TSection {
    QString Name;
    QStringList Lines;
  };
  const TSection* Find(const QString& name) const;

  std::vector<TSection> FSections;
};

}  // namespace pw::ui
