#pragma once
// The SQLite file of the embedded point store: table "points" (one row per point and connection
// string) and table "trend" (the trend archive's rows, one per point, time and connection string:
// a second row of the same point and time replaces the first, the newest value wins, as on a
// PostgreSQL server). A file from before that key is migrated when it is opened (its duplicates
// removed, the newest kept, once, logged). Not locked by itself: the point
// store's writer serialises its calls; readers such as quillon-points open their own handle.

#include "KyrIpc/StoreDatabase.h"

struct sqlite3;
struct sqlite3_stmt;

namespace Orvane {

class StoreFile : public StoreDatabase
{
public:
    // The store file of a project directory: "dms/points.sqlite" below it.
    static QString pathForProject(const QString &projectDir);

    // Opens (and with readOnly false creates) the file and its tables.
    explicit StoreFile(const QString &path, bool readOnly = false);
    ~StoreFile() override;
    StoreFile(const StoreFile &) = delete;
    StoreFile &operator=(const StoreFile &) = delete;

    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }
    QString location() const override { return m_path; }
    QString errorText() const override { return m_error; }
    // Whether each commit waits until the disk holds it (FULL, the default) or only the
    // checkpoints do (NORMAL).
    bool setSynchronousFull(bool full);

    WriteResult write(const std::deque<Change> &batch) override;
    QList<PointRow> points(const QString &connection = {}, const QString &pattern = {}) const override;
    QList<TrendRow> trendRows(const QString &point, const QString &connection = {}) const override;

private:
    bool begin();
    bool commit();
    void rollback();
    bool savePoint(const PointRow &row);
    bool appendTrend(const TrendRow &row);
    // Gives the trend rows their key (point, time, connection) unless the file has it.
    bool ensureTrendKey();
    bool exec(const char *sql);
    // Runs a prepared statement once and makes it ready for the next run.
    bool runOnce(sqlite3_stmt *stmt);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_savePoint = nullptr;   // prepared once: the writes are the frequent calls
    sqlite3_stmt *m_appendTrend = nullptr;
    QString m_path;
    QString m_error;
};

} // namespace Orvane
