#pragma once
// Writes a point store's changes to its database (the SQLite file or a PostgreSQL server) in a
// thread of its own, many changes per transaction, so that a write of a point costs the caller no
// disk or network work. The store's memory stays the truth for reads. The queue is bounded: when
// MaxQueuedChanges wait, a caller handing in another change waits until the thread has taken the
// queue, so memory stays bounded however fast values come. A failed transaction is logged at once
// and reported by the next waitUntilCommitted().
//
// A server can go away. The thread connects to it, and while idle checks every ProbeIntervalMs
// that it still answers. When it is lost, the batch in hand and the queue are kept, the commit
// barrier answers false at once, and the link listener hears "down" (the store then refuses new
// writes, so the queue cannot grow past its bound while the server is away). The thread connects
// again every ReconnectIntervalMs; once the server answers, it writes what it kept and only then
// tells the listener "up".

#include "KyrIpc/StoreDatabase.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Orvane {

class StoreWriter
{
public:
    static constexpr std::size_t MaxQueuedChanges = 50000;
    static constexpr int ProbeIntervalMs = 1000;
    // Failed batches kept for the next barrier; past it the last one is widened.
    static constexpr std::size_t MaxKeptFailures = 64;
    static constexpr int ReconnectIntervalMs = 1000;
    // Called from the writer's thread, never with the queue full of waiting callers.
    using LinkListener = std::function<void(bool up)>;

    explicit StoreWriter(std::unique_ptr<StoreDatabase> database, LinkListener listener = {});
    // Writes what is still queued (when the database is reachable), then ends the thread.
    ~StoreWriter();
    StoreWriter(const StoreWriter &) = delete;
    StoreWriter &operator=(const StoreWriter &) = delete;

    void savePoint(const StoreDatabase::PointRow &row);
    void appendTrend(const StoreDatabase::TrendRow &row);
    // Returns when every change handed in before the call has been through its transaction, or at
    // once while the server is away. True when every change handed in after the previous call and
    // before this one committed; otherwise false, and *error (if given) names the failure. Only
    // after true are those changes in the database. A failure is answered by the barriers whose
    // changes it held, never by a later one.
    bool waitUntilCommitted(QString *error = nullptr);
    // Test hook: while true, every transaction fails at its commit (and is rolled back).
    void setFailingCommits(bool failing) { m_failingCommits = failing; }
    // Trend rows of a point, after the changes handed in so far were written.
    QList<StoreDatabase::TrendRow> trendRows(const QString &point, const QString &connection);
    // The database's points of a connection string as they are now (the link listener reads them
    // when the server is back).
    QList<StoreDatabase::PointRow> points(const QString &connection);
    // Transactions the database refused since the start (each logged with its reason).
    quint64 failedTransactions() const;

private:
    using Change = StoreDatabase::Change;
    void enqueue(Change change);
    // Waits (m_mutex held by lock) until every change handed in so far went through its
    // transaction or the server is away; false when it is away.
    bool waitUntilWritten(std::unique_lock<std::mutex> &lock);
    // The first failure among the changes after the previous barrier up to target; forgets the
    // failures no later barrier answers for.
    QString takeFailure(quint64 target);
    void run();
    // Connects until the server answers or the writer stops; true when connected.
    bool connectAgain(std::unique_lock<std::mutex> &lock);
    // The database went away: keep everything, release the waiting callers, tell the listener.
    void lose(std::unique_lock<std::mutex> &lock);
    // Writes one batch in one transaction; false when the connection was lost meanwhile.
    bool writeBatch(std::unique_lock<std::mutex> &lock, const std::deque<Change> &batch);

    std::unique_ptr<StoreDatabase> m_database;
    const LinkListener m_listener;
    std::mutex m_fileMutex; // held while the database is written or read
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::condition_variable m_written;
    std::deque<Change> m_queue;
    quint64 m_queued = 0;  // changes handed in so far
    quint64 m_done = 0;    // changes through their transaction so far
    struct FailedBatch
    {
        quint64 first; // the batch's changes by their number in handing in, first to last
        quint64 last;
        QString error;
    };
    std::vector<FailedBatch> m_failures; // failed batches a barrier has yet to answer for
    quint64 m_barrierTarget = 0; // the changes handed in before the previous barrier
    bool m_away = false;   // the server is not connected
    QString m_awayReason;  // why it is not
    bool m_announceUp = false; // connected again: tell the listener once the kept changes are written
    quint64 m_failedTransactions = 0;
    bool m_stop = false;
    std::atomic<bool> m_failingCommits{false};
    std::thread m_thread;
};

} // namespace Orvane
