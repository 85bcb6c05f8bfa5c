#include "mail/CheckInterval.h"

#include "KyrLogger/Logger.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

namespace {

// Beyond this the timer could not count anyway (it clamps to about 24 days); keeps the product
// with 60 from overflowing.
constexpr qint64 MaximumMinutes = 366 * 24 * 60;

// The next moment at the clock time: today when that time of day is still to come, else
// tomorrow. A clock time that the spring-forward night skips is taken an hour later, as the
// clock shows it on that day.
QDateTime nextAt(const QTime &time, const QDateTime &now)
{
    const QDate day = time > now.time() ? now.date() : now.date().addDays(1);
    QDateTime at(day, time);
    if (!at.isValid())
        at = QDateTime(day, time.addSecs(3600));
    return at;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("CheckInterval", text);
}

} // namespace

CheckInterval::Reading CheckInterval::read(const QString &text)
{
    Reading reading;
    if (!text.contains(u':')) {
        bool ok = false;
        reading.minutes = text.trimmed().toLongLong(&ok);
        if (ok)
            reading.form = Reading::Form::Minutes;
        return reading;
    }
    for (const QString &entry : text.split(u';')) {
        const QTime time = QTime::fromString(entry.trimmed(), QStringLiteral("hh:mm"));
        if (!time.isValid()) {
            reading.times.clear();
            reading.badEntry = entry;
            return reading;
        }
        reading.times.append(time);
    }
    reading.form = Reading::Form::ClockTimes;
    return reading;
}

QString CheckInterval::problem(const QString &text)
{
    const Reading reading = read(text);
    switch (reading.form) {
    case Reading::Form::Minutes:
        if (reading.minutes < MinimumMinutes)
            return tr("Check at most once a minute: enter 1 or more minutes");
        return {};
    case Reading::Form::ClockTimes:
        return {};
    case Reading::Form::Unreadable:
        break;
    }
    if (!text.contains(u':'))
        return tr("Enter minutes (e.g. 15) or clock times hh:mm separated by \";\"");
    return tr("'%1' is not a clock time hh:mm").arg(reading.badEntry.trimmed());
}

qint64 CheckInterval::seconds(const QString &text, const QDateTime &now)
{
    const Reading reading = read(text);
    if (reading.form == Reading::Form::Minutes) {
        if (reading.minutes < MinimumMinutes) {
            LOG_OUT(Kyr::LogWarning, "Check interval %1 is below one minute, checking every minute").arg(text).endl();
            return MinimumMinutes * 60;
        }
        return std::min(reading.minutes, MaximumMinutes) * 60;
    }
    if (reading.form == Reading::Form::Unreadable) {
        if (!text.contains(u':'))
            LOG_OUT(Kyr::LogWarning, "Could not parse check interval %1").arg(text).endl();
        else
            LOG_OUT(Kyr::LogWarning, "Invalid interval calculated from %1 (%2)").arg(text).arg(0).endl();
        return FallbackSeconds;
    }
    qint64 smallest = std::numeric_limits<qint64>::max();
    for (const QTime &time : reading.times)
        smallest = std::min(smallest, now.msecsTo(nextAt(time, now).addMSecs(800)) / 1000);
    return smallest;
}
