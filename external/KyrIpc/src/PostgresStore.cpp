#include "KyrIpc/PostgresStore.h"
#include "KyrIpc/Message.h"
#include "KyrIpc/PostgresUri.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <memory>
#include <tuple>

#include <libpq-fe.h>
#include <poll.h>

namespace Orvane {

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// A transaction that lost against another instance's (deadlock, serialisation) is run again.
constexpr int MaxAttempts = 3;

const char *const CreateTables =
    "BEGIN;"
    "SELECT pg_advisory_xact_lock(hashtext('quillon point store'));"
    "CREATE TABLE IF NOT EXISTS store_schema(version integer NOT NULL);"
    "CREATE TABLE IF NOT EXISTS points(connection text NOT NULL, name text NOT NULL, type text NOT NULL,"
    " value text, stamp timestamptz NOT NULL, PRIMARY KEY(connection, name));"
    "CREATE TABLE IF NOT EXISTS trend(connection text NOT NULL, time timestamptz NOT NULL,"
    " value double precision NOT NULL, state bigint NOT NULL, point text NOT NULL,"
    " PRIMARY KEY(point, time, connection));"
    "INSERT INTO store_schema(version) SELECT 1 WHERE NOT EXISTS (SELECT FROM store_schema);"
    "COMMIT";

// Staging tables of one session, emptied by every commit.
const char *const CreateStaging =
    "CREATE TEMP TABLE IF NOT EXISTS points_in(connection text, name text, type text, value text, stamp_ms bigint)"
    " ON COMMIT DELETE ROWS;"
    "CREATE TEMP TABLE IF NOT EXISTS trend_in(connection text, time_ms bigint, value double precision,"
    " state bigint, point text) ON COMMIT DELETE ROWS";

const char *const MergePoints =
    "INSERT INTO points(connection, name, type, value, stamp)"
    " SELECT connection, name, type, value, timestamptz 'epoch' + stamp_ms * interval '1 millisecond' FROM points_in"
    " ON CONFLICT (connection, name) DO UPDATE SET type = EXCLUDED.type, value = EXCLUDED.value, stamp = EXCLUDED.stamp";

const char *const MergeTrend =
    "INSERT INTO trend(connection, time, value, state, point)"
    " SELECT connection, timestamptz 'epoch' + time_ms * interval '1 millisecond', value, state, point FROM trend_in"
    " ON CONFLICT (connection, point, time) DO UPDATE SET value = EXCLUDED.value, state = EXCLUDED.state";

// A text field of COPY's text format: backslash, tab and line ends escaped.
void appendField(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (std::none_of(utf8.cbegin(), utf8.cend(), [](char c) { return c == '\\' || c == '\t' || c == '\n' || c == '\r'; })) {
        out += utf8;
        return;
    }
    for (const char c : utf8) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

template<typename Number>
void appendNumber(QByteArray &out, Number number)
{
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    out.append(buffer, end - buffer);
}

void appendValue(QByteArray &out, int type, const QVariant &value)
{
    switch (type) {
    case FLT: appendNumber(out, value.toDouble()); break;
    case STR: appendField(out, value.toString()); break;
    case BIT: out += value.toBool() ? '1' : '0'; break;
    default: appendNumber(out, value.toLongLong()); break;
    }
}

QVariant valueOf(int type, const QString &text)
{
    switch (type) {
    case BIT: return QVariant(text.toLongLong() != 0);
    case FLT: return QVariant(text.toDouble());
    case STR: return QVariant(text);
    default: return QVariant(text.toLongLong());
    }
}

// The rows of one kind from a batch, in key order, only the last change of each key: the order
// keeps two instances writing the same rows from locking them crosswise.
template<typename Row, typename Less>
QList<const Row *> lastOfEachKey(const std::deque<StoreDatabase::Change> &batch, Less less)
{
    QList<const Row *> rows;
    for (const StoreDatabase::Change &change : batch) {
        if (const auto *row = std::get_if<Row>(&change))
            rows.append(row);
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const Row *a, const Row *b) { return less(*a, *b); });
    QList<const Row *> kept;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i + 1 == rows.size() || less(*rows[i], *rows[i + 1]))
            kept.append(rows[i]);
    }
    return kept;
}

QString text(const PGresult *result, int row, int column)
{
    return QString::fromUtf8(PQgetvalue(result, row, column), PQgetlength(result, row, column));
}

} // namespace

PostgresStore::PostgresStore(const QString &uri)
    : m_uri(uri), m_location(PostgresUri::masked(uri))
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(uri.toUtf8().constData(), &error);
    if (!options) {
        m_uriError = PostgresUri::scrubbed(error ? QString::fromUtf8(error).trimmed() : QStringLiteral("out of memory"), uri);
        m_error = m_uriError;
    }
    PQconninfoFree(options);
    PQfreemem(error);
}

PostgresStore::~PostgresStore()
{
    close();
}

void PostgresStore::close()
{
    PQfinish(m_conn);
    m_conn = nullptr;
}

QString PostgresStore::serverError() const
{
    return PostgresUri::scrubbed(QString::fromUtf8(PQerrorMessage(m_conn)).trimmed(), m_uri);
}

void PostgresStore::keepError(const PGresult *result) const
{
    m_error = serverError();
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    m_sqlState = state ? QByteArray(state) : QByteArray();
}

bool PostgresStore::connect()
{
    close();
    if (!m_uriError.isEmpty())
        return false;
    const QByteArray uri = m_uri.toUtf8();
    // The URI first; what follows overrides it: the tables hold UTF-8 text.
    const char *const keywords[] = {"dbname", "client_encoding", "fallback_application_name", nullptr};
    const char *const values[] = {uri.constData(), "UTF8", "quillon", nullptr};
    m_conn = PQconnectStartParams(keywords, values, 1);
    if (!m_conn) {
        m_error = QStringLiteral("out of memory");
        return false;
    }
    // The server's notices ("already exists, skipping") are no news here.
    PQsetNoticeProcessor(m_conn, [](void *, const char *) {}, nullptr);
    if (!finishConnecting() || !prepareSession()) {
        close();
        return false;
    }
    return true;
}

bool PostgresStore::finishConnecting()
{
    const QDeadlineTimer deadline(ConnectTimeoutMs);
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    while (PQstatus(m_conn) != CONNECTION_BAD && status != PGRES_POLLING_OK && status != PGRES_POLLING_FAILED) {
        pollfd socket{PQsocket(m_conn), short(status == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const int ready = ::poll(&socket, 1, int(deadline.remainingTime()));
        if (ready == 0 || deadline.hasExpired()) {
            m_error = QStringLiteral("no answer within %1 ms").arg(ConnectTimeoutMs);
            return false;
        }
        status = PQconnectPoll(m_conn);
    }
    if (status == PGRES_POLLING_OK && PQstatus(m_conn) == CONNECTION_OK)
        return true;
    m_error = serverError();
    return false;
}

bool PostgresStore::exec(const char *sql, int expectedStatus) const
{
    const Result result(PQexec(m_conn, sql), &PQclear);
    if (result && PQresultStatus(result.get()) == expectedStatus)
        return true;
    keepError(result.get());
    return false;
}

bool PostgresStore::prepareSession()
{
    if (!exec(CreateTables, PGRES_COMMAND_OK)) {
        const QString error = m_error;
        exec("ROLLBACK", PGRES_COMMAND_OK);
        m_error = QStringLiteral("cannot create the tables: %1").arg(error);
        return false;
    }
    const Result version(PQexec(m_conn, "SELECT max(version) FROM store_schema"), &PQclear);
    if (PQresultStatus(version.get()) != PGRES_TUPLES_OK) {
        m_error = serverError();
        return false;
    }
    const int found = text(version.get(), 0, 0).toInt();
    if (found > SchemaVersion) {
        m_error = QStringLiteral("the tables have version %1; this program knows version %2 at most")
                      .arg(found)
                      .arg(SchemaVersion);
        return false;
    }
    return exec(CreateStaging, PGRES_COMMAND_OK);
}

bool PostgresStore::isConnected()
{
    return m_conn && PQstatus(m_conn) == CONNECTION_OK && exec("", PGRES_EMPTY_QUERY);
}

bool PostgresStore::copyIn(const char *table, const QByteArray &data)
{
    const QByteArray sql = QByteArray("COPY ") + table + " FROM STDIN";
    if (!exec(sql.constData(), PGRES_COPY_IN))
        return false;
    const bool sent = PQputCopyData(m_conn, data.constData(), int(data.size())) == 1 && PQputCopyEnd(m_conn, nullptr) == 1;
    bool ok = sent;
    if (!sent)
        keepError(nullptr);
    // The COPY's own result, then the end of results.
    while (PGresult *result = PQgetResult(m_conn)) {
        if (ok && PQresultStatus(result) != PGRES_COMMAND_OK) {
            keepError(result);
            ok = false;
        }
        PQclear(result);
    }
    return ok;
}

bool PostgresStore::writeRows(const std::deque<Change> &batch)
{
    const auto points = lastOfEachKey<PointRow>(batch, [](const PointRow &a, const PointRow &b) {
        return std::tie(a.connection, a.name) < std::tie(b.connection, b.name);
    });
    const auto trend = lastOfEachKey<TrendRow>(batch, [](const TrendRow &a, const TrendRow &b) {
        return std::tie(a.connection, a.point, a.timeMs) < std::tie(b.connection, b.point, b.timeMs);
    });
    QByteArray data;
    for (const PointRow *row : points) {
        appendField(data, row->connection);
        data += '\t';
        appendField(data, row->name);
        data += '\t' + pointTypeName(row->type).toLatin1() + '\t';
        appendValue(data, row->type, row->value);
        data += '\t';
        appendNumber(data, row->stampMs);
        data += '\n';
    }
    if (!exec("BEGIN", PGRES_COMMAND_OK))
        return false;
    if (!points.isEmpty() && (!copyIn("points_in", data) || !exec(MergePoints, PGRES_COMMAND_OK)))
        return false;
    data.clear();
    data.reserve(trend.size() * 64);
    for (const TrendRow *row : trend) {
        appendField(data, row->connection);
        data += '\t';
        appendNumber(data, row->timeMs);
        data += '\t';
        appendNumber(data, row->value);
        data += '\t';
        appendNumber(data, qint64(row->state));
        data += '\t';
        appendField(data, row->point);
        data += '\n';
    }
    if (!trend.isEmpty() && (!copyIn("trend_in", data) || !exec(MergeTrend, PGRES_COMMAND_OK)))
        return false;
    return exec("COMMIT", PGRES_COMMAND_OK);
}

StoreDatabase::WriteResult PostgresStore::write(const std::deque<Change> &batch)
{
    for (int attempt = 1;; ++attempt) {
        if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
            m_error = QStringLiteral("not connected");
            return WriteResult::ConnectionLost;
        }
        if (writeRows(batch))
            return WriteResult::Committed;
        const QString error = m_error;
        const QByteArray sqlState = m_sqlState;
        if (PQstatus(m_conn) == CONNECTION_OK)
            exec("ROLLBACK", PGRES_COMMAND_OK);
        m_error = error;
        m_sqlState = sqlState;
        if (PQstatus(m_conn) != CONNECTION_OK)
            return WriteResult::ConnectionLost;
        // SQLSTATE class 40: the server rolled the transaction back because of another one.
        if (!m_sqlState.startsWith("40") || attempt == MaxAttempts)
            return WriteResult::Failed;
    }
}

QList<StoreDatabase::PointRow> PostgresStore::points(const QString &connection, const QString &pattern) const
{
    QList<PointRow> rows;
    if (!m_conn)
        return rows;
    const QByteArray connectionUtf8 = connection.toUtf8();
    const char *params[] = {connectionUtf8.constData()};
    const Result result(PQexecParams(m_conn,
                                     "SELECT connection, name, type, value, (extract(epoch FROM stamp) * 1000)::bigint"
                                     " FROM points WHERE ($1 = '' OR connection = $1)"
                                     " ORDER BY name COLLATE \"C\", connection COLLATE \"C\"",
                                     1, nullptr, params, nullptr, nullptr, 0),
                        &PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
        m_error = serverError();
        return rows;
    }
    const QRegularExpression glob(QRegularExpression::wildcardToRegularExpression(pattern));
    for (int i = 0; i < PQntuples(result.get()); ++i) {
        PointRow row;
        row.name = text(result.get(), i, 1);
        if (!pattern.isEmpty() && !glob.match(row.name).hasMatch())
            continue;
        row.connection = text(result.get(), i, 0);
        row.type = pointTypeFromName(text(result.get(), i, 2));
        row.value = valueOf(row.type, text(result.get(), i, 3));
        row.stampMs = text(result.get(), i, 4).toLongLong();
        rows.append(row);
    }
    return rows;
}

QList<StoreDatabase::TrendRow> PostgresStore::trendRows(const QString &point, const QString &connection) const
{
    QList<TrendRow> rows;
    if (!m_conn)
        return rows;
    const QByteArray pointUtf8 = point.toUtf8();
    const QByteArray connectionUtf8 = connection.toUtf8();
    const char *params[] = {pointUtf8.constData(), connectionUtf8.constData()};
    const Result result(PQexecParams(m_conn,
                                     "SELECT connection, (extract(epoch FROM time) * 1000)::bigint, value, state, point"
                                     " FROM trend WHERE point = $1 AND ($2 = '' OR connection = $2)"
                                     " ORDER BY time, connection COLLATE \"C\"",
                                     2, nullptr, params, nullptr, nullptr, 0),
                        &PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
        m_error = serverError();
        return rows;
    }
    for (int i = 0; i < PQntuples(result.get()); ++i) {
        TrendRow row;
        row.connection = text(result.get(), i, 0);
        row.timeMs = text(result.get(), i, 1).toLongLong();
        row.value = text(result.get(), i, 2).toDouble();
        row.state = quint32(text(result.get(), i, 3).toLongLong());
        row.point = text(result.get(), i, 4);
        rows.append(row);
    }
    return rows;
}

} // namespace Orvane
