// libzip, opened on first use (see SharedLibrary.h): the functions the program calls, as slots
// of one process-wide table. Include this instead of <zip.h>; after it, every call of these
// functions goes through the table, so call LoadZip before the first one. The slots are written
// once, inside LoadZip, and only read afterwards: safe from any thread that has seen LoadZip
// succeed.
#pragma once

#include <QString>

#include <zip.h>

#include "platform/SharedLibrary.h"

#define PW_ZIP_FUNCTIONS(X) \
  X(zip_open)                    \
  X(zip_close)                   \
  X(zip_discard)                 \
  X(zip_strerror)                \
  X(zip_get_num_entries)         \
  X(zip_get_name)                \
  X(zip_fopen_index)             \
  X(zip_fread)                   \
  X(zip_fclose)                  \
  X(zip_file_strerror)           \
  X(zip_stat_init)               \
  X(zip_stat_index)              \
  X(zip_source_buffer)           \
  X(zip_source_free)             \
  X(zip_file_add)                \
  X(zip_error_init_with_code)    \
  X(zip_error_strerror)          \
  X(zip_error_fini)

namespace pw::platform {

PW_DECLARE_LIBRARY_TABLE(TZipFunctions, gZip, LoadZip, PW_ZIP_FUNCTIONS)

}  // namespace pw::platform

// The file that fills the table must see the real names.
#ifndef PW_ZIP_LIBRARY_DEFINITION
#define zip_open (::pw::platform::gZip.zip_open)
#define zip_close (::pw::platform::gZip.zip_close)
#define zip_discard (::pw::platform::gZip.zip_discard)
#define zip_strerror (::pw::platform::gZip.zip_strerror)
#define zip_get_num_entries (::pw::platform::gZip.zip_get_num_entries)
#define zip_get_name (::pw::platform::gZip.zip_get_name)
#define zip_fopen_index (::pw::platform::gZip.zip_fopen_index)
#define zip_fread (::pw::platform::gZip.zip_fread)
#define zip_fclose (::pw::platform::gZip.zip_fclose)
#define zip_file_strerror (::pw::platform::gZip.zip_file_strerror)
#define zip_stat_init (::pw::platform::gZip.zip_stat_init)
#define zip_stat_index (::pw::platform::gZip.zip_stat_index)
#define zip_source_buffer (::pw::platform::gZip.zip_source_buffer)
#define zip_source_free (::pw::platform::gZip.zip_source_free)
#define zip_file_add (::pw::platform::gZip.zip_file_add)
#define zip_error_init_with_code (::pw::platform::gZip.zip_error_init_with_code)
#define zip_error_strerror (::pw::platform::gZip.zip_error_strerror)
#define zip_error_fini (::pw::platform::gZip.zip_error_fini)
#endif
