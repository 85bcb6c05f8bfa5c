#pragma once
// The trend reader of the embedded point store: its SQLite file (tables "points" and "trend"),
// opened read-only beside the store's writer. The file is in write-ahead-log mode, so a reader
// sees the last committed state and neither waits for the writer nor holds it up; every query is
// its own short read transaction.
//
// A point's unit is the text of its companion point "<point>:Unit" (the configured data point
// that the value path creates from the records' unit, for example "%AKS%:Unit" = "%IUNIT%"): the
// trend rows themselves carry no unit.

#include "trend/TrendReader.h"

struct sqlite3;

class SqliteTrendReader : public TrendReader
{
public:
    static constexpr int kBusyTimeoutMs = 2000;

    // path: the store file, for a project StoreFile::pathForProject(project).
    explicit SqliteTrendReader(const QString &path);
    ~SqliteTrendReader() override;
    SqliteTrendReader(const SqliteTrendReader &) = delete;
    SqliteTrendReader &operator=(const SqliteTrendReader &) = delete;

    // The store file of the running program's project.
    static QString projectStorePath();

    QList<TrendPointInfo> points(const QString &filter) override;
    QString unitOf(const QString &point) override;
    Rows rows(const QString &point, qint64 fromMs, qint64 toMs) override;
    QString errorText() const override { return m_error; }

private:
    // Opens the file on first use (and again after a failure: the store may appear later).
    bool ensureOpen();
    void fail(const QString &what);

    QString m_path;
    sqlite3 *m_db = nullptr;
    QString m_error;
};
