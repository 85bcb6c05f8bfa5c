#pragma once
// Writes a point store's changes to its SQLite file in a thread of its own, many changes per
// transaction, so that a write of a point costs the caller no disk work. The store's memory stays
// the truth for reads. The queue is bounded: when MaxQueuedChanges wait, a caller handing in
// another change waits until the thread has taken the queue, so memory stays bounded however fast
// values come. A failed transaction is logged at once and reported by the next
// waitUntilCommitted().

#include "KyrIpc/StoreFile.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>

namespace Orvane {

class StoreWriter
{
public:
    static constexpr std::size_t MaxQueuedChanges = 50000;

    explicit StoreWriter(std::unique_ptr<StoreFile> file);
    // Writes what is still queued, then ends the thread.
    ~StoreWriter();
    StoreWriter(const StoreWriter &) = delete;
    StoreWriter &operator=(const StoreWriter &) = delete;

    void savePoint(const StoreFile::PointRow &row);
    void appendTrend(const StoreFile::TrendRow &row);
    // Returns when every change handed in before the call has been through its transaction. True
    // when all transactions since the previous call committed; otherwise false, and *error (if
    // given) names the failure. Only after true are those changes in the file.
    bool waitUntilCommitted(QString *error = nullptr);
    // Test hook: while true, every transaction fails at its commit (and is rolled back).
    void setFailingCommits(bool failing) { m_failingCommits = failing; }
    // Trend rows of a point, after the changes handed in so far were written.
    QList<StoreFile::TrendRow> trendRows(const QString &point, const QString &connection);

private:
    using Change = std::variant<StoreFile::PointRow, StoreFile::TrendRow>;
    void enqueue(Change change);
    // Waits (m_mutex held by lock) until every change handed in so far went through its transaction.
    void waitUntilWritten(std::unique_lock<std::mutex> &lock);
    void run();
    // Writes one batch in one transaction; the error text when it failed.
    QString writeBatch(const std::deque<Change> &batch);

    std::unique_ptr<StoreFile> m_file;
    std::mutex m_fileMutex; // held while the file is written or read
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::condition_variable m_written;
    std::deque<Change> m_queue;
    quint64 m_queued = 0;  // changes handed in so far
    quint64 m_done = 0;    // changes through their transaction so far
    QString m_failure;     // first failed transaction since the last waitUntilCommitted
    bool m_stop = false;
    std::atomic<bool> m_failingCommits{false};
    std::thread m_thread;
};

} // namespace Orvane
