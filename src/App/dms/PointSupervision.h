#pragma once
// Supervision of the points the DMS handler writes: the last update of each point (expiry and
// recovery, mirrored in "<point>:MDLastUpdate") and the state errors (mirrored in "<point>:State").
// Holds the supervision table and the state-error table, each under its own mutex, so that the
// status report can read them from its own thread. The DMS calls run in the handler's thread.

#include "dms/StateErrorTable.h"
#include "dms/SupervisionTable.h"

#include <QDateTime>
#include <QStringList>

class DmsAccess;

class PointSupervision
{
public:
    // A point's statistics of the current mail.
    struct MailStatistics
    {
        int values = 0;
        int badValues = 0;   // values with a non-zero state
        qint32 lastBadState = 0;
    };

    // Reads every "...:MDLastUpdate" point with its trend configuration and ":State" companion.
    void load(DmsAccess &dms);

    // Expires the points whose last update is older than maxLastUpdate minutes; writes the
    // negated time to their ":MDLastUpdate" when the connection is up. True when any expired.
    bool checkLastUpdate(DmsAccess &dms, int maxLastUpdate);

    // Last-update bookkeeping of a point's last value of a mail (recovery included).
    void recordLastUpdate(DmsAccess &dms, const QString &aks, const QDateTime &stamp, int maxLastUpdate);

    // Judges a point's state errors from its statistics of one mail and mirrors them in ":State".
    void evaluateStateErrors(DmsAccess &dms, const QString &aks, const MailStatistics &stats,
                             int maxStateErrorPercent);

    SupervisionTable &table() { return m_table; }
    StateErrorTable &stateErrors() { return m_stateErrors; }

    // Counts for the driver status points ":UpdateErrors" and ":StateErrors".
    int updateErrorCount(int maxLastUpdate) const;
    int stateErrorCount() const { return m_stateErrors.size(); }

    // Lines of the status report, sorted.
    QStringList expiredPointLines(int maxLastUpdate) const;
    QStringList stateErrorLines() const { return m_stateErrors.stateErrorLines(); }

private:
    SupervisionTable m_table;
    StateErrorTable m_stateErrors;
};
