#include "KyrIpc/StoreFile.h"
#include "KyrIpc/Message.h"
#include "KyrLogger/Logger.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

namespace Orvane {

namespace {

void bindText(sqlite3_stmt *stmt, int index, const QString &text);

// One prepared statement, finalised on leaving the scope.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    bool ok() const { return m_stmt != nullptr; }
    sqlite3_stmt *get() const { return m_stmt; }
    void bindText(int index, const QString &text) { Orvane::bindText(m_stmt, index, text); }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

void bindText(sqlite3_stmt *stmt, int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void bindValue(sqlite3_stmt *stmt, int index, int type, const QVariant &value)
{
    switch (type) {
    case FLT: sqlite3_bind_double(stmt, index, value.toDouble()); break;
    case STR: bindText(stmt, index, value.toString()); break;
    default: sqlite3_bind_int64(stmt, index, value.toLongLong()); break;
    }
}

QVariant columnValue(const Statement &st, int column, int type)
{
    switch (type) {
    case BIT: return QVariant(sqlite3_column_int64(st.get(), column) != 0);
    case FLT: return QVariant(sqlite3_column_double(st.get(), column));
    case STR: return QVariant(st.text(column));
    default: return QVariant(qint64(sqlite3_column_int64(st.get(), column)));
    }
}

} // namespace

QString StoreFile::pathForProject(const QString &projectDir)
{
    return QDir(projectDir).filePath(QStringLiteral("dms/points.sqlite"));
}

StoreFile::StoreFile(const QString &path, bool readOnly) : m_path(path)
{
    if (!readOnly)
        QDir().mkpath(QFileInfo(path).absolutePath());
    const int flags = readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_close(m_db);
        m_db = nullptr;
        return;
    }
    sqlite3_busy_timeout(m_db, 5000);
    if (readOnly)
        return;
    // WAL with full synchronisation: every commit is on the disk before it counts as done, so a
    // power loss costs nothing a commit barrier acknowledged. The writer commits many changes at
    // once, which keeps the cost small (bench_point_store: a few percent at a mail's worth of rows).
    const bool ok = exec("PRAGMA journal_mode=WAL") && exec("PRAGMA synchronous=FULL")
        && exec("CREATE TABLE IF NOT EXISTS points(connection TEXT NOT NULL, name TEXT NOT NULL,"
                " type TEXT NOT NULL, value, stamp_ms INTEGER NOT NULL, PRIMARY KEY(connection, name))")
        && exec("CREATE TABLE IF NOT EXISTS trend(id INTEGER PRIMARY KEY, connection TEXT NOT NULL,"
                " time_ms INTEGER NOT NULL, value REAL NOT NULL, state INTEGER NOT NULL, point TEXT NOT NULL)")
        && ensureTrendKey();
    const bool prepared = ok
        && sqlite3_prepare_v2(m_db, "INSERT OR REPLACE INTO points(connection, name, type, value, stamp_ms)"
                                    " VALUES(?1, ?2, ?3, ?4, ?5)", -1, &m_savePoint, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(m_db, "INSERT INTO trend(connection, time_ms, value, state, point)"
                                    " VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(point, time_ms, connection)"
                                    " DO UPDATE SET value = excluded.value, state = excluded.state",
                              -1, &m_appendTrend, nullptr) == SQLITE_OK;
    if (!prepared) {
        if (m_error.isEmpty())
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(m_savePoint);
        sqlite3_finalize(m_appendTrend);
        m_savePoint = m_appendTrend = nullptr;
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

StoreFile::~StoreFile()
{
    sqlite3_finalize(m_savePoint);
    sqlite3_finalize(m_appendTrend);
    sqlite3_close(m_db);
}

bool StoreFile::ensureTrendKey()
{
    {
        Statement keyed(m_db, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'trend_key'");
        if (keyed.ok() && sqlite3_step(keyed.get()) == SQLITE_ROW)
            return true;
    }
    // A file from before the key may hold a point's time more than once (a mail taken twice):
    // the row appended last is the newest value and stays. The key's index also serves the
    // reads by point and time, which the old index did.
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    const bool removed = exec("DELETE FROM trend WHERE id NOT IN"
                              " (SELECT MAX(id) FROM trend GROUP BY point, time_ms, connection)");
    const qint64 duplicates = removed ? sqlite3_changes64(m_db) : 0;
    if (!removed || !exec("CREATE UNIQUE INDEX trend_key ON trend(point, time_ms, connection)")
        || !exec("DROP INDEX IF EXISTS trend_point") || !exec("COMMIT")) {
        const QString error = m_error;
        rollback();
        m_error = QStringLiteral("could not key the trend rows: %1").arg(error);
        return false;
    }
    LOG_OUT(Kyr::LogInfo, "Point store %1: trend rows keyed by point, time and connection, %2 duplicate rows removed")
        .arg(m_path).arg(duplicates).endl();
    return true;
}

bool StoreFile::exec(const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    m_error = QString::fromUtf8(error);
    sqlite3_free(error);
    return false;
}

QList<StoreFile::PointRow> StoreFile::points(const QString &connection, const QString &pattern) const
{
    QList<PointRow> rows;
    if (!m_db)
        return rows;
    Statement st(m_db, "SELECT connection, name, type, value, stamp_ms FROM points"
                       " WHERE (?1 = '' OR connection = ?1) AND (?2 = '' OR name GLOB ?2) ORDER BY name, connection");
    if (!st.ok())
        return rows;
    st.bindText(1, connection);
    st.bindText(2, pattern);
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        PointRow row;
        row.connection = st.text(0);
        row.name = st.text(1);
        row.type = pointTypeFromName(st.text(2));
        row.value = columnValue(st, 3, row.type);
        row.stampMs = sqlite3_column_int64(st.get(), 4);
        rows.append(row);
    }
    return rows;
}

bool StoreFile::runOnce(sqlite3_stmt *stmt)
{
    const bool done = sqlite3_step(stmt) == SQLITE_DONE;
    if (!done)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    return done;
}

bool StoreFile::setSynchronousFull(bool full)
{
    return m_db && exec(full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL");
}

void StoreFile::rollback()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        exec("ROLLBACK");
}

bool StoreFile::begin()
{
    return m_db && exec("BEGIN");
}

bool StoreFile::commit()
{
    return m_db && exec("COMMIT");
}

StoreDatabase::WriteResult StoreFile::write(const std::deque<Change> &batch)
{
    if (!begin()) {
        m_error = QStringLiteral("could not begin a transaction: %1").arg(m_error);
        return WriteResult::Failed;
    }
    for (const Change &change : batch) {
        const auto *row = std::get_if<PointRow>(&change);
        if (row ? savePoint(*row) : appendTrend(std::get<TrendRow>(change)))
            continue;
        const QString error = row ? QStringLiteral("could not save point %1: %2").arg(row->name, m_error)
                                  : QStringLiteral("could not append a trend row of %1: %2")
                                        .arg(std::get<TrendRow>(change).point, m_error);
        rollback();
        m_error = error;
        return WriteResult::Failed;
    }
    if (!commit()) {
        const QString error = QStringLiteral("could not commit: %1").arg(m_error);
        rollback();
        m_error = error;
        return WriteResult::Failed;
    }
    return WriteResult::Committed;
}

bool StoreFile::savePoint(const PointRow &row)
{
    if (!m_savePoint)
        return false;
    bindText(m_savePoint, 1, row.connection);
    bindText(m_savePoint, 2, row.name);
    bindText(m_savePoint, 3, pointTypeName(row.type));
    bindValue(m_savePoint, 4, row.type, row.value);
    sqlite3_bind_int64(m_savePoint, 5, row.stampMs);
    return runOnce(m_savePoint);
}

bool StoreFile::appendTrend(const TrendRow &row)
{
    if (!m_appendTrend)
        return false;
    bindText(m_appendTrend, 1, row.connection);
    sqlite3_bind_int64(m_appendTrend, 2, row.timeMs);
    sqlite3_bind_double(m_appendTrend, 3, row.value);
    sqlite3_bind_int64(m_appendTrend, 4, row.state);
    bindText(m_appendTrend, 5, row.point);
    return runOnce(m_appendTrend);
}

QList<StoreFile::TrendRow> StoreFile::trendRows(const QString &point, const QString &connection) const
{
    QList<TrendRow> rows;
    if (!m_db)
        return rows;
    Statement st(m_db, "SELECT connection, time_ms, value, state, point FROM trend"
                       " WHERE point = ?1 AND (?2 = '' OR connection = ?2) ORDER BY id");
    if (!st.ok())
        return rows;
    st.bindText(1, point);
    st.bindText(2, connection);
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        TrendRow row;
        row.connection = st.text(0);
        row.timeMs = sqlite3_column_int64(st.get(), 1);
        row.value = sqlite3_column_double(st.get(), 2);
        row.state = quint32(sqlite3_column_int64(st.get(), 3));
        row.point = st.text(4);
        rows.append(row);
    }
    return rows;
}

} // namespace Orvane
