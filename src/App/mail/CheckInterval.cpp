#include "mail/CheckInterval.h"

#include "KyrLogger/Logger.h"

namespace {

constexpr qint64 FallbackSeconds = 900;

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

} // namespace

qint64 CheckInterval::seconds(const QString &text, const QDateTime &now)
{
    if (!text.contains(u':')) {
        bool ok = false;
        const qint64 minutes = text.toLongLong(&ok);
        if (!ok) {
            LOG_OUT(Kyr::LogWarning, "Could not parse check interval %1").arg(text).endl();
            return FallbackSeconds;
        }
        return minutes * 60;
    }
    const QStringList times = text.split(u';');
    qint64 smallest = 0;
    bool first = true;
    for (const QString &entry : times) {
        const QTime time = QTime::fromString(entry, QStringLiteral("hh:mm"));
        qint64 value = 0; // an unreadable entry counts as 0, which makes the whole list unusable
        if (time.isValid())
            value = now.msecsTo(nextAt(time, now).addMSecs(800)) / 1000;
        if (first || value < smallest)
            smallest = value;
        first = false;
    }
    if (times.isEmpty() || smallest <= 0) {
        LOG_OUT(Kyr::LogWarning, "Invalid interval calculated from %1 (%2)").arg(text).arg(smallest).endl();
        return FallbackSeconds;
    }
    return smallest;
}
