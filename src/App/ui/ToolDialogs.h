#pragma once
// The dialogs that collect the parameters of the offline tools. Each only collects values: the
// tray menu hands them to the tool when the dialog is accepted.

#include "parsing/DataParser.h"
#include "ui/ToolDialog.h"

#include <QDateTime>

class QListWidget;
class QPlainTextEdit;

// Import of mails and files into history files.
class ImportCfg : public ToolDialog
{
    Q_OBJECT
public:
    struct Values
    {
        QString importPaths; // directories separated by ";"
        bool directWrite = false;
        QString tempPath;
        QString backupDataPath;
        QDateTime from;
        QDateTime to;
    };

    explicit ImportCfg(const QString &applicationName, QWidget *parent = nullptr);
    Values values() const;

public slots:
    void onSelectImportPaths();
};

// Search through mails and files.
class SearchCfg : public ToolDialog
{
    Q_OBJECT
public:
    struct Values
    {
        QString searchPaths;
        QDateTime from;
        QDateTime to;
        QString fileFilter;
        QString impRds;
        bool impRdsRegex = false;
        QString mappedRds;
        bool mappedRdsRegex = false;
        QString value;
        QString unit;
        QList<DataParser::ImportType> formats;
        QString output;
    };

    explicit SearchCfg(const QString &applicationName, QWidget *parent = nullptr);
    Values values() const;
    // The result file as stored by the last use of the dialog.
    static QString storedOutput(const QString &applicationName);

public slots:
    void onSelectSearchPaths();

private:
    QListWidget *m_formats;
};

// Export of mails and files into an SQLite database.
class ExportFileToSQLiteCfg : public ToolDialog
{
    Q_OBJECT
public:
    struct Values
    {
        QString emailPaths;
        QString output;
    };

    explicit ExportFileToSQLiteCfg(const QString &applicationName, QWidget *parent = nullptr);
    Values values() const;

public slots:
    void onSelectExportPaths();
};

// Export from that database into history files.
class ExportSQLiteToHdbxCfg : public ToolDialog
{
    Q_OBJECT
public:
    struct Values
    {
        QString query;
        QString inputDb;
        QString backupPath;
    };

    static const QString kDefaultQuery;

    explicit ExportSQLiteToHdbxCfg(const QString &applicationName, QWidget *parent = nullptr);
    Values values() const;

public slots:
    void onSelectDb();
    void onSelectBackupPath();
    void onDefaultQuery();

private:
    QPlainTextEdit *m_query;
};
