#pragma once
// The service tab: the metrics endpoint a monitoring system scrapes (off while the port is 0).

#include "ui/config/ConfigPage.h"

class QLabel;
class QLineEdit;
class QSpinBox;

class ServicePage : public ConfigPage
{
    Q_OBJECT
public:
    explicit ServicePage(QWidget *parent = nullptr);

    void load(const Configuration &config) override;
    void store(Configuration &config) const override;
    int showProblems(const QList<ConfigProblem> &problems) override;

private:
    QSpinBox *m_metricsPort;
    QLineEdit *m_metricsAddress;
    QLabel *m_portProblem, *m_addressProblem;
};
