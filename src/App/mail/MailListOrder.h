#pragma once
// The order in which the mails of a check are handled: oldest first by the date of the message
// list. Two entries with the same date keep only the later one for this check; the other stays
// on the server for the next.

#include "MailSecurity/SIMAP.h"

#include <QDateTime>
#include <QList>

namespace MailListOrder {
// An RFC 2822 date, else the text without its first and last five characters read as
// "dd MMM yy HH:mm:ss" (English month names), else now.
QDateTime listDate(const QString &text, const QDateTime &now);
// Message numbers in ascending date order.
QList<qint64> ascending(const QList<SIMAPMessageInfo> &entries, const QDateTime &now);
} // namespace MailListOrder
