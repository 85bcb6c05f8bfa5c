#include "dms/ValuePath.h"

#include "dms/StatusReportSink.h"
#include "naming/AksNaming.h"
#include "service/ServiceCounters.h"

#include "KyrIpc/DmsAccess.h"
#include "KyrIpc/PdbsAccess.h"
#include "KyrLogger/Logger.h"

#include <cmath>

namespace {
constexpr int DefaultCycle = 900;
constexpr qint64 MaxGridSpan = 86400; // the trend grid is filled for at most one day back
// The state a refused value counts with in its point's statistics: "Invalid value."
constexpr qint32 InvalidValueState = 2003;
} // namespace

ValuePath::ValuePath(const DmsConfig &config, const QString &appName, PointSupervision &supervision)
    : m_config(config)
    , m_appName(appName)
    , m_supervision(supervision)
    , m_dps(config.dps)
{
    for (const CheckEntry &c : config.checks) {
        if (c.enabled)
            m_rangeChecks.append({WildcardPattern(c.aks), c.min, c.max});
    }
}

void ValuePath::setConnections(DmsAccess *dms, PdbsAccess *pdbs)
{
    m_dms = dms;
    m_pdbs = pdbs;
}

void ValuePath::processValue(const DataParser::ValueRec &rec)
{
    const int counter = ++m_valueCounter;
    if (counter % 50 == 0) {
        if (onInfo)
            onInfo(QStringLiteral("Processing value ") + QString::number(counter));
        if (onFiftyValues)
            onFiftyValues();
    }

    PointSupervision::MailStatistics &stats = m_statistics[rec.aks];
    if (!std::isfinite(rec.value)) {
        // No meter sends NaN or infinity, and the process database cannot hold it: the value is
        // refused and counts as a faulty value of its point, so the point's state error shows it.
        ++stats.values;
        ++stats.badValues;
        stats.lastBadState = InvalidValueState;
        warnAndReport(QStringLiteral("Value not finite on datapoint ") + rec.aks + QStringLiteral(", value: ")
                      + QString::number(rec.value));
        return;
    }

    const bool created = createPointIfMissing(rec);

    ++stats.values;
    if (rec.state != 0) {
        ++stats.badValues;
        stats.lastBadState = rec.state;
    }

    auto pending = m_pending.find(rec.aks);
    if (pending == m_pending.end()) {
        m_pendingOrder.append(rec.aks);
        m_pending.insert(rec.aks, rec);
    } else {
        if (!pending->serialNumber.isEmpty() && !rec.serialNumber.isEmpty()
            && pending->serialNumber != rec.serialNumber) {
            warnAndReport(QStringLiteral("Multiple write on datapoint ") + rec.aks
                          + QStringLiteral(" from serial number ") + pending->serialNumber
                          + QStringLiteral(" and ") + rec.serialNumber);
        }
        *pending = rec;
    }

    SupervisionRecord sup = supervisionRecord(rec);
    const quint32 bad = rec.state != 0 ? quint32(DbBadState) : 0u;
    if (!m_config.useTrdConfig || rec.increment) {
        writeValue(rec, (created ? DbCreated : DbOrdinary) | bad);
        return;
    }
    writeTrend(rec, sup, created);
    m_supervision.table().insert(rec.aks, sup);
}

bool ValuePath::createPointIfMissing(const DataParser::ValueRec &rec)
{
    if (m_dms->ReadType(rec.aks) == Orvane::FLT)
        return false;
    LOG_OUT(Kyr::LogInfo, "Creating %1").arg(rec.aks).endl();
    m_dms->CreatePoint(rec.aks, Orvane::FLT, 10, true, -1);
    m_dms->CreatePoint(rec.aks + QStringLiteral(":State"), Orvane::DWS, 10, true, -1);
    const QString lastUpdatePoint = rec.aks + QStringLiteral(":MDLastUpdate");
    m_dms->CreatePoint(lastUpdatePoint, Orvane::DWS, 10, true, -1);
    m_dms->SendDws(lastUpdatePoint, -1, 10, true);
    m_dps.apply(*m_dms, rec);
    report([&rec](StatusReportSink &sink) { sink.addCreatedAks(rec.aks); });
    ++ServiceCounters::instance().pointsCreated;
    return true;
}

SupervisionRecord ValuePath::supervisionRecord(const DataParser::ValueRec &rec)
{
    SupervisionRecord sup;
    if (m_supervision.table().find(rec.aks, sup))
        return sup;
    // A point first seen in a mail keeps its cycle as read (no lower bound as at start-up).
    qint32 cycle = DefaultCycle;
    if (m_dms->ReadDws(rec.aks + QStringLiteral(":TRD:CYCLE"), cycle) != 0)
        cycle = DefaultCycle;
    sup.cycle = cycle;
    if (m_dms->ReadFlt(rec.aks + QStringLiteral(":TRD:TOL"), sup.tolerance) != 0)
        sup.tolerance = 0.0;
    sup.heldValue = rec.value;
    sup.lastTrendValue = rec.value;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    sup.slot = now;
    sup.lastTrendTime = now;
    // The record's own time as last update: positive, so the end-of-mail bookkeeping runs.
    sup.lastUpdate = rec.timestamp.toSecsSinceEpoch();
    m_supervision.table().insert(rec.aks, sup);
    return sup;
}

void ValuePath::writeTrend(const DataParser::ValueRec &rec, SupervisionRecord &sup, bool created)
{
    const qint64 t = rec.timestamp.toSecsSinceEpoch();
    const quint32 bad = rec.state != 0 ? quint32(DbBadState) : 0u;
    qint64 slot = sup.slot;
    if (std::abs(t - slot) > MaxGridSpan)
        slot = t - MaxGridSpan;
    // A cycle that is not positive has no grid to fill.
    bool firstRepeat = true;
    while (sup.cycle > 0 && slot + sup.cycle < t) {
        const qint64 repeat = slot + sup.cycle;
        if (repeat != sup.lastTrendTime) {
            DataParser::ValueRec held = rec;
            held.timestamp = QDateTime::fromSecsSinceEpoch(repeat);
            held.value = sup.heldValue;
            writeValue(held, ((created && firstRepeat) ? DbCreated : DbHeld) | bad);
            firstRepeat = false;
        }
        slot += sup.cycle;
    }
    sup.slot = slot;
    sup.heldValue = rec.value;
    if (std::abs(rec.value - sup.lastTrendValue) >= sup.tolerance) {
        writeValue(rec, (created ? DbCreated : DbMoved) | bad);
        sup.lastTrendValue = rec.value;
        sup.lastTrendTime = t;
    }
}

void ValuePath::writeValue(const DataParser::ValueRec &rec, quint32 dbState)
{
    if (rec.flagList.contains(AksNaming::OptSkipBadState) && rec.state != 0)
        return;
    if (!m_config.writeDataToPdbs) {
        if (m_dms->SendFlt(rec.aks, rec.value, rec.timestamp, 10, true) != 0)
            LOG_OUT(Kyr::LogWarning, "Could not send value %1 - %2").arg(rec.aks).arg(rec.value).endl();
    } else {
        m_pdbs->AppendTrendData(rec.timestamp.toMSecsSinceEpoch(), rec.value, dbState, rec.aks);
    }
    ++ServiceCounters::instance().valuesWritten;
    if (onWritten)
        onWritten(rec, dbState);
}

void ValuePath::endOfMail()
{
    if (onInfo)
        onInfo(QStringLiteral("Processing last values: ") + QString::number(m_pending.size())
               + u'/' + QString::number(m_valueCounter.load()));
    for (const QString &aks : std::as_const(m_pendingOrder)) {
        const DataParser::ValueRec &r = m_pending[aks];
        const bool skipBadState = r.flagList.contains(AksNaming::OptSkipBadState) && r.state != 0;
        if (m_config.writeDataToPdbs && m_config.writeLastEntryToDms && !skipBadState) {
            if (m_dms->SendFlt(aks, r.value, r.timestamp, 10, true) != 0)
                LOG_OUT(Kyr::LogWarning, "Could not send last value %1 - %2").arg(aks).arg(r.value).endl();
        }
        m_supervision.recordLastUpdate(*m_dms, aks, r.timestamp, m_config.maxLastUpdate);
        if (m_config.alwaysCheckDps)
            m_dps.apply(*m_dms, r);
        auto stats = m_statistics.constFind(aks);
        if (stats != m_statistics.constEnd()) {
            m_supervision.evaluateStateErrors(*m_dms, aks, *stats, m_config.maxStateErrorPercent);
            m_statistics.remove(aks);
        }
        checkRange(r);
        updateModbusAddress(r);
    }
    if (!m_pendingOrder.isEmpty()) {
        m_dms->SendStr(QStringLiteral("System:Driver:") + m_appName + QStringLiteral(":LastMail"),
                       QDateTime::currentDateTime().toString(Qt::ISODate), 10, true);
    }
    clearMail();
    if (onInfo)
        onInfo(QStringLiteral("Idle"));
}

void ValuePath::discardMail()
{
    clearMail();
}

void ValuePath::clearMail()
{
    m_pending.clear();
    m_pendingOrder.clear();
    m_statistics.clear();
    m_valueCounter = 0;
}

void ValuePath::checkRange(const DataParser::ValueRec &rec)
{
    for (const RangeCheck &check : std::as_const(m_rangeChecks)) {
        if (!check.pattern.matches(rec.aks))
            continue;
        if (rec.value < check.min || rec.value > check.max)
            warnAndReport(QStringLiteral("Value out of range on datapoint ") + rec.aks
                          + QStringLiteral(", value: ") + QString::number(rec.value, 'g', 6));
        return; // the first matching entry decides
    }
}

void ValuePath::updateModbusAddress(const DataParser::ValueRec &rec)
{
    if (!rec.flagList.contains(AksNaming::OptModbusIp) || rec.ipAddress.isEmpty())
        return;
    const QString folder = rec.aks + QStringLiteral(":MODBUS");
    const QString ipPoint = folder + QStringLiteral(":MB_IP");
    QString oldIp;
    if (m_dms->ReadStr(ipPoint, oldIp) != 0 || oldIp == rec.ipAddress)
        return;
    LOG_OUT(Kyr::LogInfo, "Changing MODBUS IP for %1 from %2 to %3 (SN:%4)")
        .arg(ipPoint).arg(oldIp).arg(rec.ipAddress).arg(rec.serialNumber).endl();
    m_dms->SendStr(ipPoint, rec.ipAddress, 10, true);
    quint32 telegram = 0;
    if (m_dms->ReadDwu(folder + QStringLiteral(":MB_TELEGRAM"), telegram) == 0)
        m_dms->SendStr(folder, rec.ipAddress + QStringLiteral(" T")
                                   + QStringLiteral("%1").arg(telegram, 5, 10, QLatin1Char('0')),
                       10, true);
}

void ValuePath::warnAndReport(const QString &text)
{
    LOG_OUT(Kyr::LogWarning, text).endl();
    report([&text](StatusReportSink &sink) { sink.addMiscMessage(text); });
}

void ValuePath::setStatusReportSink(StatusReportSink *sink)
{
    const std::lock_guard lock(m_sinkMutex);
    m_sink = sink;
}

void ValuePath::report(const std::function<void(StatusReportSink &)> &call)
{
    const std::lock_guard lock(m_sinkMutex);
    if (m_sink)
        call(*m_sink);
}
