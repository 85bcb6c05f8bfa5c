#pragma once
// Writes a point store's changes to its SQLite file in a thread of its own, many changes per
// transaction, so that a write of a point costs the caller no disk work. The store's memory stays
// the truth for reads; flush() waits until everything handed in is in the file.

#include "KyrIpc/StoreFile.h"

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
    explicit StoreWriter(std::unique_ptr<StoreFile> file);
    // Writes what is still queued, then ends the thread.
    ~StoreWriter();
    StoreWriter(const StoreWriter &) = delete;
    StoreWriter &operator=(const StoreWriter &) = delete;

    void savePoint(const StoreFile::PointRow &row);
    void appendTrend(const StoreFile::TrendRow &row);
    void flush();
    // Trend rows of a point, after a flush.
    QList<StoreFile::TrendRow> trendRows(const QString &point, const QString &connection);

private:
    using Change = std::variant<StoreFile::PointRow, StoreFile::TrendRow>;
    void enqueue(Change change);
    void run();

    std::unique_ptr<StoreFile> m_file;
    std::mutex m_fileMutex; // held while the file is written or read
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::condition_variable m_written;
    std::deque<Change> m_queue;
    quint64 m_queued = 0;  // changes handed in so far
    quint64 m_done = 0;    // changes in the file so far
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace Orvane
