#pragma once
// Where a point store keeps its points and trend rows: the embedded SQLite file (StoreFile) or a
// PostgreSQL server (PostgresStore). The store's writer (StoreWriter) hands each batch of changes
// to one of them and does not care which; both have the tables "points" (one row per point and
// connection string) and "trend" (the trend archive's rows).

#include <QList>
#include <QString>
#include <QVariant>

#include <deque>
#include <variant>

namespace Orvane {

class StoreDatabase
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
    using Change = std::variant<PointRow, TrendRow>;

    enum class WriteResult {
        Committed,
        Failed,         // the database refused the batch: its changes are lost, errorText() says why
        ConnectionLost  // nothing is known to be written: write the batch again once reconnected
    };

    virtual ~StoreDatabase() = default;

    // The file path, or the server's URI with its password masked; for the log.
    virtual QString location() const = 0;
    // The reason of the last failure.
    virtual QString errorText() const = 0;

    // Writes the changes in one transaction, in their order (a later change of the same row wins).
    virtual WriteResult write(const std::deque<Change> &batch) = 0;
    // Points of one connection string (all when empty) whose name matches the shell-style,
    // case-sensitive pattern (all when empty), ordered by name.
    virtual QList<PointRow> points(const QString &connection = {}, const QString &pattern = {}) const = 0;
    // Trend rows of one point (of one connection string, all when empty): in the order they were
    // appended (the file) or in time order (the server).
    virtual QList<TrendRow> trendRows(const QString &point, const QString &connection = {}) const = 0;

    // A database behind a connection that can go away (a server) is connected by the writer's
    // thread and watched while idle; a file is always there.
    virtual bool canLoseConnection() const { return false; }
    // Connects (again); bounded in time. False with errorText() when the server cannot be reached.
    virtual bool connect() { return true; }
    // Whether the connection still answers (a round trip for a server).
    virtual bool isConnected() { return true; }
};

} // namespace Orvane
