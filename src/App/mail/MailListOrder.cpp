#include "mail/MailListOrder.h"

#include <QLocale>
#include <QMap>

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
    QMap<QDateTime, qint64> byDate;
    for (const SIMAPMessageInfo &entry : entries)
        byDate.insert(listDate(entry.date, now), entry.number);
    return byDate.values();
}
