#include "scripting/JSUtil.h"

#include <utility>

namespace pw::js {

JSString::JSString(const QString& text)
    : FString(JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(text.utf16()),
                                           static_cast<size_t>(text.size()))) {}

JSString::JSString(const char* utf8) : FString(JSStringCreateWithUTF8CString(utf8)) {}

JSString JSString::Adopt(JSStringRef string) {
  JSString result;
  result.FString = string;
  return result;
}

JSString::JSString(JSString&& other) noexcept : FString(std::exchange(other.FString, nullptr)) {}

JSString& JSString::operator=(JSString&& other) noexcept {
  if (this != &other) {
    if (FString) JSStringRelease(FString);
    FString = std::exchange(other.FString, nullptr);
  }
  return *this;
}

JSString::~JSString() {
  if (FString) JSStringRelease(FString);
}

QString ToQString(JSStringRef string) {
  if (!string) return QString();
  return QString(reinterpret_cast<const QChar*>(JSStringGetCharactersPtr(string)),
                 static_cast<qsizetype>(JSStringGetLength(string)));
}

QString ValueToQString(JSContextRef ctx, JSValueRef value) {
  if (!value) return QString();
  JSValueRef exception = nullptr;
  JSString string = JSString::Adopt(JSValueToStringCopy(ctx, value, &exception));
  if (exception || !string.get()) return QString();
  return ToQString(string);
}

JSValueRef GetProperty(JSContextRef ctx, JSObjectRef object, const char* name) {
  JSValueRef exception = nullptr;
  JSValueRef value = JSObjectGetProperty(ctx, object, JSString(name), &exception);
  if (exception || !value) return JSValueMakeUndefined(ctx);
  return value;
}

}  // namespace pw::js
