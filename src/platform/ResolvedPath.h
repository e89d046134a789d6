// Where a path really leads once the links in it are followed. A name can be confined to a
// folder as text ("a/b" has no "..") and still lead out of it when "a" is a link to a folder
// elsewhere; writers check the resolved folder before they write. Stateless; any thread.
#pragma once

#include <QString>

namespace pw::platform {

// The absolute path with every link in its existing part followed; the part that does not
// exist yet (and so holds no link) is appended as it stands. Uses '/'.
QString ResolveExistingPart(const QString& path);

// True when path, resolved, is folder (resolved) itself or lies below it.
bool ResolvesInside(const QString& folder, const QString& path);

}  // namespace pw::platform
