// libcurl, opened on first use (see SharedLibrary.h): the functions the program calls, as slots
// of one process-wide table. Include this instead of <curl/curl.h>; after it, every call of
// these functions goes through the table, so call LoadCurl (which also does curl's global
// set-up, once) before the first one. The slots are written once, inside LoadCurl, and only
// read afterwards: safe from any thread that has seen LoadCurl succeed.
#pragma once

#include <QString>

#include <curl/curl.h>

#include "platform/SharedLibrary.h"

#define PW_CURL_FUNCTIONS(X) \
  X(curl_global_init)          \
  X(curl_easy_init)            \
  X(curl_easy_cleanup)         \
  X(curl_easy_reset)           \
  X(curl_easy_setopt)          \
  X(curl_easy_getinfo)         \
  X(curl_easy_perform)         \
  X(curl_easy_strerror)        \
  X(curl_multi_init)           \
  X(curl_multi_cleanup)        \
  X(curl_multi_add_handle)     \
  X(curl_multi_remove_handle)  \
  X(curl_multi_perform)        \
  X(curl_multi_poll)           \
  X(curl_multi_info_read)      \
  X(curl_slist_append)         \
  X(curl_slist_free_all)

namespace pw::platform {

PW_DECLARE_LIBRARY_TABLE(TCurlFunctions, gCurl, LoadCurl, PW_CURL_FUNCTIONS)

}  // namespace pw::platform

// The file that fills the table must see the real names.
#ifndef PW_CURL_LIBRARY_DEFINITION
// curl's headers make these two type-checking macros of themselves.
#undef curl_easy_setopt
#undef curl_easy_getinfo
#define curl_global_init (::pw::platform::gCurl.curl_global_init)
#define curl_easy_init (::pw::platform::gCurl.curl_easy_init)
#define curl_easy_cleanup (::pw::platform::gCurl.curl_easy_cleanup)
#define curl_easy_reset (::pw::platform::gCurl.curl_easy_reset)
#define curl_easy_setopt (::pw::platform::gCurl.curl_easy_setopt)
#define curl_easy_getinfo (::pw::platform::gCurl.curl_easy_getinfo)
#define curl_easy_perform (::pw::platform::gCurl.curl_easy_perform)
#define curl_easy_strerror (::pw::platform::gCurl.curl_easy_strerror)
#define curl_multi_init (::pw::platform::gCurl.curl_multi_init)
#define curl_multi_cleanup (::pw::platform::gCurl.curl_multi_cleanup)
#define curl_multi_add_handle (::pw::platform::gCurl.curl_multi_add_handle)
#define curl_multi_remove_handle (::pw::platform::gCurl.curl_multi_remove_handle)
#define curl_multi_perform (::pw::platform::gCurl.curl_multi_perform)
#define curl_multi_poll (::pw::platform::gCurl.curl_multi_poll)
#define curl_multi_info_read (::pw::platform::gCurl.curl_multi_info_read)
#define curl_slist_append (::pw::platform::gCurl.curl_slist_append)
#define curl_slist_free_all (::pw::platform::gCurl.curl_slist_free_all)
#endif
