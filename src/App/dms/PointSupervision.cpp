#include "dms/PointSupervision.h"

#include "KyrIpc/DmsAccess.h"
#include "KyrLogger/Logger.h"

#include <algorithm>
#include <limits>

namespace {
constexpr int DefaultCycle = 900;
constexpr int MinLoadedCycle = 30;

// The ":MDLastUpdate" companion is a DWS point of 32 bits: a time beyond 2038-01-19 is written
// as its largest value, while the supervision record keeps the whole time.
qint32 dwsSeconds(qint64 seconds)
{
    return qint32(std::clamp<qint64>(seconds, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}
} // namespace

void PointSupervision::load(DmsAccess &dms)
{
    m_table.clear();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QStringList names = dms.enumNames(QString(), QStringLiteral("MDLastUpdate"));
    for (const QString &name : names) {
        qint32 lastUpdate = 0;
        dms.ReadDws(name, lastUpdate);
        const QString base = name.left(name.lastIndexOf(u':'));

        SupervisionRecord rec;
        qint32 cycle = DefaultCycle;
        if (dms.ReadDws(base + QStringLiteral(":TRD:CYCLE"), cycle) != 0)
            cycle = DefaultCycle;
        rec.cycle = qMax(cycle, MinLoadedCycle);
        if (dms.ReadFlt(base + QStringLiteral(":TRD:TOL"), rec.tolerance) != 0)
            rec.tolerance = 0.0;
        if (dms.ReadFlt(base, rec.heldValue) != 0)
            rec.heldValue = 0.0;
        if (dms.ReadFlt(base, rec.lastTrendValue) != 0)
            rec.lastTrendValue = 0.0;
        rec.lastUpdate = lastUpdate;
        rec.slot = lastUpdate != 0 ? lastUpdate : now;
        rec.lastTrendTime = rec.slot;
        m_table.insert(base, rec);

        qint32 state = 0;
        if (dms.ReadDws(base + QStringLiteral(":State"), state) == 0 && state != 0)
            m_stateErrors.insert(base, state);
    }
}

bool PointSupervision::checkLastUpdate(DmsAccess &dms, int maxLastUpdate)
{
    if (maxLastUpdate <= 0)
        return false;
    const QList<SupervisionTable::Expired> expired =
        m_table.expire(QDateTime::currentSecsSinceEpoch(), qint64(maxLastUpdate) * 60);
    const bool connected = dms.getConnectionState() == 0;
    for (const SupervisionTable::Expired &e : expired) {
        LOG_OUT(Kyr::LogWarning, "Last update %1 for %2 expired")
            .arg(QDateTime::fromSecsSinceEpoch(e.lastUpdate).toString(Qt::ISODate))
            .arg(e.aks)
            .endl();
        if (connected)
            dms.SendDws(e.aks + QStringLiteral(":MDLastUpdate"), dwsSeconds(-e.lastUpdate), 10, true);
    }
    return !expired.isEmpty();
}

void PointSupervision::recordLastUpdate(DmsAccess &dms, const QString &aks, const QDateTime &stamp,
                                        int maxLastUpdate)
{
    if (maxLastUpdate <= 0)
        return;
    const qint64 seconds = stamp.toSecsSinceEpoch();
    SupervisionRecord rec;
    if (m_table.find(aks, rec)) {
        if (rec.lastUpdate == 0)
            return;
        if (rec.lastUpdate < 0) {
            // An expired point recovers only with a value younger than the maximum age.
            if (seconds + qint64(maxLastUpdate) * 60 < QDateTime::currentSecsSinceEpoch())
                return;
            LOG_OUT(Kyr::LogInfo, "Last update for datapoint %1 is ok now").arg(aks).endl();
        }
    }
    m_table.setLastUpdate(aks, seconds);
    dms.SendDws(aks + QStringLiteral(":MDLastUpdate"), dwsSeconds(seconds), 10, true);
}

void PointSupervision::evaluateStateErrors(DmsAccess &dms, const QString &aks,
                                           const MailStatistics &stats, int maxStateErrorPercent)
{
    const StateErrorTable::Change change =
        m_stateErrors.evaluate(aks, stats.values, stats.badValues, stats.lastBadState, maxStateErrorPercent);
    qint32 state = 0;
    switch (change) {
    case StateErrorTable::Change::None:
        return;
    case StateErrorTable::Change::Recovered:
        LOG_OUT(Kyr::LogInfo, "State for datapoint %1 is ok now").arg(aks).endl();
        break;
    case StateErrorTable::Change::Entered:
        LOG_OUT(Kyr::LogWarning, "State error %1 datapoint %2").arg(stats.lastBadState).arg(aks).endl();
        state = stats.lastBadState;
        break;
    case StateErrorTable::Change::StillInError:
        state = stats.lastBadState;
        break;
    }
    const QString statePoint = aks + QStringLiteral(":State");
    if (dms.SendDws(statePoint, state, 10, true) != 0) {
        LOG_OUT(Kyr::LogWarning, "Could not send state %1 - %2").arg(aks).arg(state).endl();
        dms.CreatePoint(statePoint, Orvane::DWS, 10, true, -1);
    }
}

int PointSupervision::updateErrorCount(int maxLastUpdate) const
{
    return maxLastUpdate > 0 ? m_table.expiredCount() : 0;
}

QStringList PointSupervision::expiredPointLines(int maxLastUpdate) const
{
    return maxLastUpdate > 0 ? m_table.expiredPointLines() : QStringList();
}
