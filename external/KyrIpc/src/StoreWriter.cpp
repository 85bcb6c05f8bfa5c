#include "KyrIpc/StoreWriter.h"

#include "KyrLogger/Logger.h"

namespace Orvane {

StoreWriter::StoreWriter(std::unique_ptr<StoreFile> file) : m_file(std::move(file)), m_thread([this] { run(); })
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

void StoreWriter::savePoint(const StoreFile::PointRow &row)
{
    enqueue(row);
}

void StoreWriter::appendTrend(const StoreFile::TrendRow &row)
{
    enqueue(row);
}

void StoreWriter::enqueue(Change change)
{
    {
        std::unique_lock lock(m_mutex);
        m_written.wait(lock, [this] { return m_queue.size() < MaxQueuedChanges; });
        m_queue.push_back(std::move(change));
        ++m_queued;
    }
    m_changed.notify_one();
}

void StoreWriter::waitUntilWritten(std::unique_lock<std::mutex> &lock)
{
    const quint64 target = m_queued;
    m_written.wait(lock, [this, target] { return m_done >= target; });
}

bool StoreWriter::waitUntilCommitted(QString *error)
{
    std::unique_lock lock(m_mutex);
    waitUntilWritten(lock);
    const QString failure = std::exchange(m_failure, QString());
    if (error)
        *error = failure;
    return failure.isEmpty();
}

QList<StoreFile::TrendRow> StoreWriter::trendRows(const QString &point, const QString &connection)
{
    {
        std::unique_lock lock(m_mutex);
        waitUntilWritten(lock);  // a failure stays for the next barrier
    }
    std::lock_guard fileLock(m_fileMutex);
    return m_file->trendRows(point, connection);
}

QString StoreWriter::writeBatch(const std::deque<Change> &batch)
{
    std::lock_guard fileLock(m_fileMutex);
    if (!m_file->begin())
        return QStringLiteral("could not begin a transaction: %1").arg(m_file->errorText());
    for (const Change &change : batch) {
        const auto *row = std::get_if<StoreFile::PointRow>(&change);
        if (row ? m_file->savePoint(*row) : m_file->appendTrend(std::get<StoreFile::TrendRow>(change)))
            continue;
        const QString error = row ? QStringLiteral("could not save point %1: %2").arg(row->name, m_file->errorText())
                                  : QStringLiteral("could not append a trend row of %1: %2")
                                        .arg(std::get<StoreFile::TrendRow>(change).point, m_file->errorText());
        m_file->rollback();
        return error;
    }
    if (m_failingCommits) {
        m_file->rollback();
        return QStringLiteral("could not commit: refused (failing commits set)");
    }
    if (!m_file->commit()) {
        const QString error = QStringLiteral("could not commit: %1").arg(m_file->errorText());
        m_file->rollback();
        return error;
    }
    return QString();
}

void StoreWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopped with nothing left
        std::deque<Change> batch;
        batch.swap(m_queue);
        m_written.notify_all(); // room in the queue again
        lock.unlock();
        const QString error = writeBatch(batch);
        if (!error.isEmpty()) {
            LOG_OUT(Kyr::LogError, "Point store %1: %2 changes lost, %3")
                .arg(m_file->path()).arg(qulonglong(batch.size())).arg(error).endl();
        }
        lock.lock();
        if (!error.isEmpty() && m_failure.isEmpty())
            m_failure = QStringLiteral("%1 changes not written to %2: %3").arg(batch.size()).arg(m_file->path(), error);
        m_done += batch.size();
        m_written.notify_all();
    }
}

} // namespace Orvane
