#include "service/MetricsServer.h"

#include "service/MetricsText.h"
#include "service/ServiceCounters.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

using StatusCode = QHttpServerResponder::StatusCode;

class MetricsHttp : public QAbstractHttpServer
{
public:
    MetricsHttp(QString applicationName, QString version)
        : m_applicationName(std::move(applicationName)), m_version(std::move(version))
    {
    }

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        QHttpServerResponder responder = makeResponder(request, socket);
        if (request.url().path() != QLatin1String("/metrics"))
            responder.write("Not found\n", "text/plain", StatusCode::NotFound);
        else if (request.method() != QHttpServerRequest::Method::Get)
            responder.write("Only GET\n", "text/plain", StatusCode::MethodNotAllowed);
        else
            responder.write(MetricsText::render(ServiceCounters::instance(), m_applicationName, m_version),
                            "text/plain; version=0.0.4; charset=utf-8");
        return true;
    }

    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        makeResponder(request, socket).write("Not found\n", "text/plain", StatusCode::NotFound);
    }

private:
    const QString m_applicationName;
    const QString m_version;
};

// Hands the HTTP server only connections it can afford: a connection past the limits is answered
// with a plain status and closed, and the HTTP server stops reading it.
class BoundedTcpServer : public QTcpServer
{
public:
    explicit BoundedTcpServer(QObject *http) : m_http(http) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_open >= MetricsServer::MaxConnections) {
            refuse(socket, "503 Service Unavailable", "Too many connections\n");
            return;
        }
        ++m_open;
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        auto received = std::make_shared<qint64>(0);
        // Runs before the HTTP server's own reader, which takes what is available each time.
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, received] {
            *received += socket->bytesAvailable();
            if (*received > MetricsServer::MaxRequestBytes)
                refuse(socket, "413 Payload Too Large", "Request too large\n");
        });
        QTimer::singleShot(MetricsServer::MaxConnectionMs, socket, [this, socket, received] {
            if (*received == 0)
                refuse(socket, "408 Request Timeout", "No request in time\n");
            else
                socket->disconnectFromHost();
        });
        addPendingConnection(socket);
    }

private:
    void refuse(QTcpSocket *socket, const QByteArray &status, const QByteArray &text)
    {
        disconnect(socket, &QTcpSocket::readyRead, m_http, nullptr);
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        socket->setReadBufferSize(1);
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: "
                      + QByteArray::number(text.size()) + "\r\nConnection: close\r\n\r\n" + text);
        socket->disconnectFromHost();
    }

    QObject *const m_http;
    int m_open = 0;
};

} // namespace

MetricsServer::MetricsServer(const QHostAddress &address, quint16 port, const QString &applicationName,
                             const QString &version)
    : m_address(address), m_port(port), m_applicationName(applicationName), m_version(version)
{
}

MetricsServer::~MetricsServer()
{
    quit();
    wait();
}

bool MetricsServer::startListening(QString *error)
{
    start();
    m_ready.acquire();
    if (!m_listening && error)
        *error = m_error;
    return m_listening;
}

void MetricsServer::run()
{
    MetricsHttp http(m_applicationName, m_version);
    BoundedTcpServer tcp(&http);
    m_listening = tcp.listen(m_address, m_port);
    m_error = tcp.errorString();
    if (m_listening)
        http.bind(&tcp);
    m_ready.release();
    if (m_listening)
        exec();
}
