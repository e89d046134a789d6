// Assembling a project's scripts: template.js, then one include line per unit its content text
// names on "$uses" lines, with every include line replaced by the unit's text. Stateless; any
// thread (it only reads files).
#pragma once

#include <QString>

#include <string_view>

namespace pw {

// Where include lines look for NAME.js, in this order; either may be empty (not searched).
struct TScriptFolders {
  QString TemplateFolder;  // the project's template folder
  QString LibraryScripts;  // the "Scripts" folder of the script library
};

// The text of template.js in the template folder (empty when there is none), a line break, and
// "#include NAME" plus a line break for every unit named by a "$uses " line of content.
QString AssembleScriptSource(std::string_view content, const TScriptFolders& folders);

// Replaces include lines: a line whose first eight characters are "#include" (any case) names a
// unit from its tenth character on, trimmed. Each unit is expanded once (names compared without
// regard to case) and recursively; units found in neither folder are dropped. Every line is
// appended after a line break, so the result starts with an empty line and the engine's
// zero-based line numbers are template.js's one-based ones.
QString ExpandIncludes(const QString& text, const TScriptFolders& folders);

}  // namespace pw
