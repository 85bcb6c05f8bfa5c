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

QList<ConfigProblem> problems(const Configuration &config)
{
    QList<ConfigProblem> found;
    const auto note = [&found](const char *group, const QString &key, const QString &text) {
        if (!text.isEmpty())
            found.append({QString::fromLatin1(group), key, text});
    };
    // The patterns of enabled rows; a disabled row is not used and may hold anything.
    const auto patterns = [&note](const char *group, const char *table, const auto &rows, const char *column,
                                  auto pattern) {
        for (qsizetype row = 0; row < rows.size(); ++row) {
            if (rows.at(row).enabled)
                note(group, QStringLiteral("%1\\%2\\%3").arg(QLatin1String(table)).arg(row + 1).arg(QLatin1String(column)),
                     wildcardPattern(rows.at(row).*pattern));
        }
    };
    note("Mail", QStringLiteral("CheckInterval"), checkInterval(config.mail.checkInterval));
    note("Mail", QStringLiteral("Port"), serverPort(config.mail.host, config.mail.port));
    patterns("AksMapping", "Mappings", config.dms.mappings, "Imported", &MappingEntry::imported);
    patterns("AksOptions", "Options", config.dms.options, "DmsAks", &OptionEntry::dmsAks);
    patterns("RangeCheck", "Checks", config.dms.checks, "Aks", &CheckEntry::aks);
    note("Reporting", QStringLiteral("Port"), serverPort(config.report.host, config.report.port));
    return found;
}

} // namespace ConfigChecks
