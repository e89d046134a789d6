#define PW_ZIP_LIBRARY_DEFINITION
#include "platform/ZipLibrary.h"

namespace pw::platform {

TZipFunctions gZip;

namespace {

bool ResolveZip(const TSharedLibrary& library, QString* error) {
  TZipFunctions& table = gZip;
  PW_ZIP_FUNCTIONS(PW_LIBRARY_RESOLVE)
  return true;
}

}  // namespace

bool LoadZip(QString* error) {
  static TSharedLibrary library("libzip.so.4", &ResolveZip);
  return library.Load(error);
}

}  // namespace pw::platform
