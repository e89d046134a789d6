// TLocalizer: the central module's handle on TLocalization. It stores nothing: setting LangId
// applies the language to every live table; Strings exports or imports one language for the
// whole application, one INI section per table named by the table's Section.
// Owned by the central module; GUI thread only.
#pragma once

#include <QObject>
#include <QString>

namespace pw::ui {

class TLocalizer : public QObject {
  Q_OBJECT
  Q_PROPERTY(int LangId READ LangId WRITE SetLangId)
  Q_PROPERTY(int DefaultLangId READ DefaultLangId WRITE SetDefaultLangId)

 public:
  explicit TLocalizer(QObject* parent = nullptr);

  int LangId() const;
  void SetLangId(int langId);
  int DefaultLangId() const;
  void SetDefaultLangId(int langId);

  QString Strings() const;
  // Replaces, in every table whose Section equals an imported section name, the section of the
  // current language. Nothing is re-applied until the language is set again.
  void SetStrings(const QString& text);
};

}  // namespace pw::ui
