#include "mail/MailListOrder.h"

#include <QLocale>

#include <algorithm>
#include <utility>

QDateTime MailListOrder::listDate(const QString &text, const QDateTime &now)
{
    const QDateTime rfc = QDateTime::fromString(text, Qt::RFC2822Date);
    if (rfc.isValid())
        return rfc;
    // Weekday and zone cut off; the blanks left at either end are not part of the pattern.
    const QString rest = text.size() > 10 ? text.mid(5, text.size() - 10).trimmed() : QString();
    QDateTime local = QLocale(QLocale::English).toDateTime(rest, QStringLiteral("dd MMM yy HH:mm:ss"));
    if (local.isValid()) {
        // Two-digit years read as 19xx; mails are of this century.
        if (local.date().year() < 1970)
            local = local.addYears(100);
        return local;
    }
    return now;
}

QList<qint64> MailListOrder::ascending(const QList<SIMAPMessageInfo> &entries, const QDateTime &now)
{
    // Keyed by date and number, not by date alone: a key by date would let mails of the same date
    // replace each other, leaving all but one of them for later checks.
    QList<std::pair<QDateTime, qint64>> keyed;
    keyed.reserve(entries.size());
    for (const SIMAPMessageInfo &entry : entries)
        keyed.append({listDate(entry.date, now), entry.number});
    std::sort(keyed.begin(), keyed.end());
    QList<qint64> numbers;
    numbers.reserve(keyed.size());
    for (const auto &[date, number] : std::as_const(keyed))
        numbers.append(number);
    return numbers;
}
