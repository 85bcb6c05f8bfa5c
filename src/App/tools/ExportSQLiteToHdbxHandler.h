#pragma once
// Export of the SQLite database of the file export into monthly history files (one file per DMS
// point and UTC month), and, when the history folder text names two trees ("new;old"), the
// comparison of the two trees into "VerifyHdbx.csv".

#include "tools/HistoryFile.h"
#include "tools/ToolThread.h"

#include <QSqlDatabase>

class ExportSQLiteToHdbxHandler : public ToolThread
{
    Q_OBJECT
public:
    // The dialog's default value query; "%1" stands for the rds ids of one point.
    static QString defaultQuery();

    ExportSQLiteToHdbxHandler();

    void startFileExport(const QString &databaseFile, const QString &historyFolder, const QString &query);

signals:
    void sigExportInfo(QString info);

public slots:
    void onStartFileExport();

private:
    bool openDatabase();
    void exportLoop();
    void writePoint(const QString &name, const QList<Orvane::DBData> &records);
    void verify(QString newTree, QString oldTree);
    QString compareMonth(const QString &newMonth, const QString &oldMonth);

    QString m_databaseFile;
    QString m_historyFolder;
    QString m_query;

    QSqlDatabase m_db;
    qint64 m_filesWritten = 0;
    qint64 m_filesFailed = 0;
    qint64 m_recordsWritten = 0;
    qint64 m_dbFailures = 0;
};
