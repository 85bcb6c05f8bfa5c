#include "service/SystemdNotifier.h"

#include "KyrLogger/Logger.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <climits>

namespace {
// A status line is one line of modest length.
constexpr int MaxStatusChars = 200;

QByteArray statusLine(const QString &text)
{
    return "STATUS=" + text.left(MaxStatusChars).replace(u'\n', u' ').toUtf8();
}
} // namespace

SystemdNotifier::SystemdNotifier(QObject *parent)
    : QObject(parent), m_active(!qEnvironmentVariableIsEmpty("NOTIFY_SOCKET"))
{
    uint64_t usec = 0;
    if (!m_active || sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return;
    const qint64 intervalMs = std::clamp<qint64>(qint64(usec / 2000), 1, INT_MAX);
    m_watchdog.setInterval(int(intervalMs));
    connect(&m_watchdog, &QTimer::timeout, this, [this] { send("WATCHDOG=1"); });
    m_watchdog.start();
    LOG_OUT(Kyr::LogInfo, "Service watchdog fed every %1 ms").arg(intervalMs).endl();
}

void SystemdNotifier::ready(const QString &status)
{
    send("READY=1\n" + statusLine(status));
}

void SystemdNotifier::stopping()
{
    m_watchdog.stop();
    send("STOPPING=1\n" + statusLine(QStringLiteral("Stopping")));
}

void SystemdNotifier::status(const QString &text)
{
    send(statusLine(text));
}

void SystemdNotifier::send(const QByteArray &state)
{
    if (m_active)
        sd_notify(0, state.constData());
}
