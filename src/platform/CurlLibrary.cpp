#define PW_CURL_LIBRARY_DEFINITION
#include "platform/CurlLibrary.h"

namespace pw::platform {

// curl's global set-up is not thread-safe: here it runs once, under the library's first load.
PW_DEFINE_LIBRARY_TABLE(TCurlFunctions, gCurl, LoadCurl, PW_CURL_FUNCTIONS, "libcurl.so.4",
                        gCurl.curl_global_init(CURL_GLOBAL_DEFAULT))

}  // namespace pw::platform
