#pragma once
// The one rule for the setting CheckInterval, read alike by the configuration editor's check and
// by the mail intake's schedule: a whole number of minutes (at least one), or a ";"-separated list
// of clock times "hh:mm" of which the nearest one coming wins. Entries are trimmed, so
// "06:00; 18:00" is two times; an empty entry is unreadable.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>

namespace CheckInterval {

constexpr qint64 MinimumMinutes = 1;
// Used when the text gives no usable period.
constexpr qint64 FallbackSeconds = 900;

struct Reading
{
    enum class Form { Minutes, ClockTimes, Unreadable };
    Form form = Form::Unreadable;
    qint64 minutes = 0;   // Minutes: as written, possibly below the minimum
    QList<QTime> times;   // ClockTimes
    QString badEntry;     // Unreadable list: the first entry that is no clock time, as written
};

Reading read(const QString &text);

// What is wrong with the text, for the editor; empty when the intake uses it as written.
QString problem(const QString &text);

// Seconds from now until the next check. An unreadable text gives FallbackSeconds, a period below
// one minute gives one minute; both with a warning in the log.
qint64 seconds(const QString &text, const QDateTime &now);

} // namespace CheckInterval
