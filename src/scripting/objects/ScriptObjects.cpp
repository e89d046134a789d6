#include "scripting/objects/ScriptObjects.h"

#include <mutex>

#include "scripting/AutoObject.h"
#include "scripting/objects/ByteArrayObject.h"
#include "scripting/objects/DictionaryObject.h"
#include "scripting/objects/FeedObject.h"
#include "scripting/objects/GooglePRObject.h"
#include "scripting/objects/HttpObject.h"
#include "scripting/objects/WhoIsObject.h"
#include "scripting/objects/XmlObject.h"
#include "scripting/objects/StringListObject.h"
#include "scripting/objects/FileListObject.h"
#include "scripting/objects/SecurityObject.h"

namespace pw {

namespace {

QStringList& Names() {
  static QStringList names;
  return names;
}

void Add(const QString& name, TAutoFactory factory) {
  RegisterAutoObject(name, std::move(factory));
  Names() << name;
}

// The factory of a class that needs nothing from the runtime.
template <class T>
ComPtr<IDispatch> Make(TScriptRuntime*) {
  return ComPtr<IDispatch>(MakeAutoObject<T>());
}

}  // namespace

void RegisterScriptObjects() {
  // The registry keeps the first factory of a name, so a second registration would be
  // harmless, but the list would grow with duplicates.
  static std::once_flag once;
  std::call_once(once, [] {
    Add(QStringLiteral("StringList"), &Make<TStringListObject>);
    Add(QStringLiteral("Strings"), &Make<TStringListObject>);
    Add(QStringLiteral("Bytes"), &Make<TByteArrayObject>);
    Add(QStringLiteral("Dictionary"), &Make<TDictionaryObject>);
    Add(QStringLiteral("FileList"), &Make<TFileListObject>);
    Add(QStringLiteral("Security"), &Make<TSecurityObject>);
    // Internet objects.
    Add(QStringLiteral("Inet.HTTP"), &Make<THTTPObject>);
    Add(QStringLiteral("Inet.WhoIs"), &Make<TWhoIsObject>);
    Add(QStringLiteral("Inet.GooglePR"), &Make<TGooglePRObject>);
    Add(QStringLiteral("XML"), &Make<TXMLObject>);
    Add(QStringLiteral("Feed"), &Make<TFeedObject>);
  });
}

QStringList ScriptObjectNames() {
  RegisterScriptObjects();
  return Names();
}

}  // namespace pw
