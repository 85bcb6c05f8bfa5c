#include "mail/LocalMailArchive.h"

#include <QUrl>

namespace {
// File systems take names of up to 255 bytes; the date, counter and ".eml" need the rest.
constexpr qsizetype MaxBaseNameBytes = 200;
} // namespace

QString LocalMailArchive::folderFor(const QString &setting, const QDateTime &now)
{
    return setting.contains(u'\'') ? now.toString(setting) : setting;
}

QDateTime LocalMailArchive::nameDate(const QString &dateHeader, const QDateTime &now)
{
    // An RFC 2822 date keeps its offset, so its wall-clock time is the one written in the header.
    const QDateTime written = QDateTime::fromString(dateHeader, Qt::RFC2822Date);
    return written.isValid() ? written : now;
}

QString LocalMailArchive::baseName(const QDateTime &mailDate, const QString &sender, const QString &subject)
{
    QString name = mailDate.toString(QStringLiteral("yyyy-MM-dd hhmm")) + QStringLiteral(" - (") + sender
                   + QStringLiteral(") - ") + subject;
    name.remove(u'"');
    name.remove(u'<');
    name.remove(u'>');
    QByteArray encoded = QUrl::toPercentEncoding(name, " -()@.");
    if (encoded.size() > MaxBaseNameBytes) {
        encoded.truncate(MaxBaseNameBytes);
        // Never end inside a "%XX" escape.
        const qsizetype percent = encoded.lastIndexOf('%');
        if (percent >= MaxBaseNameBytes - 2)
            encoded.truncate(percent);
    }
    return QString::fromLatin1(encoded);
}
