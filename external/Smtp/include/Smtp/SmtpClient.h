#pragma once

#include "Smtp/MimeMessage.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <memory>

// An SMTP client over libcurl, in three phases, each asked for and then waited for:
//
//   connectToHost() + waitForReadyConnected(ms)  TCP or TLS connection, greeting, EHLO with the
//                                                client name, STARTTLS for TlsConnection
//   login(...)      + waitForAuthenticated(ms)   AUTH PLAIN or AUTH LOGIN
//   sendMail(...)   + waitForMailSent(ms)        MAIL FROM, RCPT TO, DATA
//   quit()                                       QUIT, connection closed
//
// Each wait does its phase within the given time and returns false on failure; responseText()
// then holds the server's reply that refused it, or the connection's own error when the server
// gave none. Failures also emit error(). The calls block: use the client in one thread.
// Server replies are bounded (MaxReplyBytes); a longer reply fails the phase.
class SmtpClient : public QObject
{
    Q_OBJECT
public:
    enum ConnectionType { TcpConnection, SslConnection, TlsConnection };
    Q_ENUM(ConnectionType)
    enum AuthMethod { AuthPlain, AuthLogin };
    Q_ENUM(AuthMethod)
    enum SmtpError {
        ConnectionTimeoutError,
        ResponseTimeoutError,
        SendDataTimeoutError,
        AuthenticationFailedError,
        ServerError, // the server refused a command
        ClientError, // a phase asked for in the wrong order
        SocketError  // the connection failed or was closed
    };
    Q_ENUM(SmtpError)

    static constexpr int MaxReplyBytes = 64 * 1024;

    SmtpClient(const QString &host, int port, ConnectionType type = TcpConnection, QObject *parent = nullptr);
    ~SmtpClient() override;

    // The name announced with EHLO; the local host name when empty.
    void setName(const QString &name) { m_name = name; }
    // Whether TLS connections check the server's certificate and host name (default true).
    void setPeerVerification(bool verify) { m_verifyPeer = verify; }

    void connectToHost();
    bool waitForReadyConnected(int msec);
    void login(const QString &user, const QString &password, AuthMethod method = AuthPlain);
    bool waitForAuthenticated(int msec);
    void sendMail(const MimeMessage &message);
    bool waitForMailSent(int msec);
    void quit();

    QString responseText() const { return m_responseText; }
    int responseCode() const { return m_responseCode; }

signals:
    void error(SmtpClient::SmtpError e);

private:
    struct Session;
    enum class Pending { None, Connect, Login, Send };

    bool fail(SmtpError e, const QString &text);
    // Sends one command line and reads the reply; true when the reply's first digit is
    // expectedClass. On false, m_failure tells what went wrong.
    bool command(const QByteArray &line, int expectedClass, const QDeadlineTimer &deadline);
    bool readReply(const QDeadlineTimer &deadline);
    bool sendAll(const QByteArray &data, const QDeadlineTimer &deadline);
    bool waitSocket(bool forWrite, const QDeadlineTimer &deadline);
    // Fails the phase: a refusing reply gives refusedError, else the transport's failure.
    bool failPhase(SmtpError refusedError);

    const QString m_host;
    const int m_port;
    const ConnectionType m_type;
    QString m_name;
    bool m_verifyPeer = true;
    Pending m_pending = Pending::None;
    QString m_user;
    QString m_password;
    AuthMethod m_method = AuthPlain;
    QByteArray m_mailFrom;
    QList<QByteArray> m_rcptTo;
    QByteArray m_data;
    std::unique_ptr<Session> m_session;
    QString m_responseText;
    int m_responseCode = 0;
    SmtpError m_failure = ServerError;
};
