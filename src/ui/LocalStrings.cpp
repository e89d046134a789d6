#include "ui/LocalStrings.h"

#include "ui/Localization.h"
#include "ui/Localizer.h"

#include <QFile>
#include <QMetaProperty>
#include <QToolButton>

namespace pw::ui {
namespace {

// Qt's property names match without regard to case, as the table keys do.
QMetaProperty FindProperty(const QObject* object, QStringView name) {
  const QMetaObject* meta = object->metaObject();
  for (int i = 0; i < meta->propertyCount(); ++i) {
    const QMetaProperty property = meta->property(i);
    if (name.compare(QLatin1String(property.name()), Qt::CaseInsensitive) == 0) return property;
  }
  return {};
}

// A button showing an action takes its texts from the action, which has its own entries.
bool TakenFromAction(const QObject* object, const char* property) {
  const auto* button = qobject_cast<const QToolButton*>(object);
  if (!button || !button->defaultAction()) return false;
  const QByteArray name(property);
  return name == "text" || name == "toolTip" || name == "statusTip";
}

}  // namespace

TLocalStrings::TLocalStrings(QObject* owner)
    : QObject(owner), FLangId(TLocalization::Instance().LangId()) {
  setObjectName(QStringLiteral("LocalStrings"));
  if (owner) FSection = owner->objectName();
  TLocalization::Instance().Add(this);
}

TLocalStrings::~TLocalStrings() { TLocalization::Instance().Remove(this); }

bool TLocalStrings::Load(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
    return false;
  }
  SetData(QString::fromUtf8(file.readAll()).split(u'\n'));
  ApplyLanguage(TLocalization::Instance().LangId());
  return true;
}

void TLocalStrings::ApplyLanguage(int langId) {
  FLangId = langId;
  const QStringList lines = FTable.Section(QString::number(langId));
  for (const QString& line : lines) {
    QString key, value;
    TLocalTable::SplitLine(line, &key, &value);
    if (key.contains(u'.')) ApplyPropertyPath(parent(), key, value);
  }
  emit Localized();
}

QString TLocalStrings::GetString(const QString& key) const {
  bool found = false;
  QString value = FTable.Value(QString::number(FLangId), key, &found);
  if (!found)
    value = FTable.Value(QString::number(TLocalization::Instance().DefaultLangId()), key, &found);
  value.replace(QStringLiteral("\\r"), QStringLiteral("\n"));
  return value;
}

void TLocalStrings::ApplyPropertyPath(QObject* owner, const QString& path, const QString& value) {
  const qsizetype dot = path.indexOf(u'.');
  if (!owner || dot < 0) return;
  const QString name = path.left(dot);
  const QString rest = path.mid(dot + 1);
  QObject* target = owner->objectName() == name ? owner : owner->findChild<QObject*>(name);
  if (!target || name.isEmpty()) return;

  const qsizetype open = rest.indexOf(u'[');
  if (open < 0) {
    const QMetaProperty property = FindProperty(target, rest);
    if (property.isValid() && property.isWritable() && property.typeId() == QMetaType::QString)
      property.write(target, value);
    return;
  }
  const qsizetype close = rest.indexOf(u']', open);
  if (close < 0) return;
  bool ok = false;
  const int index = rest.mid(open + 1, close - open - 1).toInt(&ok);
  const QMetaProperty property = FindProperty(target, QStringView(rest).left(open));
  if (!ok || !property.isValid() || !property.isWritable() ||
      property.typeId() != QMetaType::QStringList)
    return;
  QStringList lines = property.read(target).toStringList();
  if (index < 0 || index >= lines.size()) return;
  lines[index] = value;
  property.write(target, lines);
}

void TLocalStrings::CollectProperties(const QObject* component, QStringList& list) {
  if (!component || qobject_cast<const TLocalStrings*>(component) ||
      qobject_cast<const TLocalizer*>(component))
    return;
  const QString name = component->objectName();
  if (!name.isEmpty()) {
    const QMetaObject* meta = component->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
      const QMetaProperty property = meta->property(i);
      // The object name is how paths find their target; translating it would break them.
      if (!property.isWritable() || !property.isStored() ||
          qstrcmp(property.name(), "objectName") == 0 || TakenFromAction(component, property.name()))
        continue;
      const QVariant value = property.read(component);
      if (property.typeId() == QMetaType::QString) {
        if (!value.toString().isEmpty())
          list.append(QStringLiteral("%1.%2=%3").arg(name, property.name(), value.toString()));
      } else if (property.typeId() == QMetaType::QStringList) {
        const QStringList lines = value.toStringList();
        for (qsizetype j = 0; j < lines.size(); ++j)
          if (!lines[j].isEmpty())
            list.append(QStringLiteral("%1.%2[%3]=%4").arg(name, property.name()).arg(j).arg(lines[j]));
      }
    }
  }
  for (const QObject* child : component->children()) CollectProperties(child, list);
}

bool TLocalStrings::IsUnlocalizable(const QString& path) const {
  return FUnlocalizableNames.contains(path, Qt::CaseInsensitive);
}

QStringList TLocalStrings::LocalizablePaths() const {
  QStringList live;
  CollectProperties(parent(), live);
  QStringList result;
  for (const QString& line : live) {
    QString key, value;
    TLocalTable::SplitLine(line, &key, &value);
    if (!IsUnlocalizable(key)) result.append(line);
  }
  return result;
}

QString TLocalStrings::Strings() const {
  const QString current = QString::number(FLangId);
  QStringList out{u'[' + current + u']'};
  QStringList listed;
  for (const QString& line : LocalizablePaths()) {
    QString key, value;
    TLocalTable::SplitLine(line, &key, &value);
    bool found = false;
    const QString stored = FTable.Value(current, key, &found);
    out.append(key + u'=' + (found ? stored : value));
    listed.append(key);
  }
  for (const QString& line : FTable.Section(current)) {
    QString key, value;
    TLocalTable::SplitLine(line, &key, &value);
    if (!listed.contains(key, Qt::CaseInsensitive)) out.append(line);
  }
  for (const QString& section : FTable.SectionNames()) {
    if (section.compare(current, Qt::CaseInsensitive) == 0) continue;
    out.append(QString());
    out.append(u'[' + section + u']');
    out.append(FTable.Section(section));
  }
  return out.join(u'\n');
}

void TLocalStrings::SetStrings(const QString& text) {
  const QStringList listed = LocalizablePaths();
  FTable.SetText(text.split(u'\n'));
  const QString current = QString::number(FLangId);
  if (!FTable.HasSection(current)) return;
  for (const QString& line : listed) {
    QString key, live;
    TLocalTable::SplitLine(line, &key, &live);
    bool found = false;
    const QString value = FTable.Value(current, key, &found);
    if (found) ApplyPropertyPath(parent(), key, value);
    else FUnlocalizableNames.append(key);
  }
}

}  // namespace pw::ui
