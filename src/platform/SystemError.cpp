#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace pw::platform {

QString SystemErrorText(int code) {
  // strerror_r's GNU form returns the text, which may or may not be in the buffer.
  char buffer[256];
  return QString::fromLocal8Bit(::strerror_r(code, buffer, sizeof buffer));
}

QString SystemErrorText() { return SystemErrorText(errno); }

}  // namespace pw::platform
