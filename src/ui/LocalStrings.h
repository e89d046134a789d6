// TLocalStrings: the table of localized texts of one window or of the central module. It holds,
// per language section, property paths ("Component.property=text", a string-list line as
// "Component.property[2]=text") written into the owner's objects when a language is applied,
// and message keys looked up by code. Property names are those of Qt's meta-object system and
// match without regard to case; component names are object names.
//
// A child of its owner (the window); registers itself with TLocalization while it lives.
// GUI thread only.
#pragma once

#include "ui/LocalTable.h"

#include <QObject>
#include <QStringList>

namespace pw::ui {

class TLocalStrings : public QObject {
  Q_OBJECT

 public:
  // Section defaults to the owner's object name; the language is the current one.
  explicit TLocalStrings(QObject* owner);
  ~TLocalStrings() override;

  // Loads the table text from a UTF-8 file (a compiled-in resource) and applies the current
  // language to the owner.
  bool Load(const QString& path, QString* error);

  QString Section() const { return FSection; }
  void SetSection(const QString& section) { FSection = section; }
  int LangId() const { return FLangId; }
  void SetLangId(int langId) { ApplyLanguage(langId); }
  QStringList UnlocalizableNames() const { return FUnlocalizableNames; }
  void SetUnlocalizableNames(const QStringList& names) { FUnlocalizableNames = names; }

  QStringList Data() const { return FTable.Text(); }
  void SetData(const QStringList& lines) { FTable.SetText(lines); }
  // Direct access for the application-wide export and import.
  TLocalTable& Table() { return FTable; }

  // Writes the property paths of a language's section into the owner's objects.
  void ApplyLanguage(int langId);
  // The text of a message key in the current language, else in the default language, else
  // empty; a backslash followed by "r" becomes a line feed.
  QString GetString(const QString& key) const;

  // For editing tables: the current language's section listing every localizable property of
  // the owner and its descendants (table values override live ones, other keys follow), then
  // every other section. Setting it replaces the table and applies the current section.
  QString Strings() const;
  void SetStrings(const QString& text);

  // Sets one property path on owner or on the descendant of that object name. Anything that
  // does not fit (no such object or property, wrong type, index out of range) is skipped.
  static void ApplyPropertyPath(QObject* owner, const QString& path, const QString& value);
  // Adds "Name.property=value" for every non-empty writable string property of component and
  // "Name.property[i]=line" for every non-empty line of a string-list property, then recurses
  // into its children. Unnamed objects are not listed, but their children are: Qt nests
  // widgets in unnamed containers.
  static void CollectProperties(const QObject* component, QStringList& list);

 signals:
  // Raised after a language has been applied.
  void Localized();

 private:
  QStringList LocalizablePaths() const;
  bool IsUnlocalizable(const QString& path) const;

  QString FSection;
  int FLangId;
  QStringList FUnlocalizableNames;
  TLocalTable FTable;
};

}  // namespace pw::ui
