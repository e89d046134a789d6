// ISO 8601 date-times for scripts (the runtime's EncodeDate and DecodeDate, the feed's dates):
// between the script date type (days since 1899-12-30, local time) and texts such as
// "2024-05-01T12:30:00+03:00". Local time follows the machine's zone (TZ respected), with the
// offset in force at the date in question. Stateless; any thread.
#pragma once

#include <QDateTime>
#include <QString>

#include "scripting/Variant.h"

namespace pw {

// The local date-time of a script date, and back.
QDateTime LocalDateTimeOf(Date date);
Date DateOf(const QDateTime& dateTime);

// "yyyy-MM-ddTHH:mm:ss" and the machine's offset at that date: "Z" at UTC, else "+hh:mm"
// east of UTC or "-hh:mm" west of it. Milliseconds are not written.
QString FormatIsoDate(Date date);

// Reads year, month and day (digit runs separated by any one character), then after a space
// or "T" hour, minutes, seconds and a fraction, each optional; a zone ("Z", "+hh:mm", "-hh:mm",
// "+hhmm") makes the value UTC, converted to local time; without a zone it is local time.
// Texts of 9 characters or fewer, and dates that do not exist, give fallback.
Date ParseIsoDate(const QString& text, Date fallback);

}  // namespace pw
