#define PW_ZIP_LIBRARY_DEFINITION
#include "platform/ZipLibrary.h"

#include "platform/SharedLibrary.h"

namespace pw::platform {

TZipFunctions gZip;

namespace {

bool ResolveZip(const TSharedLibrary& library, QString* error) {
#define PW_ZIP_RESOLVE(name) \
  if (!library.Resolve(gZip.name, #name, error)) return false;
  PW_ZIP_FUNCTIONS(PW_ZIP_RESOLVE)
#undef PW_ZIP_RESOLVE
  return true;
}

}  // namespace

bool LoadZip(QString* error) {
  static TSharedLibrary library("libzip.so.4", &ResolveZip);
  return library.Load(error);
}

}  // namespace pw::platform
