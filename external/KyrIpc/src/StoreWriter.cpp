#include "KyrIpc/StoreWriter.h"

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
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(change));
        ++m_queued;
    }
    m_changed.notify_one();
}

void StoreWriter::flush()
{
    std::unique_lock lock(m_mutex);
    const quint64 target = m_queued;
    m_written.wait(lock, [this, target] { return m_done >= target; });
}

QList<StoreFile::TrendRow> StoreWriter::trendRows(const QString &point, const QString &connection)
{
    flush();
    std::lock_guard fileLock(m_fileMutex);
    return m_file->trendRows(point, connection);
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
        lock.unlock();
        {
            std::lock_guard fileLock(m_fileMutex);
            m_file->begin();
            for (const Change &change : batch) {
                if (const auto *row = std::get_if<StoreFile::PointRow>(&change))
                    m_file->savePoint(*row);
                else
                    m_file->appendTrend(std::get<StoreFile::TrendRow>(change));
            }
            m_file->commit();
        }
        lock.lock();
        m_done += batch.size();
        m_written.notify_all();
    }
}

} // namespace Orvane
