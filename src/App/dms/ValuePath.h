#pragma once
// The way of a named value into the process database, in the DMS handler's thread: point
// creation with companions and configured data points, statistics, the multiple-write warning,
// the trend grid, the write to the DMS or the PDBS, and the end-of-mail processing of each
// point's last value (last update, state errors, range check, MODBUS address, ":LastMail").

#include "config/Settings.h"
#include "dms/ConfiguredDataPoints.h"
#include "dms/PointSupervision.h"
#include "naming/WildcardPattern.h"
#include "parsing/DataParser.h"

#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>

class DmsAccess;
class PdbsAccess;
class StatusReportSink;

class ValuePath
{
public:
    // Bits of the state word written with every value.
    enum DbState : quint32 {
        DbHeld = 1,        // repeated held value on the trend grid
        DbOrdinary = 2,
        DbMoved = 4,       // moved by at least the trend tolerance
        DbCreated = 16,    // the point was created for this value
        DbBadState = 65536 // the record's state is not 0
    };

    ValuePath(const DmsConfig &config, const QString &appName, PointSupervision &supervision);

    void setConnections(DmsAccess *dms, PdbsAccess *pdbs);
    // Thread-safe: a call in progress on the former receiver ends before this returns.
    void setStatusReportSink(StatusReportSink *sink);

    // Progress texts ("Processing value 50", "Idle", ...).
    std::function<void(const QString &)> onInfo;
    // Called at every 50th value, while the event loop cannot run the watchdog timer.
    std::function<void()> onFiftyValues;
    // Called after every write with the record as written and its state word; leave empty when
    // nobody listens.
    std::function<void(const DataParser::ValueRec &, quint32)> onWritten;

    // Values handed in since the last end-of-mail marker; read from other threads.
    int valueCounter() const { return m_valueCounter.load(); }
    void resetValueCounter() { m_valueCounter = 0; }

    // One named value of a mail.
    void processValue(const DataParser::ValueRec &rec);
    // The end-of-mail marker: post-processing of every point's last value.
    void endOfMail();
    // A marker that arrived while the link was down: the mail's values are forgotten.
    void discardMail();

    // The single write path: DMS point or PDBS trend row.
    void writeValue(const DataParser::ValueRec &rec, quint32 dbState);

private:
    bool createPointIfMissing(const DataParser::ValueRec &rec);
    SupervisionRecord supervisionRecord(const DataParser::ValueRec &rec);
    void writeTrend(const DataParser::ValueRec &rec, SupervisionRecord &sup, bool created);
    void checkRange(const DataParser::ValueRec &rec);
    void updateModbusAddress(const DataParser::ValueRec &rec);
    void warnAndReport(const QString &text);
    void report(const std::function<void(StatusReportSink &)> &call);
    void clearMail();

    struct RangeCheck
    {
        WildcardPattern pattern;
        double min;
        double max;
    };

    const DmsConfig m_config;
    const QString m_appName;
    PointSupervision &m_supervision;
    const ConfiguredDataPoints m_dps;
    QList<RangeCheck> m_rangeChecks;
    DmsAccess *m_dms = nullptr;
    PdbsAccess *m_pdbs = nullptr;
    std::mutex m_sinkMutex;
    StatusReportSink *m_sink = nullptr; // under m_sinkMutex

    std::atomic<int> m_valueCounter{0};
    // The current mail: each point's last record (in the order the points first came) and its
    // statistics.
    QHash<QString, DataParser::ValueRec> m_pending;
    QStringList m_pendingOrder;
    QHash<QString, PointSupervision::MailStatistics> m_statistics;
};
