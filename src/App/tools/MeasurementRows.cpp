#include "tools/MeasurementRows.h"

#include "KyrLogger/Logger.h"

#include <sqlite3.h>

#include <QByteArray>

namespace {

// "INSERT ... VALUES (?,?,?,?,?),(...)..." for rows rows.
QByteArray insertText(int rows)
{
    QByteArray text = "INSERT INTO measurement (ts, value, status, rfid_file, rfid_rds) VALUES (?,?,?,?,?)";
    for (int i = 1; i < rows; ++i)
        text += ",(?,?,?,?,?)";
    return text;
}

void bindRow(sqlite3_stmt *insert, int first, const MeasurementRows::Row &row, qint64 fileId)
{
    sqlite3_bind_int64(insert, first + 1, row.ts);
    sqlite3_bind_double(insert, first + 2, row.value);
    sqlite3_bind_int(insert, first + 3, row.status);
    sqlite3_bind_int64(insert, first + 4, fileId);
    sqlite3_bind_int64(insert, first + 5, row.rdsId);
}

} // namespace

MeasurementRows::~MeasurementRows()
{
    finalize();
}

bool MeasurementRows::prepare(sqlite3 *db)
{
    finalize();
    m_db = db;
    return db && sqlite3_prepare_v2(db, insertText(RowsPerInsert).constData(), -1, &m_group, nullptr) == SQLITE_OK
           && sqlite3_prepare_v2(db, insertText(1).constData(), -1, &m_single, nullptr) == SQLITE_OK;
}

void MeasurementRows::finalize()
{
    sqlite3_finalize(m_group);
    sqlite3_finalize(m_single);
    m_group = nullptr;
    m_single = nullptr;
}

QString MeasurementRows::errorText() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("no SQLite handle");
}

bool MeasurementRows::step(sqlite3_stmt *statement)
{
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    if (!done)
        LOG_OUT(Kyr::LogError, "Could not insert '%1'").arg(errorText()).endl();
    sqlite3_reset(statement);
    return done;
}

qint64 MeasurementRows::insert(const Row *rows, qsizetype count, qint64 fileId)
{
    qint64 failed = 0;
    qsizetype i = 0;
    for (; i + RowsPerInsert <= count; i += RowsPerInsert) {
        for (int row = 0; row < RowsPerInsert; ++row)
            bindRow(m_group, row * 5, rows[i + row], fileId);
        failed += step(m_group) ? 0 : 1;
    }
    for (; i < count; ++i) {
        bindRow(m_single, 0, rows[i], fileId);
        failed += step(m_single) ? 0 : 1;
    }
    return failed;
}
