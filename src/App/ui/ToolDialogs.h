#pragma once
// The dialogs that collect the parameters of the offline tools. Each only fills its tool's
// parameter record: the tray menu hands it to the tool when the dialog is accepted.

#include "tools/ExportFileToSQLiteHandler.h"
#include "tools/ExportSQLiteToHdbxHandler.h"
#include "tools/ImportHandler.h"
#include "tools/SearchHandler.h"
#include "ui/ToolDialog.h"

class QListWidget;
class QPlainTextEdit;

// Import of mails and files into history files.
class ImportCfg : public ToolDialog
{
    Q_OBJECT
public:
    explicit ImportCfg(const QString &applicationName, QWidget *parent = nullptr);
    ImportParams values() const;

public slots:
    void onSelectImportPaths();
};

// Search through mails and files.
class SearchCfg : public ToolDialog
{
    Q_OBJECT
public:
    explicit SearchCfg(const QString &applicationName, QWidget *parent = nullptr);
    // No format selected searches every format.
    SearchParams values() const;
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
    explicit ExportFileToSQLiteCfg(const QString &applicationName, QWidget *parent = nullptr);
    ExportSqliteParams values() const;

public slots:
    void onSelectExportPaths();
};

// Export from that database into history files.
class ExportSQLiteToHdbxCfg : public ToolDialog
{
    Q_OBJECT
public:
    explicit ExportSQLiteToHdbxCfg(const QString &applicationName, QWidget *parent = nullptr);
    ExportHdbxParams values() const;

public slots:
    void onSelectDb();
    void onSelectBackupPath();
    void onDefaultQuery();

private:
    QPlainTextEdit *m_query;
};
