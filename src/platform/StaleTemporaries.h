// The program's own naming of temporary files and folders, "<target>.pw-<pid>-<n>.tmp", and
// the sweep that removes the ones left by processes that no longer run (killed mid-write,
// power loss). Without the sweep such debris would stay in an output folder for good and be
// uploaded with the site. libzip writes an archive through its own temporary, the target's
// name plus ".XXXXXX"; for a target of our naming that temporary is recognised as well.
// Stateless apart from a process-wide counter; safe from any thread.
#pragma once

#include <QString>

#include <string>
#include <unordered_set>

namespace pw::platform {

// ".pw-<pid>-<n>.tmp", unique within this process; append it to the target's path.
std::string TemporarySuffix();

// Removes the entries directly in folder (files, folders with their content, links) whose names
// follow the temporary naming and whose process has ended. Entries of running processes, this
// one included, are left alone. Returns how many were removed. remaining, when given, receives
// the names left in the folder (none when it cannot be read), from the same listing.
int RemoveStaleTemporaries(const QString& folder, std::unordered_set<std::string>* remaining = nullptr);

}  // namespace pw::platform
