#pragma once
// Export of saved mails and data files into one SQLite database (tables file, rds, measurement).
// Every file walked gets a file row, also when it failed, so a later run over the same folders
// skips it and only adds new files. Values are always bound, never pasted into SQL text.

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

class ExportFileToSQLiteHandler : public ToolJob<ExportSqliteParams>
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
    bool runQuery(const QString &statement);
    void exportFile(SourceFile &file);
    qint64 insertFileRow(const SourceFile &file);
    void nameRecords(QList<DataParser::ValueRec> &records, QList<int> &status, QList<qint64> &rdsIds);
    qint64 rdsId(const DataParser::ValueRec &rec, const QString &dmsName);
    sqlite3 *sqliteHandle() const;
    void insertMeasurements(const QList<DataParser::ValueRec> &records, const QList<int> &status,
                            const QList<qint64> &rdsIds, qint64 fileId);

    ToolNaming m_naming;
    QSqlDatabase m_db;
    QSet<QString> m_exported;  // file_name of every file row
    struct RdsRow
    {
        qint64 id;
        QString dms;
    };
    QHash<QString, RdsRow> m_rds; // import identifier -> its rds row, as stored
};

// The time of a saved mail from its headers or its file name; invalid when neither gives one.
QDateTime mailFileTime(const QList<MIME::Header> &headers, const QString &path);
