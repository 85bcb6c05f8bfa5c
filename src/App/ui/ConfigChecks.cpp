#include "ui/ConfigChecks.h"

#include "naming/WildcardPattern.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>
#include <QTime>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("ConfigChecks", text);
}
} // namespace

namespace ConfigChecks {

QString checkInterval(const QString &text)
{
    if (!text.contains(QLatin1Char(':'))) {
        bool ok = false;
        const int minutes = text.trimmed().toInt(&ok);
        if (!ok || minutes < 0)
            return tr("Enter minutes (e.g. 15) or clock times hh:mm separated by \";\"");
        return {};
    }
    for (const QString &entry : text.split(QLatin1Char(';'))) {
        if (!QTime::fromString(entry.trimmed(), QStringLiteral("hh:mm")).isValid())
            return tr("'%1' is not a clock time hh:mm").arg(entry);
    }
    return {};
}

QString serverPort(const QString &host, int port)
{
    if (!host.trimmed().isEmpty() && (port < 1 || port > 65535))
        return tr("Port must be between 1 and 65535");
    return {};
}

QString wildcardPattern(const QString &pattern)
{
    if (pattern.isEmpty())
        return tr("An empty pattern matches no identifier");
    const QRegularExpression regex(WildcardPattern::toRegularExpression(pattern));
    if (!regex.isValid())
        // For example a reversed range "[z-a]".
        return tr("Pattern '%1' can never match: %2").arg(pattern, regex.errorString());
    return {};
}

} // namespace ConfigChecks
