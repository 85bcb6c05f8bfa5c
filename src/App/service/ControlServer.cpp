#include "service/ControlServer.h"

#include "service/ControlChannel.h"
#include "service/ControlRequest.h"

#include "KyrLogger/Logger.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <sys/socket.h>

ControlServer::ControlServer(const ControlCommands &commands, QObject *parent)
    : QObject(parent), m_commands(commands)
{
}

bool ControlServer::listen(const QString &name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        LOG_OUT(Kyr::LogWarning, "Control channel '%1' is held by another process; this one has none").arg(name).endl();
        return false;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(ControlChannel::MaxClients);
    QLocalServer::removeServer(name); // a socket file left by an instance that crashed
    if (!m_server->listen(name)) {
        LOG_OUT(Kyr::LogError, "Control channel '%1' could not be opened: %2").arg(name).arg(m_server->errorString()).endl();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &ControlServer::onNewConnection);
    LOG_OUT(Kyr::LogInfo, "Control channel open at '%1'").arg(m_server->fullServerName()).endl();
    return true;
}

void ControlServer::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto *timer = new QTimer(socket);
        timer->setSingleShot(true);
        if (m_clients >= ControlChannel::MaxClients) {
            answer(socket, timer, false, QStringLiteral("Too many control connections at once"));
            continue;
        }
        ++m_clients;
        connect(socket, &QObject::destroyed, this, [this] { --m_clients; });
        connect(timer, &QTimer::timeout, socket, [this, socket, timer] {
            answer(socket, timer, false,
                   QStringLiteral("No request line within %1 s").arg(ControlChannel::RequestTimeoutMs / 1000));
        });
        timer->start(ControlChannel::RequestTimeoutMs);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, timer] { onReadyRead(socket, timer); });
    }
}

void ControlServer::onReadyRead(QLocalSocket *socket, QTimer *timer)
{
    const ControlRequest::Reading reading = ControlRequest::read(socket->peek(ControlChannel::MaxRequestBytes + 1));
    if (reading.state == ControlRequest::Reading::Refused) {
        answer(socket, timer, false, reading.text);
    } else if (reading.state == ControlRequest::Reading::Request) {
        const ControlCommands::Answer reply = m_commands.run(reading.text);
        answer(socket, timer, reply.ok, reply.text);
    }
}

// One answer per connection. The server then stops sending (a half close) and drains what the
// client still sends until it hangs up: closing a local socket with unread bytes in it would reset
// the connection and could take the answer with it. A client that neither reads nor hangs up is
// cut when the time limit ends.
void ControlServer::answer(QLocalSocket *socket, QTimer *timer, bool ok, const QString &text)
{
    if (!ok)
        LOG_OUT(Kyr::LogNotice, "Control request refused: %1").arg(text).endl();
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    connect(socket, &QLocalSocket::readyRead, socket, [socket] { socket->readAll(); });
    socket->readAll();
    timer->disconnect();
    connect(timer, &QTimer::timeout, socket, &QLocalSocket::abort);
    timer->start(ControlChannel::RequestTimeoutMs);
    QByteArray bytes = (ok ? QByteArrayLiteral("OK\n") : QByteArrayLiteral("ERROR\n")) + text.toUtf8();
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    socket->write(bytes);
    const auto stopSending = [socket] {
        if (socket->bytesToWrite() == 0 && socket->state() == QLocalSocket::ConnectedState)
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    };
    connect(socket, &QLocalSocket::bytesWritten, socket, stopSending);
    socket->flush();
    stopSending();
}
