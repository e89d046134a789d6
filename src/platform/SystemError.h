// The text of a system error number, as messages show it ("No space left on device").
// Stateless; safe from any thread.
#pragma once

#include <QString>

namespace pw::platform {

// The text of code, an errno value; without one, of the calling thread's errno now.
QString SystemErrorText(int code);
QString SystemErrorText();

}  // namespace pw::platform
