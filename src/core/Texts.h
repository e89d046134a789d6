// The central module's texts, looked up by key. The built-in table is English, the module's
// "[1033]" section; a window with a language switch plugs in a text source, so that questions
// and messages follow the language it shows. An unknown key gives the key itself.
// The source is set and read on the user-interface thread only.
#pragma once

#include <QString>

#include <string_view>

namespace pw {

// Answers the text of a key in the current language, or an empty text when it has none (the
// English text is used then).
using TTextSource = QString (*)(std::string_view key);

// nullptr (the default, and the command-line tool's choice) keeps every text English.
void SetTextSource(TTextSource source);

// The text of key from the text source, else from the built-in English table.
QString LocalText(std::string_view key);
// The text of key from the built-in English table only.
QString EnglishText(std::string_view key);

// The text of key with its first "%s" replaced by arg.
QString LocalFormat(std::string_view key, const QString& arg);

}  // namespace pw
