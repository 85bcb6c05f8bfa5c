#pragma once
// The SQLite file of the embedded point store: table "points" (one row per point and connection
// string) and table "trend" (the trend archive's rows, appended). Not locked by itself: the point
// store's writer serialises its calls; readers such as quillon-points open their own handle.

#include <QList>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace Orvane {

class StoreFile
{
public:
    struct PointRow
    {
        QString connection;
        QString name;
        int type = 0;     // PointType
        QVariant value;   // bool, qint64, double or QString
        qint64 stampMs = 0;
    };
    struct TrendRow
    {
        QString connection;
        qint64 timeMs = 0;
        double value = 0;
        quint32 state = 0;
        QString point;
    };

    // The store file of a project directory: "dms/points.sqlite" below it.
    static QString pathForProject(const QString &projectDir);

    // Opens (and with readOnly false creates) the file and its tables.
    explicit StoreFile(const QString &path, bool readOnly = false);
    ~StoreFile();
    StoreFile(const StoreFile &) = delete;
    StoreFile &operator=(const StoreFile &) = delete;

    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }
    // The reason of the last failure.
    QString errorText() const { return m_error; }
    // Whether each commit waits until the disk holds it (FULL, the default) or only the
    // checkpoints do (NORMAL).
    bool setSynchronousFull(bool full);

    // Points of one connection string (all when empty) whose name matches the shell-style,
    // case-sensitive pattern (all when empty), ordered by name.
    QList<PointRow> points(const QString &connection = {}, const QString &pattern = {}) const;
    // Changes between begin() and commit() go to the file in one transaction.
    bool begin();
    bool commit();
    void rollback();
    bool savePoint(const PointRow &row);
    bool appendTrend(const TrendRow &row);
    // Trend rows of one point in the order they were appended.
    QList<TrendRow> trendRows(const QString &point, const QString &connection = {}) const;

private:
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
