#define PW_JSC_LIBRARY_DEFINITION
#include "scripting/JSLibrary.h"

namespace pw::js {

PW_DEFINE_LIBRARY_TABLE(TJSCFunctions, gJSC, LoadJavaScriptCore, PW_JSC_FUNCTIONS, "libjavascriptcoregtk-4.1.so.0",
                        (void)0)

}  // namespace pw::js
