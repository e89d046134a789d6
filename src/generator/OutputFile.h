// Writing the files of a build. Like platform::WriteWholeFile, each file is written through a
// temporary beside it and a rename, so a crash never leaves a half-written page, but without
// forcing the data to disk: output files are rebuilt at will, and syncing every page of a large
// site would make the build wait on the disk. The temporary follows the program's own naming
// (platform/StaleTemporaries.h), so that one left by a killed build is swept by a later one.
// Stateless; safe to call from any thread.
#pragma once

#include "platform/FileIO.h"

#include <QString>

#include <string_view>

namespace pw {

// Writes bytes as the whole new content of path, creating missing folders. False when the
// file cannot be written, with the reason alone in error ("Permission denied", "No space left
// on device", "is a folder"; the caller names the file); an existing file is then unchanged.
// A regular file that already holds exactly these bytes is left alone, modification time
// included, so uploads, rsync and browser caches see that nothing changed; *unchanged (when
// given) tells that this happened.
// knownMissing: the caller saw no file at path (in a listing of its folder), so none is read.
// stamp (when given) receives the stamp of the file as written or found, taken from the open
// file; it is left not known when the call fails.
bool WriteOutputFile(const QString& path, std::string_view bytes, QString* error = nullptr,
                     bool* unchanged = nullptr, bool knownMissing = false,
                     platform::TFileStamp* stamp = nullptr);

}  // namespace pw
