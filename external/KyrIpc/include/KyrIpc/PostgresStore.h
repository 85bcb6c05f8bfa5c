#pragma once
// A point store's database on a PostgreSQL server, reached through libpq with a PostgreSQL URI;
// the password may come from the URI, PGPASSWORD or ~/.pgpass. Tables (created when missing, under
// an advisory lock so that several instances may start at once): "points" (connection, name,
// type, value as text, stamp timestamptz; one row per connection and name), "trend" (connection,
// time timestamptz, value, state, point; one row per connection, point and time: a second row of
// the same point and time replaces the first; the key leads with the point, so one point's series
// is one range of it) and "store_schema" (the version of these tables).
// "connection" holds the URI without its password, so every instance using the same URI shares
// the same points.
//
// A batch goes to the server in one transaction: each table's rows are copied (COPY) into a
// temporary table and merged from there (INSERT ... ON CONFLICT), so a batch costs a few round
// trips however many rows it has. Not locked by itself: the store's writer serialises its calls.

#include "KyrIpc/StoreDatabase.h"

#include <QByteArray>

struct pg_conn;
struct pg_result;

namespace Orvane {

class PostgresStore : public StoreDatabase
{
public:
    static constexpr int SchemaVersion = 1;
    static constexpr int ConnectTimeoutMs = 10000;

    // Does not connect yet (connect() does); uriError() tells when the URI cannot be used.
    explicit PostgresStore(const QString &uri);
    ~PostgresStore() override;
    PostgresStore(const PostgresStore &) = delete;
    PostgresStore &operator=(const PostgresStore &) = delete;

    // Why libpq refuses the URI, empty when it takes it.
    QString uriError() const { return m_uriError; }
    QString location() const override { return m_location; }
    QString errorText() const override { return m_error; }

    WriteResult write(const std::deque<Change> &batch) override;
    QList<PointRow> points(const QString &connection = {}, const QString &pattern = {}) const override;
    QList<TrendRow> trendRows(const QString &point, const QString &connection = {}) const override;

    bool canLoseConnection() const override { return true; }
    bool connect() override;
    bool isConnected() override;

private:
    void close();
    // Waits until libpq's connection attempt is done or ConnectTimeoutMs passed.
    bool finishConnecting();
    // Creates the tables when missing and checks their version; the staging tables of this session.
    bool prepareSession();
    // Runs one statement; false (error kept) unless it answers with the expected status.
    bool exec(const char *sql, int expectedStatus) const;
    // Sends the bytes as the data of "COPY table FROM STDIN".
    bool copyIn(const char *table, const QByteArray &data);
    bool writeRows(const std::deque<Change> &batch);
    // The connection's last error text (password masked) and the result's SQLSTATE.
    void keepError(const pg_result *result) const;
    QString serverError() const;

    const QString m_uri;
    const QString m_location;
    QString m_uriError;
    mutable QString m_error;
    mutable QByteArray m_sqlState;
    pg_conn *m_conn = nullptr;
};

} // namespace Orvane
