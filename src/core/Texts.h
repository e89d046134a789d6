// The central module's English texts, looked up by key. One table, so that the localizer can
// take it over as the module's "[1033]" section; an unknown key gives the key itself.
#pragma once

#include <QString>

#include <string_view>

namespace pw {

QString LocalText(std::string_view key);

// The text of key with its first "%s" replaced by arg.
QString LocalFormat(std::string_view key, const QString& arg);

}  // namespace pw
