// The script error report: the text a script error is shown with (a message box in the desktop
// application, standard error on the command line). Stateless; any thread.
#pragma once

#include <QString>

#include "scripting/ScriptError.h"

namespace pw {

// "Source Line: N" when the content text was being parsed (contentLine above 0), "Script Line:
// L Pos: P" when the engine knows the line, "Source: " and the line's text (from the engine, or
// else line L of scriptText), and "Error: " and the description, one per line.
QString ScriptErrorReport(const TScriptError& error, int contentLine = 0,
                          const QString& scriptText = QString());

}  // namespace pw
