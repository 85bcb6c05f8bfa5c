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

namespace Orvane {

class StoreWriter
{
public:
    static constexpr std::size_t MaxQueuedChanges = 50000;
    static constexpr int ProbeIntervalMs = 1000;
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
    // once while the server is away. True when all transactions since the previous call committed;
    // otherwise false, and *error (if given) names the failure. Only after true are those changes
    // in the database.
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
    QString m_failure;     // first failed transaction since the last waitUntilCommitted
    bool m_away = false;   // the server is not connected
    QString m_awayReason;  // why it is not
    bool m_announceUp = false; // connected again: tell the listener once the kept changes are written
    quint64 m_failedTransactions = 0;
    bool m_stop = false;
    std::atomic<bool> m_failingCommits{false};
    std::thread m_thread;
};

} // namespace Orvane
