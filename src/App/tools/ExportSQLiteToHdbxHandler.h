#pragma once
// Export of the SQLite database of the file export into monthly history files (one file per DMS
// point and UTC month), and, when the history folder text names two trees ("new;old"), the
// comparison of the two trees into "VerifyHdbx.csv". The counters: files written, files failed,
// records written, database failures.

#include "tools/HistoryFile.h"
#include "tools/ToolThread.h"

#include <QSqlDatabase>

// What one export run into history files takes.
struct ExportHdbxParams
{
    // The default value query; "%1" stands for the rds ids of one point.
    static QString defaultQuery();

    QString databaseFile;
    QString historyFolder; // "NEW;OLD": compare two trees instead
    QString query = defaultQuery();
};

class ExportSQLiteToHdbxHandler : public ToolJob<ExportHdbxParams>
{
    Q_OBJECT
public:
    ExportSQLiteToHdbxHandler();

protected:
    void prepare() override;
    QString startLogText() const override;
    QString startInfo() const override { return QStringLiteral("Exporting to hdbx, open db..."); }
    void execute() override;
    QString endText() const override;

private:
    bool openDatabase();
    void exportLoop();
    void writePoint(const QString &name, const QList<Orvane::DBData> &records);
    void verify(QString newTree, QString oldTree);
    QString compareMonth(const QString &newMonth, const QString &oldMonth);

    QSqlDatabase m_db;
};
