#define PW_JSC_LIBRARY_DEFINITION
#include "scripting/JSLibrary.h"

#include "platform/SharedLibrary.h"

namespace pw::js {

TJSCFunctions gJSC;

namespace {

bool ResolveJavaScriptCore(const platform::TSharedLibrary& library, QString* error) {
#define PW_JSC_RESOLVE(name) \
  if (!library.Resolve(gJSC.name, #name, error)) return false;
  PW_JSC_FUNCTIONS(PW_JSC_RESOLVE)
#undef PW_JSC_RESOLVE
  return true;
}

}  // namespace

bool LoadJavaScriptCore(QString* error) {
  static platform::TSharedLibrary library("libjavascriptcoregtk-4.1.so.0", &ResolveJavaScriptCore);
  return library.Load(error);
}

}  // namespace pw::js
