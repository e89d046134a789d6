// Small helpers over the JavaScriptCore C API: owned JS strings and conversions between JS
// strings and QString. Used by the script engine and its bridge only.
#pragma once

#include "scripting/JSLibrary.h"

#include <QString>

namespace pw::js {

// An owned JSStringRef, released when it goes out of scope.
class JSString {
 public:
  explicit JSString(const QString& text);
  explicit JSString(const char* utf8);
  // Takes over a string the caller owns (a ...Copy result); null is allowed.
  static JSString Adopt(JSStringRef string);
  JSString(JSString&& other) noexcept;
  JSString& operator=(JSString&& other) noexcept;
  JSString(const JSString&) = delete;
  JSString& operator=(const JSString&) = delete;
  ~JSString();

  JSStringRef get() const { return FString; }
  operator JSStringRef() const { return FString; }

 private:
  JSString() = default;
  JSStringRef FString = nullptr;
};

QString ToQString(JSStringRef string);

// The value converted to a string as JavaScript's String(value) would; an empty string when
// the conversion throws.
QString ValueToQString(JSContextRef ctx, JSValueRef value);

// A property read that never throws: undefined when the read fails.
JSValueRef GetProperty(JSContextRef ctx, JSObjectRef object, const char* name);

}  // namespace pw::js
