// The log lines of the upload window ("FTPUploadSettingsForm"), in English (1033) and Russian
// (1049). The table stays in the localizer's form so that the window can hand it over as its
// own string table; until then the engine looks its lines up here. Thread-safe (constant data).
#pragma once

#include <QString>

#include <string_view>

namespace pw {

// The icon of a log line: the index into the window's image list.
enum class TUploadIcon { uiInformation = 0, uiSuccess = 1, uiError = 2 };

constexpr int kLangEnglish = 1033;
constexpr int kLangRussian = 1049;

// The text of a log key in the language; English when the language lacks the key, and the
// empty text for an unknown key.
QString UploadText(std::string_view key, int langId);

// A log line with an argument: the key's text, ": " and the argument.
QString UploadLine(std::string_view key, int langId, const QString& arg);

// The window's whole table: a "[1033]" and a "[1049]" section of key=value lines.
QString UploadFormStrings();

}  // namespace pw
