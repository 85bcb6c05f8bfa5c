#pragma once
// Opens a running instance to its operator in the conventions of Linux services: the control
// channel of quillon-ctl, SIGHUP for a reload, readiness, status and watchdog for systemd, and the
// metrics endpoint when the configuration asks for it. Lives on the main thread beside the
// controller and follows its start, reloads and stop.

#include "config/Settings.h"
#include "service/ControlCommands.h"
#include "service/ControlServer.h"
#include "service/InstanceStatus.h"
#include "service/MetricsServer.h"
#include "service/ReloadSignal.h"
#include "service/SystemdNotifier.h"

#include <QObject>

#include <memory>

class AppMain;

class ServiceFrontEnd : public QObject
{
    Q_OBJECT
public:
    explicit ServiceFrontEnd(AppMain *app, QObject *parent = nullptr);
    ~ServiceFrontEnd() override;

private:
    void onHandlersStarted();
    // Rereads the configuration as a change of the file does, once the event loop gets to it.
    void reload(const QString &origin);
    void applyMetricsSettings(const ServiceConfig &config);

    AppMain *m_app;
    InstanceStatus m_status;
    ControlCommands m_commands;
    ControlServer m_control;
    ReloadSignal m_reloadSignal;
    SystemdNotifier m_notifier;
    std::unique_ptr<MetricsServer> m_metrics;
    ServiceConfig m_metricsSettings; // what m_metrics runs with
};
