#include "ui/ConfigChecks.h"

#include "mail/CheckInterval.h"
#include "naming/WildcardPattern.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ConfigChecks", text);
}

// The patterns of enabled rows; a disabled row is not used and may hold anything.
template<typename Row>
void checkPatterns(QList<ConfigProblem> &problems, const char *group, const char *table, const QList<Row> &rows,
                   QString Row::*pattern, const char *field)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!rows.at(i).enabled)
            continue;
        const QString problem = ConfigChecks::wildcardPattern(rows.at(i).*pattern);
        if (!problem.isEmpty())
            problems.append({QLatin1String(group), ConfigChecks::rowKey(table, i, field), problem});
    }
}

void add(QList<ConfigProblem> &problems, const char *group, const char *key, const QString &problem)
{
    if (!problem.isEmpty())
        problems.append({QLatin1String(group), QLatin1String(key), problem});
}

} // namespace

namespace ConfigChecks {

QList<ConfigProblem> problems(const Configuration &config)
{
    QList<ConfigProblem> found;
    add(found, "Mail", "Port", serverPort(config.mail.host, config.mail.port));
    add(found, "Mail", "CheckInterval", CheckInterval::problem(config.mail.checkInterval));
    checkPatterns(found, "AksMapping", "Mappings", config.dms.mappings, &MappingEntry::imported, "Imported");
    checkPatterns(found, "AksOptions", "Options", config.dms.options, &OptionEntry::dmsAks, "DmsAks");
    checkPatterns(found, "RangeCheck", "Checks", config.dms.checks, &CheckEntry::aks, "Aks");
    add(found, "Reporting", "Port", serverPort(config.report.host, config.report.port));
    add(found, "Service", "MetricsPort", metricsPort(config.service.metricsPort));
    if (config.service.metricsPort > 0)
        add(found, "Service", "MetricsAddress", ipAddress(config.service.metricsAddress));
    return found;
}

QString serverPort(const QString &host, int port)
{
    if (!host.trimmed().isEmpty() && (port < 1 || port > 65535))
        return tr("Port must be between 1 and 65535");
    return {};
}

QString metricsPort(int port)
{
    if (port < 0 || port > 65535)
        return tr("Port must be between 1 and 65535, or 0 for no metrics");
    return {};
}

QString ipAddress(const QString &text)
{
    if (QHostAddress().setAddress(text.trimmed()))
        return {};
    return tr("'%1' is no IP address (for example 127.0.0.1, or 0.0.0.0 for every interface)").arg(text);
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

QString rowKey(const char *table, qsizetype row, const char *field)
{
    return QStringLiteral("%1/%2/%3").arg(QLatin1String(table)).arg(row + 1).arg(QLatin1String(field));
}

} // namespace ConfigChecks
