#pragma once
// The mail reporting tab: the report's subjects, the SMTP connection and how often the report
// is looked at.

#include "ui/config/ConfigPage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class ReportPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit ReportPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;
    int showProblems(const QList<ConfigProblem> &problems) override;

    QLineEdit *smtpHostField() const { return m_host; }

private:
    QWidget *buildSubjects();
    QWidget *buildSmtp();

    QLineEdit *m_subjectOk, *m_subjectError;
    QLineEdit *m_host, *m_login, *m_password, *m_sender, *m_clientName;
    QSpinBox *m_port, *m_interval;
    QLabel *m_portProblem;
    QComboBox *m_connType, *m_authType;
};
