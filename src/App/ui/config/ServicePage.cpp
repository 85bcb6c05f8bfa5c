#include "ui/config/ServicePage.h"

#include "ui/config/PageParts.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

ServicePage::ServicePage(QWidget *parent)
    : ConfigPage(parent)
{
    auto *group = new QGroupBox(tr("Metrics (Prometheus text format, GET /metrics)"), this);
    auto *form = new QFormLayout(group);
    m_metricsPort = PageParts::numberField(group);
    m_metricsPort->setToolTip(tr("TCP port of the metrics endpoint; 0 switches it off"));
    m_metricsAddress = new QLineEdit(group);
    m_metricsAddress->setToolTip(tr("Address the endpoint listens on: 127.0.0.1 for this machine only, "
                                    "0.0.0.0 for every interface"));
    m_portProblem = PageParts::problemLabel(group);
    m_addressProblem = PageParts::problemLabel(group);
    form->addRow(tr("Metrics port"), PageParts::withSuffix(m_metricsPort, tr("0 = off"), m_portProblem));
    form->addRow(tr("Metrics address"), PageParts::withSuffix(m_metricsAddress, QString(), m_addressProblem));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);
    watchFields();
}

void ServicePage::load(const Configuration &config)
{
    m_metricsPort->setValue(config.service.metricsPort);
    m_metricsAddress->setText(config.service.metricsAddress);
}

void ServicePage::store(Configuration &config) const
{
    config.service.metricsPort = m_metricsPort->value();
    config.service.metricsAddress = m_metricsAddress->text();
}

int ServicePage::showProblems(const QList<ConfigProblem> &problems)
{
    const QString port = PageParts::problemOf(problems, QStringLiteral("Service"), QStringLiteral("MetricsPort"));
    const QString address = PageParts::problemOf(problems, QStringLiteral("Service"), QStringLiteral("MetricsAddress"));
    PageParts::showProblem(m_portProblem, port);
    PageParts::showProblem(m_addressProblem, address);
    return int(!port.isEmpty()) + int(!address.isEmpty());
}
