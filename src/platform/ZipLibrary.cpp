#define PW_ZIP_LIBRARY_DEFINITION
#include "platform/ZipLibrary.h"

namespace pw::platform {

PW_DEFINE_LIBRARY_TABLE(TZipFunctions, gZip, LoadZip, PW_ZIP_FUNCTIONS, "libzip.so.4", (void)0)

}  // namespace pw::platform
