// Reading a whole file that must be an ordinary file of bounded size. Project files, settings
// files and page templates are read this way, so that a device (/dev/zero), a pipe or a file
// far larger than any real one is refused with a reason instead of filling the memory.
// Stateless; safe from any thread.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

namespace pw::platform {

// Reads path into bytes when it is a regular file (a link to one is followed) of at most
// maxBytes. False with the reason otherwise; bytes are then untouched. The bound also holds
// when the file grows while it is read.
bool ReadRegularFile(const QString& path, std::int64_t maxBytes, std::string& bytes, QString* error = nullptr);

// "256 MiB", "64 KiB", "12 bytes": a limit as README and messages name it.
QString FormatByteLimit(std::int64_t bytes);

}  // namespace pw::platform
