#pragma once
// The general tab: the polled folder, when mails are checked and how many per check.

#include "ui/config/ConfigPage.h"

class QLabel;
class QLineEdit;
class QSpinBox;

class GeneralPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit GeneralPage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;
    int showProblems(const QList<ConfigProblem> &problems) override;

    QLineEdit *checkIntervalField() const { return m_checkInterval; }
    QLabel *checkIntervalProblem() const { return m_checkIntervalProblem; }

private:
    QLineEdit *m_inbox, *m_checkInterval;
    QLabel *m_checkIntervalProblem;
    QSpinBox *m_maxMails;
};
