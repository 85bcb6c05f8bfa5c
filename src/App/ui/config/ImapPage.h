#pragma once
// The IMAP tab: the server connection, with plain login allowed only on request, and where
// handled and failed mails are filed.

#include "ui/config/ConfigPage.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class ImapPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit ImapPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;
    int showProblems(const QList<ConfigProblem> &problems) override;

    QCheckBox *allowPlainLoginBox() const { return m_allowPlainLogin; }
    QLabel *plainLoginWarning() const { return m_plainLoginWarning; }

public slots:
    void onImapFolderClicked();
    void onLocalFolderClicked();
    void onSetDependecies(int state);

private:
    QGroupBox *buildConnection();
    QGroupBox *buildSuccess();
    QGroupBox *buildFailure();
    void pickLocalFolder(QLineEdit *field);

    QLineEdit *m_host, *m_userName, *m_password;
    QSpinBox *m_port;
    QLabel *m_portProblem;
    QCheckBox *m_ssl, *m_allowPlainLogin;
    QLabel *m_plainLoginWarning;
    QCheckBox *m_successToImap, *m_successToLocal, *m_successDecrypted, *m_ignoreEncrypted;
    QLineEdit *m_successImapFolder, *m_successLocalFolder, *m_successDecryptedFolder;
    QCheckBox *m_failedToImap, *m_failedToLocal;
    QLineEdit *m_failedImapFolder, *m_failedLocalFolder;
};
