#pragma once
// The configuration editor: reads the whole configuration file into its widgets, marks itself
// modified on any change and writes the whole file back when saved. Saving changes the file, and
// the controller reloads on that; the editor never talks to the handlers. Before saving it checks
// what the program would silently read as a default (check interval, ports, wildcard patterns)
// and shows each problem beside its field instead of writing.

#include "config/ConfigFile.h"

#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;
class QTableWidget;

class Config_UI : public QMainWindow
{
    Q_OBJECT
public:
    explicit Config_UI(const QString &configFilePath, QWidget *parent = nullptr);

    // Checks and writes the file; false (nothing written) when a field has a problem.
    bool save();
    // The problems found by the last save, one text per field.
    QStringList problems() const { return m_problems; }

    QTabWidget *tabs() const { return m_tabs; }
    QTableWidget *dataPointTable() const { return m_dpTable; }
    QTableWidget *mappingTable() const { return m_mapTable; }
    QTableWidget *optionTable() const { return m_optTable; }
    QTableWidget *checkTable() const { return m_checkTable; }
    QTableWidget *userTable() const { return m_userTable; }
    QLineEdit *checkIntervalField() const { return m_checkInterval; }
    QLabel *checkIntervalProblem() const { return m_checkIntervalProblem; }
    QLineEdit *smtpHostField() const { return m_smtpHost; }

signals:
    void sigClosed();

public slots:
    void onAnyChanged();
    void onOkPressed();
    void onCancelPressed();
    void onMapTableHeaderSortIndicatorChanged(int logicalIndex, Qt::SortOrder order);
    void onImapFolderClicked();
    void onLocalFolderClicked();
    void onSetDependecies(int state);
    void onActionAbout();
    void onActionHelp();
    void onScriptTester();
    void onAddDp();
    void onAddDpTRD();
    void onAddDpALM();
    void onRemoveDp();
    void onAddMap();
    void onRemoveMap();
    void onAddOpt();
    void onRemoveOpt();
    void onAddCheck();
    void onRemoveCheck();
    void onAddUser();
    void onRemoveUser();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildImapTab();
    QWidget *buildCloudTab();
    QWidget *buildGeneralTab();
    QWidget *buildCryptoTab();
    QWidget *buildDmsTab();
    QWidget *buildMappingTab();
    QWidget *buildOptionsTab();
    QWidget *buildRangeCheckTab();
    QWidget *buildUsersTab();
    QWidget *buildReportingTab();
    void buildMenu();
    void connectChanges();

    void load();
    Configuration collect() const;
    bool checkFields();
    void pickLocalFolder(QLineEdit *field);

    // Rows: column 0 holds the enabled box and the remove button, the other columns the fields.
    int insertRow(QTableWidget *table, int row, bool enabled, const QStringList &cells, const char *removeSlot);
    void addDp(int row, bool enabled, const QString &aks, const QString &type, const QString &value);
    void addOption(const OptionEntry &entry);
    void removeRow(QTableWidget *table, int idColumn, const QString &title);

    QString m_path;
    bool m_loading = false;
    QStringList m_problems;
    QTabWidget *m_tabs;

    // Mail
    QLineEdit *m_host, *m_userName, *m_password;
    QSpinBox *m_port;
    QLabel *m_portProblem;
    QCheckBox *m_ssl;
    QCheckBox *m_successToImap, *m_successToLocal, *m_successDecrypted, *m_ignoreEncrypted;
    QLineEdit *m_successImapFolder, *m_successLocalFolder, *m_successDecryptedFolder;
    QCheckBox *m_failedToImap, *m_failedToLocal;
    QLineEdit *m_failedImapFolder, *m_failedLocalFolder;
    QLineEdit *m_clientId, *m_clientSecret, *m_authUrl, *m_tokenUrl, *m_scope, *m_oAuthUser;
    QLineEdit *m_inbox, *m_checkInterval;
    QLabel *m_checkIntervalProblem;
    QSpinBox *m_maxMails;
    QCheckBox *m_cryptoVerifyApi, *m_verifySignature, *m_cryptoDecryptApi;
    // DMS
    QLineEdit *m_dmsConnection, *m_pdbsConnection, *m_prefix;
    QCheckBox *m_uppercase, *m_writePdbs, *m_lastToDms, *m_useTrd, *m_checkAlways;
    QSpinBox *m_maxLastUpdate, *m_stateErrorPercent;
    QTableWidget *m_dpTable, *m_mapTable, *m_optTable, *m_checkTable, *m_userTable;
    QLabel *m_mapProblem, *m_optProblem, *m_checkProblem;
    // Reporting
    QLineEdit *m_subjectOk, *m_subjectError;
    QLineEdit *m_smtpHost, *m_smtpLogin, *m_smtpPassword, *m_sender, *m_clientName;
    QSpinBox *m_smtpPort, *m_reportInterval;
    QLabel *m_smtpPortProblem;
    QComboBox *m_connType, *m_authType;
};
