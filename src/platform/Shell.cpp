#include "platform/Shell.h"

#include <QProcess>
#include <QStringList>

namespace pw::platform {

bool ShellOpen(const QString& target) {
  if (target.trimmed().isEmpty()) return false;
  // "--" is not understood by xdg-open; a target starting with '-' is made a path instead
  // so it cannot be taken for an option.
  QString argument = target;
  if (argument.startsWith(u'-')) argument.prepend(QStringLiteral("./"));
  return QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{argument});
}

}  // namespace pw::platform
