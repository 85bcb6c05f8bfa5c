#pragma once
// Export of saved mails and data files into one SQLite database (tables file, rds, measurement).
// Every file walked gets a file row, also when it failed, so a later run over the same folders
// skips it and only adds new files. Values are always bound, never pasted into SQL text.

#include "config/Settings.h"
#include "naming/AksNaming.h"
#include "tools/SourceWalk.h"
#include "tools/ToolThread.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>

#include <memory>

struct sqlite3;

class ExportFileToSQLiteHandler : public ToolThread
{
    Q_OBJECT
public:
    static QString connectionName() { return QStringLiteral("QuillonExport"); }
    // The schema statements, run in this order at every open.
    static const QStringList &schema();

    explicit ExportFileToSQLiteHandler(const DmsConfig &naming);

    // Ignored while a run is going.
    void startFileExport(const QString &sources, const QString &databaseFile);

signals:
    void sigExportInfo(QString info);

public slots:
    void onStartFileExport();

private:
    bool openDatabase();
    bool runQuery(const QString &statement);
    void exportFile(SourceFile &file);
    qint64 rdsId(const DataParser::ValueRec &rec, const QString &dmsName);
    sqlite3 *sqliteHandle() const;
    void insertMeasurements(const QList<DataParser::ValueRec> &records, const QList<int> &status,
                            const QList<qint64> &rdsIds, qint64 fileId);

    DmsConfig m_naming;
    QString m_sources;
    QString m_databaseFile;

    QSqlDatabase m_db;
    std::unique_ptr<AksNaming> m_aks;
    AksNaming::MappingCache m_cache;
    WalkCounters m_counters;
    qint64 m_dbFailures = 0;
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
