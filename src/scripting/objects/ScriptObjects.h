// The one list of script object classes that scripts create by name (CreateObject, new
// ActiveXObject): RegisterScriptObjects puts each name and its factory into the object registry
// (AutoObject.h). A new creatable class adds one line to its body.
// Thread-safe; only the first call registers, so every host may call it before its first script.
#pragma once

#include <QStringList>

namespace pw {

void RegisterScriptObjects();

// The names RegisterScriptObjects registers, in order (registering them first if need be).
// The registry may hold other names too, registered elsewhere.
QStringList ScriptObjectNames();

}  // namespace pw
