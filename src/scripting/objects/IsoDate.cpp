#include "scripting/objects/IsoDate.h"

#include <QDate>
#include <QTime>

#include <cmath>
#include <cstdlib>

namespace pw {

namespace {

constexpr qint64 kMsPerDay = 86400000;

const QDate& DateBase() {
  static const QDate base(1899, 12, 30);
  return base;
}

QString TwoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

// Reads a run of digits (at most maxDigits of them) at pos; 0 when there is none.
int ReadNumber(const QString& text, qsizetype& pos, int maxDigits = 9) {
  int value = 0;
  int digits = 0;
  while (pos < text.size() && digits < maxDigits && text[pos].isDigit() && text[pos].unicode() < 128) {
    value = value * 10 + (text[pos].unicode() - '0');
    ++pos;
    ++digits;
  }
  return value;
}

bool At(const QString& text, qsizetype pos, char c) {
  return pos < text.size() && text[pos] == QLatin1Char(c);
}

}  // namespace

QDateTime LocalDateTimeOf(Date date) {
  const double day = std::trunc(date.Value);
  // For negative dates the fraction still counts forwards from midnight of the day.
  qint64 ms = std::llround(std::fabs(date.Value - day) * static_cast<double>(kMsPerDay));
  QDate d = DateBase().addDays(static_cast<qint64>(day));
  if (ms >= kMsPerDay) {
    d = d.addDays(1);
    ms -= kMsPerDay;
  }
  return QDateTime(d, QTime(0, 0).addMSecs(static_cast<int>(ms)));
}

Date DateOf(const QDateTime& dateTime) {
  const QDateTime local = dateTime.toLocalTime();
  const qint64 day = DateBase().daysTo(local.date());
  const double fraction = local.time().msecsSinceStartOfDay() / static_cast<double>(kMsPerDay);
  return Date{day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction};
}

QString FormatIsoDate(Date date) {
  const QDateTime local = LocalDateTimeOf(date);
  const QDate d = local.date();
  const QTime t = local.time();
  QString text = QStringLiteral("%1-%2-%3T%4:%5:%6")
                     .arg(d.year(), 4, 10, QLatin1Char('0'))
                     .arg(TwoDigits(d.month()), TwoDigits(d.day()), TwoDigits(t.hour()),
                          TwoDigits(t.minute()), TwoDigits(t.second()));
  // The offset in force at that date, so the text names the same instant in any season.
  const int offsetMinutes = local.offsetFromUtc() / 60;
  if (offsetMinutes == 0) return text + QLatin1Char('Z');
  const int magnitude = std::abs(offsetMinutes);
  return text + (offsetMinutes > 0 ? QLatin1Char('+') : QLatin1Char('-')) +
         TwoDigits(magnitude / 60) + QLatin1Char(':') + TwoDigits(magnitude % 60);
}

Date ParseIsoDate(const QString& text, Date fallback) {
  if (text.size() <= 9) return fallback;
  qsizetype pos = 0;
  const int year = ReadNumber(text, pos);
  ++pos;
  const int month = ReadNumber(text, pos);
  ++pos;
  const int day = ReadNumber(text, pos);
  int hour = 0, minute = 0, second = 0, ms = 0;
  if (At(text, pos, ' ') || At(text, pos, 'T')) {
    ++pos;
    hour = ReadNumber(text, pos);
    if (At(text, pos, ':')) {
      ++pos;
      minute = ReadNumber(text, pos);
      if (At(text, pos, ':')) {
        ++pos;
        second = ReadNumber(text, pos);
        if (At(text, pos, '.')) {
          // A fraction of a second: ".5" is 500 ms; digits past the third are dropped.
          ++pos;
          int scale = 100;
          while (pos < text.size() && text[pos].isDigit() && text[pos].unicode() < 128) {
            ms += (text[pos].unicode() - '0') * scale;
            scale /= 10;
            ++pos;
          }
        }
      }
    }
  }
  const QDate date(year, month, day);
  const QTime time(hour, minute, second, ms);
  if (!date.isValid() || !time.isValid()) return fallback;

  if (At(text, pos, 'Z') || At(text, pos, '+') || At(text, pos, '-')) {
    int offset = 0;
    if (!At(text, pos, 'Z')) {
      const int sign = At(text, pos, '+') ? 1 : -1;
      ++pos;
      const int hours = ReadNumber(text, pos, 2);
      if (At(text, pos, ':')) ++pos;
      const int minutes = ReadNumber(text, pos, 2);
      offset = sign * (hours * 60 + minutes) * 60;
    }
    const QDateTime utc = QDateTime(date, time, Qt::UTC).addSecs(-offset);
    return DateOf(utc);
  }
  return DateOf(QDateTime(date, time));
}

}  // namespace pw
