#include "service/ReloadSignal.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int reloadSockets[2] = {-1, -1};
}

ReloadSignal::ReloadSignal(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, reloadSockets) != 0)
        return;
    m_notifier = new QSocketNotifier(reloadSockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ReloadSignal::onSignalByte);

    struct sigaction action = {};
    action.sa_handler = &ReloadSignal::handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGHUP, &action, nullptr);
}

ReloadSignal::~ReloadSignal()
{
    std::signal(SIGHUP, SIG_DFL);
    for (int &fd : reloadSockets) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void ReloadSignal::handleSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] auto written = ::write(reloadSockets[0], &byte, 1);
}

void ReloadSignal::onSignalByte()
{
    char byte;
    [[maybe_unused]] auto got = ::read(reloadSockets[1], &byte, 1);
    emit sigReload();
}
