#include "runtime/ScriptErrorReport.h"

#include <QStringList>

namespace pw {

QString ScriptErrorReport(const TScriptError& error, int contentLine, const QString& scriptText) {
  QString report;
  if (contentLine > 0) report += QStringLiteral("Source Line: %1\n").arg(contentLine);
  // Line 0 is the script's first line and is reported too.
  if (error.Line >= 0) report += QStringLiteral("Script Line: %1 Pos: %2\n").arg(error.Line).arg(error.CharPosition);
  QString source = error.SourceLineText;
  if (source.isEmpty() && error.Line >= 0) {
    const QStringList lines = scriptText.split(QLatin1Char('\n'));
    if (error.Line < lines.size()) source = lines[error.Line];
    if (source.endsWith(QLatin1Char('\r'))) source.chop(1);
  }
  report += QStringLiteral("Source: ") + source + QLatin1Char('\n');
  report += QStringLiteral("Error: ") + error.Description;
  return report;
}

}  // namespace pw
