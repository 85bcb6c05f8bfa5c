#include "service/ServiceFrontEnd.h"

#include "AppMain.h"
#include "KyrLogger/Logger.h"
#include "config/ConfigFile.h"
#include "service/ControlChannel.h"

ServiceFrontEnd::ServiceFrontEnd(AppMain *app, QObject *parent)
    : QObject(parent)
    , m_app(app)
    , m_status(app)
    , m_commands(app, &m_status, [this] { reload(QStringLiteral("control command")); })
    , m_control(m_commands)
{
    m_control.listen(ControlChannel::socketName(app->applicationName(),
                                                qEnvironmentVariable("ORVANE_CURRENT_PROJECT_LOCATION")));
    connect(&m_reloadSignal, &ReloadSignal::sigReload, this, [this] { reload(QStringLiteral("SIGHUP")); });
    connect(app, &AppMain::sigHandlersStarted, this, &ServiceFrontEnd::onHandlersStarted);
    connect(app, &AppMain::sigStopping, this, [this] { m_notifier.stopping(); });
    connect(&m_status, &InstanceStatus::sigChanged, this, [this] { m_notifier.status(m_status.summary()); });
}

ServiceFrontEnd::~ServiceFrontEnd() = default;

void ServiceFrontEnd::onHandlersStarted()
{
    applyMetricsSettings(m_app->serviceConfig());
    m_notifier.ready(m_status.summary());
}

void ServiceFrontEnd::reload(const QString &origin)
{
    LOG_OUT(Kyr::LogInfo, "Reload of the configuration requested by %1").arg(origin).endl();
    QMetaObject::invokeMethod(
        m_app, [app = m_app] { app->onConfigFileChanged(ConfigFile::configFilePath()); }, Qt::QueuedConnection);
}

void ServiceFrontEnd::applyMetricsSettings(const ServiceConfig &config)
{
    if (config.metricsPort == m_metricsSettings.metricsPort && config.metricsAddress == m_metricsSettings.metricsAddress)
        return;
    m_metrics.reset();
    m_metricsSettings = config;
    if (config.metricsPort == 0)
        return;
    const QHostAddress address(config.metricsAddress);
    if (address.isNull() || config.metricsPort < 0 || config.metricsPort > 65535) {
        LOG_OUT(Kyr::LogError, "Metrics endpoint not started: '%1' port %2 is no address and port to listen on")
            .arg(config.metricsAddress)
            .arg(config.metricsPort)
            .endl();
        return;
    }
    auto metrics = std::make_unique<MetricsServer>(address, quint16(config.metricsPort), m_app->applicationName(),
                                                   m_app->applicationVersion());
    QString error;
    if (!metrics->startListening(&error)) {
        LOG_OUT(Kyr::LogError, "Metrics endpoint could not listen on %1:%2: %3")
            .arg(config.metricsAddress)
            .arg(config.metricsPort)
            .arg(error)
            .endl();
        return;
    }
    LOG_OUT(Kyr::LogInfo, "Metrics served at http://%1:%2/metrics").arg(config.metricsAddress).arg(config.metricsPort).endl();
    m_metrics = std::move(metrics);
}
