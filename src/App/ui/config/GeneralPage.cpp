#include "ui/config/GeneralPage.h"

#include "ui/config/PageParts.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

GeneralPage::GeneralPage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *group = new QGroupBox(tr("General"), this);
    auto *form = new QFormLayout(group);
    m_inbox = new QLineEdit(group);
    m_checkInterval = new QLineEdit(group);
    m_checkInterval->setToolTip(tr("Minutes between checks (at least 1), or clock times hh:mm separated by \";\""));
    m_checkIntervalProblem = PageParts::problemLabel(group);
    m_maxMails = PageParts::numberField(group);
    form->addRow(tr("Inbox"), m_inbox);
    form->addRow(tr("Check mails every"),
                 PageParts::withSuffix(m_checkInterval, tr("min / time"), m_checkIntervalProblem));
    form->addRow(tr("Limit to"), PageParts::withSuffix(m_maxMails, tr("Mails per session")));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);
    watchFields();
}

void GeneralPage::load(const Configuration &config)
{
    m_inbox->setText(config.mail.inboxFolder);
    m_checkInterval->setText(config.mail.checkInterval);
    m_maxMails->setValue(config.mail.maxMailsPerSession);
}

void GeneralPage::store(Configuration &config) const
{
    config.mail.inboxFolder = m_inbox->text();
    config.mail.checkInterval = m_checkInterval->text();
    config.mail.maxMailsPerSession = m_maxMails->value();
}

int GeneralPage::showProblems(const QList<ConfigProblem> &problems)
{
    const QString problem = PageParts::problemOf(problems, QStringLiteral("Mail"), QStringLiteral("CheckInterval"));
    PageParts::showProblem(m_checkIntervalProblem, problem);
    return problem.isEmpty() ? 0 : 1;
}
