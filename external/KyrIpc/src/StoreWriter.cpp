#include "KyrIpc/StoreWriter.h"

#include "KyrLogger/Logger.h"

#include <chrono>

namespace Orvane {

StoreWriter::StoreWriter(std::unique_ptr<StoreDatabase> database, LinkListener listener)
    : m_database(std::move(database)),
      m_listener(std::move(listener)),
      m_away(m_database->canLoseConnection()),
      m_thread([this] { run(); })
{
}

StoreWriter::~StoreWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void StoreWriter::savePoint(const StoreDatabase::PointRow &row)
{
    enqueue(row);
}

void StoreWriter::appendTrend(const StoreDatabase::TrendRow &row)
{
    enqueue(row);
}

void StoreWriter::enqueue(Change change)
{
    {
        std::unique_lock lock(m_mutex);
        // While the server is away the store refuses writes, so the few that raced the loss may
        // pass the bound instead of waiting for a server that is not there.
        m_written.wait(lock, [this] { return m_queue.size() < MaxQueuedChanges || m_away; });
        m_queue.push_back(std::move(change));
        ++m_queued;
    }
    m_changed.notify_one();
}

bool StoreWriter::waitUntilWritten(std::unique_lock<std::mutex> &lock)
{
    const quint64 target = m_queued;
    m_written.wait(lock, [this, target] { return m_done >= target || m_away; });
    return m_done >= target;
}

bool StoreWriter::waitUntilCommitted(QString *error)
{
    std::unique_lock lock(m_mutex);
    if (!waitUntilWritten(lock)) {
        takeFailure(m_queued); // those changes are answered for now: the barrier failed
        if (error) {
            *error = QStringLiteral("%1 changes wait for %2, which cannot be reached: %3")
                         .arg(m_queued - m_done)
                         .arg(m_database->location(), m_awayReason);
        }
        return false;
    }
    const QString failure = takeFailure(m_queued);
    if (error)
        *error = failure;
    return failure.isEmpty();
}

QString StoreWriter::takeFailure(quint64 target)
{
    // This barrier answers for the changes handed in after the previous one and up to target;
    // a failed batch that also held later changes stays for the next barrier.
    const quint64 previous = std::exchange(m_barrierTarget, target);
    QString failure;
    for (const FailedBatch &batch : m_failures) {
        if (failure.isEmpty() && batch.last > previous && batch.first <= target)
            failure = batch.error;
    }
    std::erase_if(m_failures, [target](const FailedBatch &batch) { return batch.last <= target; });
    return failure;
}

QList<StoreDatabase::TrendRow> StoreWriter::trendRows(const QString &point, const QString &connection)
{
    {
        std::unique_lock lock(m_mutex);
        waitUntilWritten(lock);  // a failure stays for the next barrier
    }
    std::lock_guard fileLock(m_fileMutex);
    return m_database->trendRows(point, connection);
}

QList<StoreDatabase::PointRow> StoreWriter::points(const QString &connection)
{
    std::lock_guard fileLock(m_fileMutex);
    return m_database->points(connection);
}

quint64 StoreWriter::failedTransactions() const
{
    std::lock_guard lock(m_mutex);
    return m_failedTransactions;
}

bool StoreWriter::writeBatch(std::unique_lock<std::mutex> &lock, const std::deque<Change> &batch)
{
    lock.unlock();
    StoreDatabase::WriteResult result;
    QString error;
    {
        std::lock_guard fileLock(m_fileMutex);
        if (m_failingCommits) { // test hook: the batch is lost as on a full disk
            result = StoreDatabase::WriteResult::Failed;
            error = QStringLiteral("could not commit: refused (failing commits set)");
        } else {
            result = m_database->write(batch);
            if (result != StoreDatabase::WriteResult::Committed)
                error = m_database->errorText();
        }
    }
    if (result == StoreDatabase::WriteResult::Failed) {
        LOG_OUT(Kyr::LogError, "Point store %1: %2 changes lost, %3")
            .arg(m_database->location()).arg(qulonglong(batch.size())).arg(error).endl();
    }
    lock.lock();
    if (result == StoreDatabase::WriteResult::ConnectionLost) {
        m_awayReason = error;
        return false;
    }
    if (result == StoreDatabase::WriteResult::Failed) {
        ++m_failedTransactions;
        // Past the bound (no barrier for a long time) the last entry grows to cover the new batch.
        if (m_failures.size() >= MaxKeptFailures)
            m_failures.back().last = m_done + batch.size();
        else
            m_failures.push_back({m_done + 1, m_done + batch.size(),
                                  QStringLiteral("%1 changes not written to %2: %3")
                                      .arg(batch.size()).arg(m_database->location(), error)});
    }
    m_done += batch.size();
    m_written.notify_all();
    return true;
}

void StoreWriter::lose(std::unique_lock<std::mutex> &lock)
{
    m_away = true;
    m_written.notify_all(); // callers waiting for room or at the barrier go on
    LOG_OUT(Kyr::LogWarning, "Point store %1: connection lost (%2), %3 changes wait for it")
        .arg(m_database->location()).arg(m_awayReason.trimmed()).arg(m_queued - m_done).endl();
    if (m_stop || !m_listener)
        return;
    lock.unlock();
    m_listener(false);
    lock.lock();
}

bool StoreWriter::connectAgain(std::unique_lock<std::mutex> &lock)
{
    QString lastError;
    while (!m_stop) {
        lock.unlock();
        bool connected = false;
        QString error;
        {
            std::lock_guard fileLock(m_fileMutex);
            connected = m_database->connect();
            if (!connected)
                error = m_database->errorText().trimmed();
        }
        if (connected)
            LOG_OUT(Kyr::LogInfo, "Point store %1: connected").arg(m_database->location()).endl();
        else if (error != lastError) // once per kind of failure, not once per attempt
            LOG_OUT(Kyr::LogError, "Point store %1: cannot connect: %2").arg(m_database->location()).arg(error).endl();
        lock.lock();
        if (connected) {
            m_away = false;
            m_announceUp = true;
            return true;
        }
        lastError = m_awayReason = error;
        m_changed.wait_for(lock, std::chrono::milliseconds(ReconnectIntervalMs), [this] { return m_stop; });
    }
    return false;
}

void StoreWriter::run()
{
    std::unique_lock lock(m_mutex);
    std::deque<Change> batch; // taken from the queue, not yet through its transaction
    const auto hasWork = [&] { return m_stop || !m_queue.empty() || !batch.empty(); };
    for (;;) {
        if (m_away && !connectAgain(lock))
            break;
        if (m_announceUp && batch.empty() && m_queue.empty()) {
            // What was kept while the server was away is written; now the store may take more.
            m_announceUp = false;
            if (m_listener && !m_stop) {
                lock.unlock();
                m_listener(true);
                lock.lock();
            }
            continue;
        }
        if (!m_database->canLoseConnection()) {
            m_changed.wait(lock, hasWork);
        } else if (!m_changed.wait_for(lock, std::chrono::milliseconds(ProbeIntervalMs), hasWork)) {
            lock.unlock();
            bool alive = false;
            QString reason;
            {
                std::lock_guard fileLock(m_fileMutex);
                alive = m_database->isConnected();
                reason = m_database->errorText();
            }
            lock.lock();
            if (!alive) {
                m_awayReason = reason;
                lose(lock);
            }
            continue;
        }
        if (batch.empty()) {
            if (m_queue.empty())
                return; // stopped with nothing left
            batch.swap(m_queue);
            m_written.notify_all(); // room in the queue again
        }
        if (writeBatch(lock, batch))
            batch.clear();
        else
            lose(lock);
    }
    const std::size_t left = batch.size() + m_queue.size();
    if (left > 0) {
        LOG_OUT(Kyr::LogError, "Point store %1: stopped while it cannot be reached, %2 changes not written")
            .arg(m_database->location()).arg(qulonglong(left)).endl();
    }
}

} // namespace Orvane
