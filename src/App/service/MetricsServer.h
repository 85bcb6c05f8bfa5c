#pragma once
// The metrics endpoint: "GET /metrics" over HTTP (Qt's HTTP server module) answers the counters in
// the Prometheus text format; anything else gets a plain error status. It runs in a thread of its
// own and reads only atomics, so a scrape neither waits for the main loop nor touches the mail
// intake. Every connection is bounded: at most MaxRequestBytes received, MaxConnectionMs open, and
// MaxConnections at once.

#include <QHostAddress>
#include <QSemaphore>
#include <QThread>

class MetricsServer : public QThread
{
    Q_OBJECT
public:
    static constexpr int MaxRequestBytes = 8192;
    static constexpr int MaxConnectionMs = 5000;
    static constexpr int MaxConnections = 16;

    MetricsServer(const QHostAddress &address, quint16 port, const QString &applicationName, const QString &version);
    ~MetricsServer() override;

    // Starts the thread and returns once it listens (true) or could not (false, with the reason).
    bool startListening(QString *error);

protected:
    void run() override;

private:
    const QHostAddress m_address;
    const quint16 m_port;
    const QString m_applicationName;
    const QString m_version;
    QSemaphore m_ready; // released by the thread once it listens or has failed to
    QString m_error;
    bool m_listening = false;
};
