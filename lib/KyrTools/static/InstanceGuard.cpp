#include "InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace Kyr {

InstanceGuard::InstanceGuard(const QString &applicationName, const QString &version,
                             const QString &executablePath, QObject *parent)
    : QObject(parent)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(applicationName.toUtf8());
    hash.addData(QByteArray::number(getuid()));
    hash.addData(version.toUtf8());
    hash.addData(executablePath.toUtf8());
    m_key = QStringLiteral("orvane-%1").arg(QString::fromLatin1(hash.result().toHex().left(24)));
}

InstanceGuard::~InstanceGuard() = default;

InstanceGuard::Result InstanceGuard::acquire(int timeoutMs)
{
    m_lock = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(m_key + QStringLiteral(".lock")));
    // A lock left by a process that no longer runs is taken over by tryLock.
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError)
            return announceToPrimary(timeoutMs) ? Result::SecondaryRunning : Result::Failed;
        m_errorDetail = QStringLiteral("SingleApplication: Unable to create block.");
        m_errorCode = int(m_lock->error());
        m_errorText = m_lock->error() == QLockFile::PermissionError
                          ? QStringLiteral("Permission denied for the lock file in %1").arg(QDir::tempPath())
                          : QStringLiteral("Unknown error while creating the lock file in %1").arg(QDir::tempPath());
        return Result::Failed;
    }

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_key); // a socket file left by a crashed first instance
    if (!m_server->listen(m_key)) {
        m_errorDetail = QStringLiteral("SingleApplication: Unable to listen for other instances.");
        m_errorCode = int(m_server->serverError());
        m_errorText = m_server->errorString();
        return Result::Failed;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [socket] { socket->readAll(); });
            emit instanceStarted();
        }
    });
    return Result::Primary;
}

bool InstanceGuard::announceToPrimary(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_key);
    if (!socket.waitForConnected(timeoutMs)) {
        m_errorDetail = QStringLiteral("SingleApplication: Unable to connect to the primary instance.");
        m_errorCode = int(socket.error());
        m_errorText = socket.errorString();
        return false;
    }
    socket.write("started\n");
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

} // namespace Kyr
