#include "mail/LocalMailArchive.h"

#include <QDir>
#include <QFile>
#include <QUrl>

namespace {
// File systems take names of up to 255 bytes; the date, counter and ".eml" need the rest.
constexpr qsizetype MaxBaseNameBytes = 200;
} // namespace

QString LocalMailArchive::folderFor(const QString &setting, const QDateTime &now)
{
    return setting.contains(u'\'') ? now.toString(setting) : setting;
}

QString LocalMailArchive::baseName(const QDateTime &mailDate, const QString &sender, const QString &subject)
{
    QString name = mailDate.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hhmm")) + QStringLiteral(" - (") + sender
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

bool LocalMailArchive::save(const QString &folder, const QString &baseName, const QByteArray &headers,
                            const QByteArray &text, QString *path)
{
    QDir().mkpath(folder);
    const QDir dir(folder);
    *path = dir.filePath(baseName + QStringLiteral(".eml"));
    for (int n = 1; QFile::exists(*path); ++n)
        *path = dir.filePath(baseName + QStringLiteral(" (%1).eml").arg(n));
    QFile file(*path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(headers + "\r\n\r\n" + text) >= 0;
}
