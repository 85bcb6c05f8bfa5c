#include "ui/config/ImapPage.h"

#include "ui/config/PageParts.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
void folderRow(QGridLayout *grid, int row, QCheckBox *box, QLineEdit *field, QPushButton *picker = nullptr)
{
    grid->addWidget(box, row, 0);
    grid->addWidget(field, row, 1);
    if (picker)
        grid->addWidget(picker, row, 2);
}
} // namespace

ImapPage::ImapPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildConnection());
    layout->addWidget(buildSuccess());
    layout->addWidget(buildFailure());
    layout->addStretch(1);
    for (QCheckBox *box : {m_successToImap, m_successToLocal, m_successDecrypted, m_failedToImap, m_failedToLocal})
        connect(box, &QCheckBox::stateChanged, this, &ImapPage::onSetDependecies);
    watchFields();
}

QGroupBox *ImapPage::buildConnection()
{
    auto *group = new QGroupBox(tr("IMAP connection"), this);
    auto *form = new QFormLayout(group);
    m_host = new QLineEdit(group);
    m_port = PageParts::numberField(group);
    m_portProblem = PageParts::problemLabel(group);
    m_userName = new QLineEdit(group);
    m_password = new QLineEdit(group);
    m_password->setEchoMode(QLineEdit::Password);
    m_ssl = new QCheckBox(tr("SSL"), group);
    m_allowPlainLogin = new QCheckBox(tr("Allow plain login without encryption"), group);
    m_plainLoginWarning = new QLabel(tr("The password then travels in clear text."), group);
    m_plainLoginWarning->setStyleSheet(QStringLiteral("color: #c82828;"));
    m_plainLoginWarning->setVisible(false);
    connect(m_allowPlainLogin, &QCheckBox::toggled, m_plainLoginWarning, &QLabel::setVisible);
    auto *security = new QWidget(group);
    auto *row = new QHBoxLayout(security);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget *widget : std::initializer_list<QWidget *>{m_ssl, m_allowPlainLogin, m_plainLoginWarning})
        row->addWidget(widget);
    row->addStretch(1);
    form->addRow(tr("Host"), m_host);
    form->addRow(tr("Port"), PageParts::withSuffix(m_port, QString(), m_portProblem));
    form->addRow(tr("Username"), m_userName);
    form->addRow(tr("Password"), m_password);
    form->addRow(QString(), security);
    return group;
}

QGroupBox *ImapPage::buildSuccess()
{
    auto *group = new QGroupBox(tr("On success"), this);
    auto *grid = new QGridLayout(group);
    m_successToImap = new QCheckBox(tr("Copy original EMail to Server folder"), group);
    m_successImapFolder = new QLineEdit(group);
    m_successToLocal = new QCheckBox(tr("Copy original or decrypted EMail to local folder"), group);
    m_successLocalFolder = new QLineEdit(group);
    auto *picker = new QPushButton(QStringLiteral("..."), group);
    connect(picker, &QPushButton::clicked, this, &ImapPage::onImapFolderClicked);
    m_successDecrypted = new QCheckBox(tr("Copy decrypted EMail to Server folder"), group);
    m_successDecryptedFolder = new QLineEdit(group);
    m_ignoreEncrypted = new QCheckBox(tr("Ignore encrypted EMail"), group);
    folderRow(grid, 0, m_successToImap, m_successImapFolder);
    folderRow(grid, 1, m_successToLocal, m_successLocalFolder, picker);
    folderRow(grid, 2, m_successDecrypted, m_successDecryptedFolder);
    grid->addWidget(m_ignoreEncrypted, 3, 0);
    grid->setColumnStretch(1, 1);
    return group;
}

QGroupBox *ImapPage::buildFailure()
{
    auto *group = new QGroupBox(tr("On failure"), this);
    auto *grid = new QGridLayout(group);
    m_failedToImap = new QCheckBox(tr("Copy original EMail to Server folder"), group);
    m_failedImapFolder = new QLineEdit(group);
    m_failedToLocal = new QCheckBox(tr("Copy original or decrypted EMail to local folder"), group);
    m_failedLocalFolder = new QLineEdit(group);
    auto *picker = new QPushButton(QStringLiteral("..."), group);
    connect(picker, &QPushButton::clicked, this, &ImapPage::onLocalFolderClicked);
    folderRow(grid, 0, m_failedToImap, m_failedImapFolder);
    folderRow(grid, 1, m_failedToLocal, m_failedLocalFolder, picker);
    grid->setColumnStretch(1, 1);
    return group;
}

void ImapPage::load(const Configuration &config)
{
    const MailConfig &mail = config.mail;
    m_host->setText(mail.host);
    m_port->setValue(mail.port);
    m_ssl->setChecked(mail.ssl);
    m_allowPlainLogin->setChecked(mail.allowPlainLogin);
    m_userName->setText(mail.userName);
    m_password->setText(mail.password);
    m_successToImap->setChecked(mail.successCopyToImap);
    m_ignoreEncrypted->setChecked(mail.successCopyToImapWithoutEncrypted);
    m_successImapFolder->setText(mail.successImapFolder);
    m_successDecrypted->setChecked(mail.successCopyToImapDecrypted);
    m_successDecryptedFolder->setText(mail.successImapFolderDecrypted);
    m_successToLocal->setChecked(mail.successCopyToLocal);
    m_successLocalFolder->setText(mail.successLocalFolder);
    m_failedToImap->setChecked(mail.failedCopyToImap);
    m_failedImapFolder->setText(mail.failedImapFolder);
    m_failedToLocal->setChecked(mail.failedCopyToLocal);
    m_failedLocalFolder->setText(mail.failedLocalFolder);
    onSetDependecies(0);
}

void ImapPage::store(Configuration &config) const
{
    MailConfig &mail = config.mail;
    mail.host = m_host->text();
    mail.port = m_port->value();
    mail.ssl = m_ssl->isChecked();
    mail.allowPlainLogin = m_allowPlainLogin->isChecked();
    mail.userName = m_userName->text();
    mail.password = m_password->text();
    mail.successCopyToImap = m_successToImap->isChecked();
    mail.successCopyToImapWithoutEncrypted = m_ignoreEncrypted->isChecked();
    mail.successImapFolder = m_successImapFolder->text();
    mail.successCopyToImapDecrypted = m_successDecrypted->isChecked();
    mail.successImapFolderDecrypted = m_successDecryptedFolder->text();
    mail.successCopyToLocal = m_successToLocal->isChecked();
    mail.successLocalFolder = m_successLocalFolder->text();
    mail.failedCopyToImap = m_failedToImap->isChecked();
    mail.failedImapFolder = m_failedImapFolder->text();
    mail.failedCopyToLocal = m_failedToLocal->isChecked();
    mail.failedLocalFolder = m_failedLocalFolder->text();
}

int ImapPage::showProblems(const QList<ConfigProblem> &problems)
{
    const QString problem = PageParts::problemOf(problems, QStringLiteral("Mail"), QStringLiteral("Port"));
    PageParts::showProblem(m_portProblem, problem);
    return problem.isEmpty() ? 0 : 1;
}

void ImapPage::onImapFolderClicked()
{
    pickLocalFolder(m_successLocalFolder);
}

void ImapPage::onLocalFolderClicked()
{
    pickLocalFolder(m_failedLocalFolder);
}

void ImapPage::pickLocalFolder(QLineEdit *field)
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("Open Directory"), field->text());
    // As the stored defaults: a backslash before the date part ("'dir\\'yyyyMMdd"), on every
    // platform; the mail intake decides how it reads the pattern.
    if (!dir.isEmpty())
        field->setText(QStringLiteral("'") + dir + QStringLiteral("\\'yyyyMMdd"));
}

void ImapPage::onSetDependecies(int)
{
    m_successImapFolder->setEnabled(m_successToImap->isChecked());
    m_successLocalFolder->setEnabled(m_successToLocal->isChecked());
    m_successDecryptedFolder->setEnabled(m_successDecrypted->isChecked());
    m_failedImapFolder->setEnabled(m_failedToImap->isChecked());
    m_failedLocalFolder->setEnabled(m_failedToLocal->isChecked());
}
