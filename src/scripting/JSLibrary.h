// JavaScriptCore, opened on first use (see platform/SharedLibrary.h): the functions the script
// engine calls, as slots of one process-wide table. The engine's files include this instead of
// <JavaScriptCore/JavaScript.h>; after it, every call of these functions goes through the
// table. Engine::Create loads it, and nothing here runs without an engine. The slots are
// written once, inside LoadJavaScriptCore, and only read afterwards: safe from any thread that
// has seen it succeed.
#pragma once

#include <QString>

#include <JavaScriptCore/JavaScript.h>

#include "platform/SharedLibrary.h"

// The watchdog of JavaScriptCore: exported by the library, missing from its public headers.
// The callback runs on the script's thread once the limit has passed; true ends the script.
extern "C" {
typedef bool (*JSShouldTerminateCallback)(JSContextRef, void*);
void JSContextGroupSetExecutionTimeLimit(JSContextGroupRef, double limit,
                                         JSShouldTerminateCallback, void* context);
void JSContextGroupClearExecutionTimeLimit(JSContextGroupRef);

// A weak reference: it does not keep its object alive, and reads as null once the collector
// has taken the object. Exported by the library, missing from its public headers.
typedef const struct OpaqueJSWeak* JSWeakRef;
JSWeakRef JSWeakCreate(JSContextGroupRef group, JSObjectRef object);
void JSWeakRelease(JSContextGroupRef group, JSWeakRef weak);
JSObjectRef JSWeakGetObject(JSWeakRef weak);

// Sets one of the engine's options; only takes effect before the first virtual machine is made.
// From the library's GLib interface (gboolean is int); its header would bring GLib into Qt code.
int jsc_options_set_boolean(const char* option, int value);
}

#define PW_JSC_FUNCTIONS(X) \
  X(JSBigIntCreateWithInt64)                \
  X(JSCheckScriptSyntax)                    \
  X(JSClassCreate)                          \
  X(JSContextGetGlobalObject)               \
  X(JSContextGroupClearExecutionTimeLimit)  \
  X(JSContextGroupCreate)                   \
  X(JSContextGroupRelease)                  \
  X(JSContextGroupSetExecutionTimeLimit)    \
  X(JSEvaluateScript)                       \
  X(JSGlobalContextCreateInGroup)           \
  X(JSGlobalContextRelease)                 \
  X(JSObjectCallAsFunction)                 \
  X(JSObjectCopyPropertyNames)              \
  X(JSObjectDeleteProperty)                 \
  X(JSObjectGetArrayBufferByteLength)       \
  X(JSObjectGetArrayBufferBytesPtr)         \
  X(JSObjectGetPrivate)                     \
  X(JSObjectGetProperty)                    \
  X(JSObjectGetPropertyAtIndex)             \
  X(JSObjectGetTypedArrayByteLength)        \
  X(JSObjectGetTypedArrayByteOffset)        \
  X(JSObjectGetTypedArrayBytesPtr)          \
  X(JSObjectHasProperty)                    \
  X(JSObjectIsFunction)                     \
  X(JSObjectMake)                           \
  X(JSObjectMakeArray)                      \
  X(JSObjectMakeDate)                       \
  X(JSObjectMakeError)                      \
  X(JSObjectMakeTypedArray)                 \
  X(JSObjectSetPrivate)                     \
  X(JSObjectSetProperty)                    \
  X(JSPropertyNameArrayGetCount)            \
  X(JSPropertyNameArrayGetNameAtIndex)      \
  X(JSPropertyNameArrayRelease)             \
  X(JSStringCreateWithCharacters)           \
  X(JSStringCreateWithUTF8CString)          \
  X(JSStringGetCharactersPtr)               \
  X(JSStringGetLength)                      \
  X(JSStringIsEqual)                        \
  X(JSStringRelease)                        \
  X(JSStringRetain)                         \
  X(JSValueCompareInt64)                    \
  X(JSValueGetType)                         \
  X(JSValueGetTypedArrayType)               \
  X(JSValueIsArray)                         \
  X(JSValueIsDate)                          \
  X(JSValueIsInstanceOfConstructor)         \
  X(JSValueIsNumber)                        \
  X(JSValueIsObject)                        \
  X(JSValueIsObjectOfClass)                 \
  X(JSValueIsStrictEqual)                   \
  X(JSValueIsString)                        \
  X(JSValueIsUndefined)                     \
  X(JSValueMakeBoolean)                     \
  X(JSValueMakeNull)                        \
  X(JSValueMakeNumber)                      \
  X(JSValueMakeString)                      \
  X(JSValueMakeUndefined)                   \
  X(JSValueProtect)                         \
  X(JSValueToBoolean)                       \
  X(JSValueToInt64)                         \
  X(JSValueToNumber)                        \
  X(JSValueToObject)                        \
  X(JSValueToStringCopy)                    \
  X(JSValueUnprotect)                       \
  X(JSWeakCreate)                           \
  X(JSWeakGetObject)                        \
  X(JSWeakRelease)                          \
  X(jsc_options_set_boolean)

namespace pw::js {

PW_DECLARE_LIBRARY_TABLE(TJSCFunctions, gJSC, LoadJavaScriptCore, PW_JSC_FUNCTIONS)

}  // namespace pw::js

// The file that fills the table must see the real names.
#ifndef PW_JSC_LIBRARY_DEFINITION
#define JSBigIntCreateWithInt64 (::pw::js::gJSC.JSBigIntCreateWithInt64)
#define JSCheckScriptSyntax (::pw::js::gJSC.JSCheckScriptSyntax)
#define JSClassCreate (::pw::js::gJSC.JSClassCreate)
#define JSContextGetGlobalObject (::pw::js::gJSC.JSContextGetGlobalObject)
#define JSContextGroupClearExecutionTimeLimit (::pw::js::gJSC.JSContextGroupClearExecutionTimeLimit)
#define JSContextGroupCreate (::pw::js::gJSC.JSContextGroupCreate)
#define JSContextGroupRelease (::pw::js::gJSC.JSContextGroupRelease)
#define JSContextGroupSetExecutionTimeLimit (::pw::js::gJSC.JSContextGroupSetExecutionTimeLimit)
#define JSEvaluateScript (::pw::js::gJSC.JSEvaluateScript)
#define JSGlobalContextCreateInGroup (::pw::js::gJSC.JSGlobalContextCreateInGroup)
#define JSGlobalContextRelease (::pw::js::gJSC.JSGlobalContextRelease)
#define JSObjectCallAsFunction (::pw::js::gJSC.JSObjectCallAsFunction)
#define JSObjectCopyPropertyNames (::pw::js::gJSC.JSObjectCopyPropertyNames)
#define JSObjectDeleteProperty (::pw::js::gJSC.JSObjectDeleteProperty)
#define JSObjectGetArrayBufferByteLength (::pw::js::gJSC.JSObjectGetArrayBufferByteLength)
#define JSObjectGetArrayBufferBytesPtr (::pw::js::gJSC.JSObjectGetArrayBufferBytesPtr)
#define JSObjectGetPrivate (::pw::js::gJSC.JSObjectGetPrivate)
#define JSObjectGetProperty (::pw::js::gJSC.JSObjectGetProperty)
#define JSObjectGetPropertyAtIndex (::pw::js::gJSC.JSObjectGetPropertyAtIndex)
#define JSObjectGetTypedArrayByteLength (::pw::js::gJSC.JSObjectGetTypedArrayByteLength)
#define JSObjectGetTypedArrayByteOffset (::pw::js::gJSC.JSObjectGetTypedArrayByteOffset)
#define JSObjectGetTypedArrayBytesPtr (::pw::js::gJSC.JSObjectGetTypedArrayBytesPtr)
#define JSObjectHasProperty (::pw::js::gJSC.JSObjectHasProperty)
#define JSObjectIsFunction (::pw::js::gJSC.JSObjectIsFunction)
#define JSObjectMake (::pw::js::gJSC.JSObjectMake)
#define JSObjectMakeArray (::pw::js::gJSC.JSObjectMakeArray)
#define JSObjectMakeDate (::pw::js::gJSC.JSObjectMakeDate)
#define JSObjectMakeError (::pw::js::gJSC.JSObjectMakeError)
#define JSObjectMakeTypedArray (::pw::js::gJSC.JSObjectMakeTypedArray)
#define JSObjectSetPrivate (::pw::js::gJSC.JSObjectSetPrivate)
#define JSObjectSetProperty (::pw::js::gJSC.JSObjectSetProperty)
#define JSPropertyNameArrayGetCount (::pw::js::gJSC.JSPropertyNameArrayGetCount)
#define JSPropertyNameArrayGetNameAtIndex (::pw::js::gJSC.JSPropertyNameArrayGetNameAtIndex)
#define JSPropertyNameArrayRelease (::pw::js::gJSC.JSPropertyNameArrayRelease)
#define JSStringCreateWithCharacters (::pw::js::gJSC.JSStringCreateWithCharacters)
#define JSStringCreateWithUTF8CString (::pw::js::gJSC.JSStringCreateWithUTF8CString)
#define JSStringGetCharactersPtr (::pw::js::gJSC.JSStringGetCharactersPtr)
#define JSStringGetLength (::pw::js::gJSC.JSStringGetLength)
#define JSStringIsEqual (::pw::js::gJSC.JSStringIsEqual)
#define JSStringRelease (::pw::js::gJSC.JSStringRelease)
#define JSStringRetain (::pw::js::gJSC.JSStringRetain)
#define JSValueCompareInt64 (::pw::js::gJSC.JSValueCompareInt64)
#define JSValueGetType (::pw::js::gJSC.JSValueGetType)
#define JSValueGetTypedArrayType (::pw::js::gJSC.JSValueGetTypedArrayType)
#define JSValueIsArray (::pw::js::gJSC.JSValueIsArray)
#define JSValueIsDate (::pw::js::gJSC.JSValueIsDate)
#define JSValueIsInstanceOfConstructor (::pw::js::gJSC.JSValueIsInstanceOfConstructor)
#define JSValueIsNumber (::pw::js::gJSC.JSValueIsNumber)
#define JSValueIsObject (::pw::js::gJSC.JSValueIsObject)
#define JSValueIsObjectOfClass (::pw::js::gJSC.JSValueIsObjectOfClass)
#define JSValueIsStrictEqual (::pw::js::gJSC.JSValueIsStrictEqual)
#define JSValueIsString (::pw::js::gJSC.JSValueIsString)
#define JSValueIsUndefined (::pw::js::gJSC.JSValueIsUndefined)
#define JSValueMakeBoolean (::pw::js::gJSC.JSValueMakeBoolean)
#define JSValueMakeNull (::pw::js::gJSC.JSValueMakeNull)
#define JSValueMakeNumber (::pw::js::gJSC.JSValueMakeNumber)
#define JSValueMakeString (::pw::js::gJSC.JSValueMakeString)
#define JSValueMakeUndefined (::pw::js::gJSC.JSValueMakeUndefined)
#define JSValueProtect (::pw::js::gJSC.JSValueProtect)
#define JSValueToBoolean (::pw::js::gJSC.JSValueToBoolean)
#define JSValueToInt64 (::pw::js::gJSC.JSValueToInt64)
#define JSValueToNumber (::pw::js::gJSC.JSValueToNumber)
#define JSValueToObject (::pw::js::gJSC.JSValueToObject)
#define JSValueToStringCopy (::pw::js::gJSC.JSValueToStringCopy)
#define JSValueUnprotect (::pw::js::gJSC.JSValueUnprotect)
#define JSWeakCreate (::pw::js::gJSC.JSWeakCreate)
#define JSWeakGetObject (::pw::js::gJSC.JSWeakGetObject)
#define JSWeakRelease (::pw::js::gJSC.JSWeakRelease)
#define jsc_options_set_boolean (::pw::js::gJSC.jsc_options_set_boolean)
#endif
