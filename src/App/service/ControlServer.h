#pragma once
// The instance's end of the control channel: a local socket reachable by the same user only. Each
// connection may send one request line within the time limit and the size limit; it gets one
// answer and is closed. Silence, oversized or garbled requests and clients that vanish cost the
// instance a refusal at most.

#include "service/ControlCommands.h"

#include <QObject>

class QLocalServer;
class QLocalSocket;
class QTimer;

class ControlServer : public QObject
{
    Q_OBJECT
public:
    ControlServer(const ControlCommands &commands, QObject *parent = nullptr);

    // Opens the channel under the name; false (and logged) when it cannot, or when another
    // process of the same name and project already answers on it.
    bool listen(const QString &name);

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket, QTimer *timer);
    void answer(QLocalSocket *socket, QTimer *timer, bool ok, const QString &text);

    const ControlCommands &m_commands;
    QLocalServer *m_server = nullptr;
    int m_clients = 0;
};
