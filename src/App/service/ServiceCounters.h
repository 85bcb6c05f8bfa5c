#pragma once
// What the running instance has done since its start, for the status and the metrics: plain
// atomics that the mail intake, the value path and the reporter bump at the end of their work, so
// a reader on another thread never waits for them. Only the last check's result text has a lock of
// its own, taken once per check.

#include <QDateTime>
#include <QMutex>
#include <QString>

#include <atomic>

class ServiceCounters
{
public:
    // The one set of the process; it outlives configuration reloads and handler restarts.
    static ServiceCounters &instance();

    // A check that ran (logged in or tried to) and ended now: its duration and result text.
    void checkDone(qint64 durationMs, const QString &result);
    // A check that the guard skipped ("<Paused>", "<DMS/PDBS not ready>", ...).
    void checkSkipped(const QString &result);
    void mailsHandled(int ok, int failed)
    {
        mailsOk += ok;
        mailsFailed += failed;
    }

    // The last check's result and when it came; an empty text before the first.
    QString lastResult() const;
    QDateTime lastResultTime() const;

    std::atomic<quint64> mailChecks{0};
    std::atomic<quint64> mailsOk{0};
    std::atomic<quint64> mailsFailed{0};
    std::atomic<quint64> valuesWritten{0};
    std::atomic<quint64> pointsCreated{0};
    std::atomic<quint64> reportsSent{0};
    // End of the last check that ran (milliseconds since the epoch, 0: none yet) and its duration.
    std::atomic<qint64> lastCheckEndMs{0};
    std::atomic<qint64> lastCheckDurationMs{0};
    // The controller's view of the DMS link (state Idle), for readers off the main thread.
    std::atomic<bool> dmsUp{false};

private:
    mutable QMutex m_resultMutex;
    QString m_lastResult;
    qint64 m_lastResultMs = 0;
};
