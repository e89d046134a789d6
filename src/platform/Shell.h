// Stand-in for the shell's "open" verb: hands a file, folder or URL to the desktop's
// default handler (xdg-open). Fire and forget; the caller owns nothing afterwards.
#pragma once

#include <QString>

namespace pw::platform {

// Starts the default handler for target, detached. False when target is empty or the
// handler cannot be started; whether the handler then succeeds is not reported.
bool ShellOpen(const QString& target);

}  // namespace pw::platform
