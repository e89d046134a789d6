// Path helpers shared by every layer. Paths use '/' inside the program; stored paths may
// use '\' as well, and every function here accepts both. Folder strings end in '/'.
#pragma once

#include <QString>

namespace pw::platform {

// Turns every '\' into '/'.
QString NormalizeSeparators(const QString& path);

// The folder string with one trailing '/' (an empty string stays empty).
QString IncludeTrailingSeparator(const QString& folder);

// True for a path that starts with '/' or '\', or that holds a ':' (a drive or a URL scheme).
bool IsAbsolutePath(const QString& path);

// The folder part including its trailing '/' (every separator turned into '/'), or empty
// when the path has no separator.
QString ExtractFileDir(const QString& path);
// The name after the last separator.
QString ExtractFileName(const QString& path);
// The extension of the name, with its dot ("" when the name has none).
QString ExtractFileExt(const QString& path);
// The path with its extension replaced by ext (ext includes the dot, or is empty).
QString ChangeFileExt(const QString& path, const QString& ext);

// Joins a relative path below root and returns it, or an empty string when the relative
// path is absolute, names a drive, holds a NUL, or climbs out of root through ".." ("a/../b"
// stays inside and is accepted). The result uses '/'.
QString ConfinedJoin(const QString& root, const QString& relative);

}  // namespace pw::platform
