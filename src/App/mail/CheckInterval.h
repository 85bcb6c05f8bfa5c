#pragma once
// When the next mail check runs, from the setting CheckInterval: a whole number of minutes, or a
// list of clock times "hh:mm;hh:mm;..." of which the nearest one coming wins.

#include <QDateTime>
#include <QString>

namespace CheckInterval {
// Seconds from now until the next check; 900 (with a warning in the log) when the text gives no
// usable period.
qint64 seconds(const QString &text, const QDateTime &now);
} // namespace CheckInterval
