#define PW_JSC_LIBRARY_DEFINITION
#include "scripting/JSLibrary.h"

namespace pw::js {

TJSCFunctions gJSC;

namespace {

bool ResolveJavaScriptCore(const platform::TSharedLibrary& library, QString* error) {
  TJSCFunctions& table = gJSC;
  PW_JSC_FUNCTIONS(PW_LIBRARY_RESOLVE)
  return true;
}

}  // namespace

bool LoadJavaScriptCore(QString* error) {
  static platform::TSharedLibrary library("libjavascriptcoregtk-4.1.so.0", &ResolveJavaScriptCore);
  return library.Load(error);
}

}  // namespace pw::js
