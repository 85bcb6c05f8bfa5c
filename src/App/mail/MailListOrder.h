#pragma once
// The order in which the mails of a check are handled: oldest first by the date of the message
// list, and among mails of the same date by message number (the order of their arrival). Every
// listed mail is handled, also when many carry one date: a meter platform that sends a thousand
// mails within one second gets them all taken in one check, not one per check.

#include "MailSecurity/SIMAP.h"

#include <QDateTime>
#include <QList>

namespace MailListOrder {
// An RFC 2822 date, else the text without its first and last five characters read as
// "dd MMM yy HH:mm:ss" (English month names), else now.
QDateTime listDate(const QString &text, const QDateTime &now);
// Message numbers in ascending date order, equal dates by ascending message number.
QList<qint64> ascending(const QList<SIMAPMessageInfo> &entries, const QDateTime &now);
} // namespace MailListOrder
