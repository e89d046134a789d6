#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace pw::platform {

namespace {

QString LoaderError(const char* subject) {
  const char* text = dlerror();
  return text ? QString::fromLocal8Bit(text) : QString::fromLocal8Bit(subject) + QStringLiteral(": not found");
}

}  // namespace

bool TSharedLibrary::Load(QString* error) {
  std::call_once(FOnce, [this] {
    // RTLD_NOW: a library whose own dependencies are missing fails here, with a reason, rather
    // than at some later call. RTLD_LOCAL: its symbols are reached only through our slots and
    // must not satisfy other libraries' lookups.
    FHandle = dlopen(FSoname, RTLD_NOW | RTLD_LOCAL);
    if (!FHandle) {
      FError = LoaderError(FSoname);
      return;
    }
    // A library missing a function stays open all the same: slots already filled keep
    // pointing into it, and nothing calls them once Load has said no.
    FLoaded = FResolver(*this, &FError);
  });
  if (!FLoaded && error) *error = FError;
  return FLoaded;
}

void* TSharedLibrary::Address(const char* name, QString* error) const {
  dlerror();
  void* address = dlsym(FHandle, name);
  if (!address && error) *error = LoaderError(name);
  return address;
}

}  // namespace pw::platform
