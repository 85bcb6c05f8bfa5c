#include "trend/SqliteTrendReader.h"

#include "KyrIpc/StoreFile.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace {

// One prepared statement, finalised on leaving the scope.
class Query
{
public:
    Query(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Query() { sqlite3_finalize(m_stmt); }
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    bool ok() const { return m_stmt != nullptr; }
    sqlite3_stmt *get() const { return m_stmt; }
    void bind(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

// The filter as a LIKE pattern that matches it anywhere in a name, its own % and _ taken literally.
QString containsPattern(QString filter)
{
    filter.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    filter.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    filter.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + filter + QLatin1Char('%');
}

// The unit of point p: its companion "<name>:Unit" on the same connection (the primary key).
constexpr const char *kUnitColumn = "(SELECT u.value FROM points u WHERE u.connection = p.connection"
                                    " AND u.name = p.name || ':Unit' AND u.type = 'STR')";

} // namespace

SqliteTrendReader::SqliteTrendReader(const QString &path) : m_path(path) {}

SqliteTrendReader::~SqliteTrendReader()
{
    sqlite3_close(m_db);
}

QString SqliteTrendReader::projectStorePath()
{
    return Orvane::StoreFile::pathForProject(qEnvironmentVariable("ORVANE_CURRENT_PROJECT_LOCATION"));
}

bool SqliteTrendReader::ensureOpen()
{
    m_error.clear();
    if (m_db)
        return true;
    if (!QFileInfo::exists(m_path)) {
        m_error = QStringLiteral("No point store at %1").arg(m_path);
        return false;
    }
    if (sqlite3_open_v2(m_path.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        fail(QStringLiteral("Cannot open %1").arg(m_path));
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    return true;
}

void SqliteTrendReader::fail(const QString &what)
{
    m_error = what + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(m_db));
}

QList<TrendPointInfo> SqliteTrendReader::points(const QString &filter)
{
    QList<TrendPointInfo> found;
    if (!ensureOpen())
        return found;
    const QByteArray sql = QByteArrayLiteral("SELECT p.name, MAX(") + kUnitColumn
        + " ) FROM points p WHERE p.name LIKE ?1 ESCAPE '\\'"
          " AND EXISTS(SELECT 1 FROM trend t WHERE t.point = p.name) GROUP BY p.name ORDER BY p.name LIMIT ?2";
    Query query(m_db, sql.constData());
    if (!query.ok()) {
        fail(QStringLiteral("Cannot list the points of %1").arg(m_path));
        return found;
    }
    query.bind(1, containsPattern(filter));
    sqlite3_bind_int(query.get(), 2, kMaxListedPoints);
    int step;
    while ((step = sqlite3_step(query.get())) == SQLITE_ROW)
        found.append({query.text(0), query.text(1)});
    if (step != SQLITE_DONE)
        fail(QStringLiteral("Cannot list the points of %1").arg(m_path));
    return found;
}

QString SqliteTrendReader::unitOf(const QString &point)
{
    if (!ensureOpen())
        return {};
    const QByteArray sql = QByteArrayLiteral("SELECT MAX(") + kUnitColumn + ") FROM points p WHERE p.name = ?1";
    Query query(m_db, sql.constData());
    if (!query.ok()) {
        fail(QStringLiteral("Cannot read the unit of %1").arg(point));
        return {};
    }
    query.bind(1, point);
    return sqlite3_step(query.get()) == SQLITE_ROW ? query.text(0) : QString();
}

TrendReader::Rows SqliteTrendReader::rows(const QString &point, qint64 fromMs, qint64 toMs)
{
    Rows rows;
    if (!ensureOpen())
        return rows;
    // The index trend(point, time_ms) gives the rows in time order, equal times in writing order.
    Query query(m_db, "SELECT time_ms, value, state FROM trend WHERE point = ?1 AND time_ms BETWEEN ?2 AND ?3"
                      " ORDER BY time_ms, id LIMIT ?4");
    if (!query.ok()) {
        fail(QStringLiteral("Cannot read the trend of %1").arg(point));
        return rows;
    }
    query.bind(1, point);
    sqlite3_bind_int64(query.get(), 2, fromMs);
    sqlite3_bind_int64(query.get(), 3, toMs);
    sqlite3_bind_int(query.get(), 4, kMaxRowsPerPoint + 1);
    int step;
    while ((step = sqlite3_step(query.get())) == SQLITE_ROW) {
        if (rows.samples.size() == kMaxRowsPerPoint) {
            rows.truncated = true;
            break;
        }
        rows.samples.append({sqlite3_column_int64(query.get(), 0), sqlite3_column_double(query.get(), 1),
                             quint32(sqlite3_column_int64(query.get(), 2))});
    }
    if (step != SQLITE_ROW && step != SQLITE_DONE) {
        fail(QStringLiteral("Cannot read the trend of %1").arg(point));
        rows.samples.clear();
    }
    return rows;
}
