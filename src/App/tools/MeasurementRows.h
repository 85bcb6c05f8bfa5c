#pragma once
// The measurement rows of the SQLite export, bound straight to prepared statements of the
// connection's own SQLite handle: no QVariant per value, which would make up much of the time of a
// large export. Rows go in groups of RowsPerInsert through one statement, which spares the
// statement's start and end per row; the rest one by one. Their order stays that of the records.

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

class MeasurementRows
{
public:
    static constexpr int RowsPerInsert = 100; // 5 values each; SQLite takes 32766

    struct Row
    {
        qint64 ts;
        double value;
        int status;
        qint64 rdsId;
    };

    MeasurementRows() = default;
    ~MeasurementRows();
    MeasurementRows(const MeasurementRows &) = delete;
    MeasurementRows &operator=(const MeasurementRows &) = delete;

    // Prepares the statements; false with errorText when that fails.
    bool prepare(sqlite3 *db);
    // Inserts rows of one file; answers the statements that failed (their errors logged).
    qint64 insert(const Row *rows, qsizetype count, qint64 fileId);
    void finalize();
    QString errorText() const;

private:
    bool step(sqlite3_stmt *statement);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_group = nullptr;
    sqlite3_stmt *m_single = nullptr;
};
