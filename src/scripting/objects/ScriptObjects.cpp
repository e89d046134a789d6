#include "scripting/objects/ScriptObjects.h"

#include <mutex>

#include "scripting/AutoObject.h"

namespace pw {

namespace {

QStringList& Names() {
  static QStringList names;
  return names;
}

[[maybe_unused]] void Add(const QString& name, TAutoFactory factory) {
  RegisterAutoObject(name, std::move(factory));
  Names() << name;
}

}  // namespace

void RegisterScriptObjects() {
  // The registry keeps the first factory of a name, so a second registration would be
  // harmless, but the list would grow with duplicates.
  static std::once_flag once;
  std::call_once(once, [] {
    // One line per creatable name, such as
    // Add(QStringLiteral("StringList"), &TStringListObject::Create);
  });
}

QStringList ScriptObjectNames() {
  RegisterScriptObjects();
  return Names();
}

}  // namespace pw
