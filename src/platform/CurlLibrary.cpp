#define PW_CURL_LIBRARY_DEFINITION
#include "platform/CurlLibrary.h"

namespace pw::platform {

TCurlFunctions gCurl;

namespace {

bool ResolveCurl(const TSharedLibrary& library, QString* error) {
  TCurlFunctions& table = gCurl;
  PW_CURL_FUNCTIONS(PW_LIBRARY_RESOLVE)
  // curl's global set-up is not thread-safe: here it runs once, under the library's first load.
  gCurl.curl_global_init(CURL_GLOBAL_DEFAULT);
  return true;
}

}  // namespace

bool LoadCurl(QString* error) {
  static TSharedLibrary library("libcurl.so.4", &ResolveCurl);
  return library.Load(error);
}

}  // namespace pw::platform
