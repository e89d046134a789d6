#include "ui/Localizer.h"

#include "ui/LocalStrings.h"
#include "ui/LocalTable.h"
#include "ui/Localization.h"

namespace pw::ui {

TLocalizer::TLocalizer(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("Localizer"));
}

int TLocalizer::LangId() const { return TLocalization::Instance().LangId(); }

void TLocalizer::SetLangId(int langId) {
  TLocalization& localization = TLocalization::Instance();
  localization.SetLangId(langId);
  // A copy: applying a language may create or destroy nothing today, but must not trip over it.
  const std::vector<TLocalStrings*> tables = localization.Tables();
  for (TLocalStrings* table : tables) table->ApplyLanguage(langId);
}

int TLocalizer::DefaultLangId() const { return TLocalization::Instance().DefaultLangId(); }

void TLocalizer::SetDefaultLangId(int langId) {
  TLocalization::Instance().SetDefaultLangId(langId);
}

QString TLocalizer::Strings() const {
  const QString current = QString::number(LangId());
  QStringList out;
  for (TLocalStrings* table : TLocalization::Instance().Tables()) {
    const QStringList lines = table->Table().Section(current);
    if (table->Section().isEmpty() || lines.isEmpty()) continue;
    if (!out.isEmpty()) out.append(QString());
    out.append(u'[' + table->Section() + u']');
    out.append(lines);
  }
  return out.join(u'\n');
}

void TLocalizer::SetStrings(const QString& text) {
  TLocalTable imported;
  imported.SetText(text.split(u'\n'));
  const QString current = QString::number(LangId());
  for (const QString& section : imported.SectionNames()) {
    for (TLocalStrings* table : TLocalization::Instance().Tables())
      if (table->Section() == section) table->Table().SetSection(current, imported.Section(section));
  }
}

}  // namespace pw::ui
