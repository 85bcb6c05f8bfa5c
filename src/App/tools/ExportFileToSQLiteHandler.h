#pragma once
// Export of saved mails and data files into one SQLite database (tables file, rds, measurement).
// Every file walked gets a file row, also when it failed, so a later run over the same folders
// skips it and only adds new files. Values are always bound, never pasted into SQL text.
// One transaction per file: its row first, then its measurements batch by batch as the parser gives
// them, then the row's count, type and result. A data file that is refused takes its rows back with
// its transaction; each attachment of a mail has a savepoint, so the rows of the others stay.

#include "tools/MeasurementRows.h"
#include "tools/ToolNaming.h"
#include "tools/ToolThread.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>

struct sqlite3;

// What one export run into SQLite takes.
struct ExportSqliteParams
{
    QString sources;      // folders separated by ";"
    QString databaseFile;
};

class ExportFileToSQLiteHandler : public ToolJob<ExportSqliteParams>, private SourceHandler
{
    Q_OBJECT
public:
    static QString connectionName() { return QStringLiteral("QuillonExport"); }
    // The schema statements, run in this order at every open.
    static const QStringList &schema();

    explicit ExportFileToSQLiteHandler(const DmsConfig &naming);

protected:
    void prepare() override;
    QString startLogText() const override;
    QString startInfo() const override { return QStringLiteral("Exporting - open db..."); }
    void execute() override;
    QString endText() const override;

private:
    bool openDatabase();
    void loadRds();
    bool runQuery(const QString &statement);
    void fileStarted(const SourceFile &file) override;
    void dataStarted(const SourceFile &file) override;
    void records(const SourceFile &file, RecordSink::Batch &batch) override;
    void dataEnded(const SourceFile &file, bool parsed) override;
    void fileEnded(const SourceFile &file) override;
    bool beginTransaction();
    qint64 insertFileRow(const SourceFile &file);
    bool updateFileRow(const SourceFile &file);
    MeasurementRows::Row measurementRow(DataParser::ValueRec &rec);
    void insertWaitingRows();
    qint64 rdsId(const DataParser::ValueRec &rec, const QString &dmsName);
    sqlite3 *sqliteHandle() const;

    ToolNaming m_naming;
    QSqlDatabase m_db;
    QSet<QString> m_exported;  // file_name of every file row
    struct RdsRow
    {
        qint64 id;
        QString dms;
    };
    QHash<QString, RdsRow> m_rds; // import identifier -> its rds row, as stored
    MeasurementRows m_rows;
    QList<MeasurementRows::Row> m_batchRows; // named, not yet inserted (less than a group between batches)

    // The file being exported.
    struct FileState
    {
        bool started = false;      // its data is being read
        qint64 fileId = -1;        // its row; -1 while it has none
        bool open = false;         // its transaction runs
        bool storing = false;      // its rows go in (row, transaction and statements ready)
        qint64 kept = 0;           // records of the data that parsed
        qint64 dataRecords = 0;    // records of the data being read
        int firstType = -1;        // import type of the first record kept
        int dataFirstType = -1;
        bool rdsChanged = false;   // the data being read added or renamed rds rows
        bool rdsKnown = false;     // the last record's identifiers and rds row: looked up again on a change
        QString previousImport;
        QString previousName;
        qint64 previousId = -1;
    } m_file;
};

// The time of a saved mail from its headers or its file name; invalid when neither gives one.
QDateTime mailFileTime(const QList<MIME::Header> &headers, const QString &path);
