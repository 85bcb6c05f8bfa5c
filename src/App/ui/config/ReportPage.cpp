#include "ui/config/ReportPage.h"

#include "ui/config/PageParts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

ReportPage::ReportPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildSubjects());
    layout->addWidget(buildSmtp());
    layout->addStretch(1);
    watchFields();
}

QWidget *ReportPage::buildSubjects()
{
    auto *group = new QGroupBox(tr("Subjects"), this);
    auto *form = new QFormLayout(group);
    m_subjectOk = new QLineEdit(group);
    m_subjectError = new QLineEdit(group);
    form->addRow(tr("On ok"), m_subjectOk);
    form->addRow(tr("On new status"), m_subjectError);
    return group;
}

QWidget *ReportPage::buildSmtp()
{
    auto *group = new QGroupBox(tr("SMTP connection"), this);
    auto *form = new QFormLayout(group);
    m_host = new QLineEdit(group);
    m_port = PageParts::numberField(group);
    m_portProblem = PageParts::problemLabel(group);
    m_connType = new QComboBox(group);
    m_connType->addItem(QStringLiteral("TCP"), QStringLiteral("TCP"));
    m_connType->addItem(QStringLiteral("SSL"), QStringLiteral("SSL"));
    m_connType->addItem(QStringLiteral("STARTTLS"), QStringLiteral("TLS"));
    m_authType = new QComboBox(group);
    m_authType->addItem(tr("Plain"), QStringLiteral("PLAIN"));
    m_authType->addItem(tr("Login"), QStringLiteral("LOGIN"));
    m_login = new QLineEdit(group);
    m_password = new QLineEdit(group);
    m_password->setEchoMode(QLineEdit::Password);
    m_sender = new QLineEdit(group);
    m_clientName = new QLineEdit(group);
    m_interval = PageParts::numberField(group);
    form->addRow(tr("Host"), m_host);
    form->addRow(tr("Port"), PageParts::withSuffix(m_port, QString(), m_portProblem));
    form->addRow(tr("Connection type"), m_connType);
    form->addRow(tr("Auth method"), m_authType);
    form->addRow(tr("Loginname"), m_login);
    form->addRow(tr("Password"), m_password);
    form->addRow(tr("Sender"), m_sender);
    form->addRow(tr("Name"), m_clientName);
    form->addRow(tr("Send status change every"), PageParts::withSuffix(m_interval, tr("minutes")));
    return group;
}

void ReportPage::load(const Configuration &config)
{
    const ReportConfig &report = config.report;
    m_host->setText(report.host);
    m_port->setValue(report.port);
    PageParts::selectData(m_connType, report.connType);
    m_clientName->setText(report.name);
    m_login->setText(report.userName);
    m_password->setText(report.password);
    PageParts::selectData(m_authType, report.authType);
    m_sender->setText(report.sender);
    m_interval->setValue(report.checkInterval);
    m_subjectError->setText(report.subjectOnError);
    m_subjectOk->setText(report.subjectOnOk);
}

void ReportPage::store(Configuration &config) const
{
    ReportConfig &report = config.report;
    report.host = m_host->text();
    report.port = m_port->value();
    report.connType = m_connType->currentData().toString();
    report.name = m_clientName->text();
    report.userName = m_login->text();
    report.password = m_password->text();
    report.authType = m_authType->currentData().toString();
    report.sender = m_sender->text();
    report.checkInterval = m_interval->value();
    report.subjectOnError = m_subjectError->text();
    report.subjectOnOk = m_subjectOk->text();
}

int ReportPage::showProblems(const QList<ConfigProblem> &problems)
{
    const QString problem = PageParts::problemOf(problems, QStringLiteral("Reporting"), QStringLiteral("Port"));
    PageParts::showProblem(m_portProblem, problem);
    return problem.isEmpty() ? 0 : 1;
}
