#include "service/InstanceStatus.h"

#include "AppMain.h"
#include "service/ServiceCounters.h"

#include <QJsonArray>

namespace {
constexpr auto kQueuedUnique = Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection);

QString kindText(int kind)
{
    switch (kind) {
    case Kyr::State_UI::KindOk:
        return QStringLiteral("ok");
    case Kyr::State_UI::KindInactive:
        return QStringLiteral("inactive");
    case Kyr::State_UI::KindInProgress:
        return QStringLiteral("in progress");
    default:
        return QStringLiteral("error");
    }
}

// An instant with its offset from UTC, unambiguous on the nights the clocks change; null if none.
QJsonValue instant(const QDateTime &time)
{
    if (!time.isValid())
        return QJsonValue();
    const QDateTime local = time.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}
} // namespace

InstanceStatus::InstanceStatus(AppMain *app, QObject *parent) : QObject(parent), m_app(app)
{
    m_state.importInfo = m_state.searchInfo = m_state.exportInfo = QCoreApplication::translate("TrayMenu", "Idle");
    connect(app, &AppMain::sigStateChanged, this, &InstanceStatus::onStateChanged, Qt::QueuedConnection);
    connect(app, &AppMain::sigNextMailCheckDt, this, &InstanceStatus::onNextMailCheckDt, kQueuedUnique);
    connect(app, &AppMain::sigHandlersStarted, this, &InstanceStatus::followHandlers);
}

void InstanceStatus::onStateChanged(bool paused, DmsHandler::DmsState state, const QString &mailError,
                                    const QString &repError)
{
    m_state.running = !paused;
    m_state.dmsState = state;
    m_state.mailError = mailError;
    m_state.reportError = repError;
    ServiceCounters::instance().dmsUp = state == DmsHandler::Idle;
    emit sigChanged();
}

void InstanceStatus::onNextMailCheckDt(const QDateTime &dt)
{
    m_state.nextCheck = dt;
    emit sigChanged();
}

// The tools' progress texts, from whichever handlers a start or reload made.
void InstanceStatus::followHandlers()
{
    const auto follow = [this](ToolThread *tool, QString *info) {
        if (tool)
            connect(tool, &ToolThread::sigInfo, this, [info](const QString &text) { *info = text; }, Qt::QueuedConnection);
    };
    follow(m_app->importHandler(), &m_state.importInfo);
    follow(m_app->searchHandler(), &m_state.searchInfo);
    follow(m_app->exportFileToSQLiteHandler(), &m_state.exportInfo);
    follow(m_app->exportSQLiteToHdbxHandler(), &m_state.exportInfo);
}

QJsonObject InstanceStatus::json() const
{
    const ServiceCounters &c = ServiceCounters::instance();
    QJsonArray rowList;
    for (const Kyr::State_UI::StateRecord &row : rows())
        rowList.append(QJsonObject{{QStringLiteral("part"), row.name}, {QStringLiteral("state"), kindText(row.kind)},
                                   {QStringLiteral("text"), row.text}});
    const qint64 lastEnd = c.lastCheckEndMs;
    return {
        {QStringLiteral("application"), m_app->applicationName()},
        {QStringLiteral("version"), m_app->applicationVersion()},
        {QStringLiteral("paused"), isPaused()},
        {QStringLiteral("rows"), rowList},
        {QStringLiteral("nextMailCheck"), instant(m_state.nextCheck)},
        {QStringLiteral("lastCheckResult"), c.lastResult()},
        {QStringLiteral("lastCheckResultTime"), instant(c.lastResultTime())},
        {QStringLiteral("lastCheckEnd"), instant(lastEnd > 0 ? QDateTime::fromMSecsSinceEpoch(lastEnd) : QDateTime())},
        {QStringLiteral("lastCheckDurationSeconds"), double(c.lastCheckDurationMs) / 1000.0},
        {QStringLiteral("lastMailError"), m_state.mailError},
        {QStringLiteral("lastReportError"), m_state.reportError},
        {QStringLiteral("dms"), DmsHandler::stateText(m_state.dmsState)},
        {QStringLiteral("counters"),
         QJsonObject{{QStringLiteral("mailChecks"), qint64(c.mailChecks)},
                     {QStringLiteral("mailsOk"), qint64(c.mailsOk)},
                     {QStringLiteral("mailsFailed"), qint64(c.mailsFailed)},
                     {QStringLiteral("valuesWritten"), qint64(c.valuesWritten)},
                     {QStringLiteral("pointsCreated"), qint64(c.pointsCreated)},
                     {QStringLiteral("reportsSent"), qint64(c.reportsSent)}}},
    };
}

QString InstanceStatus::text() const
{
    const QJsonObject j = json();
    QString out = QStringLiteral("%1 %2\n\n").arg(m_app->applicationName(), m_app->applicationVersion());
    for (const QJsonValue &row : j.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject r = row.toObject();
        out += QStringLiteral("%1 %2 %3\n")
                   .arg(r.value(QStringLiteral("part")).toString(), -9)
                   .arg(r.value(QStringLiteral("state")).toString(), -12)
                   .arg(r.value(QStringLiteral("text")).toString());
    }
    const QJsonObject n = j.value(QStringLiteral("counters")).toObject();
    const auto count = [&n](const char *key) { return QString::number(n.value(QLatin1String(key)).toInteger()); };
    const auto line = [&out](const char *label, const QString &value) {
        out += QStringLiteral("%1 %2\n").arg(QLatin1String(label), -19).arg(value);
    };
    out += u'\n';
    line("Mail intake:", isPaused() ? QStringLiteral("paused") : QStringLiteral("running"));
    line("Next mail check:", orDash(j.value(QStringLiteral("nextMailCheck")).toString()));
    line("Last check:", orDash((j.value(QStringLiteral("lastCheckResultTime")).toString() + u' '
                                + j.value(QStringLiteral("lastCheckResult")).toString())
                                   .trimmed()));
    line("Last check ran:", j.value(QStringLiteral("lastCheckEnd")).isNull()
                                ? QStringLiteral("-")
                                : QStringLiteral("%1 (%2 s)")
                                      .arg(j.value(QStringLiteral("lastCheckEnd")).toString())
                                      .arg(j.value(QStringLiteral("lastCheckDurationSeconds")).toDouble(), 0, 'f', 1));
    line("Last intake error:", orDash(m_state.mailError));
    line("Last report error:", orDash(m_state.reportError));
    line("DMS link:", j.value(QStringLiteral("dms")).toString());
    line("Since start:", QStringLiteral("%1 checks, %2 mails ok, %3 failed, %4 values written, %5 points created, "
                                        "%6 reports sent")
                             .arg(count("mailChecks"), count("mailsOk"), count("mailsFailed"), count("valuesWritten"),
                                  count("pointsCreated"), count("reportsSent")));
    return out;
}

QString InstanceStatus::summary() const
{
    const ServiceCounters &c = ServiceCounters::instance();
    QString text = isPaused() ? QStringLiteral("Paused") : QStringLiteral("Running");
    text += QStringLiteral("; DMS ") + DmsHandler::stateText(m_state.dmsState);
    if (!m_state.mailError.isEmpty())
        text += QStringLiteral("; intake: ") + m_state.mailError;
    if (m_state.nextCheck.isValid())
        text += QStringLiteral("; next check ") + StateRows::checkTimeText(m_state.nextCheck);
    return text + QStringLiteral("; mails %1 ok, %2 failed").arg(c.mailsOk).arg(c.mailsFailed);
}
