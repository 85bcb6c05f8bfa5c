#pragma once
// Tells systemd (a service of Type=notify) how the instance stands: ready once the configuration
// is read and the handlers run (again after each reload), stopping, and a status line for
// "systemctl status". With WatchdogSec set it feeds the watchdog from the main thread's event loop at half the period,
// so a main loop that hangs gets the service restarted. Without NOTIFY_SOCKET nothing is sent.

#include <QObject>
#include <QTimer>

class SystemdNotifier : public QObject
{
    Q_OBJECT
public:
    explicit SystemdNotifier(QObject *parent = nullptr);

    void ready(const QString &status);
    void stopping();
    void status(const QString &text);

private:
    void send(const QByteArray &state);

    const bool m_active;
    QTimer m_watchdog;
};
