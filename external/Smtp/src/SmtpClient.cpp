#include "Smtp/SmtpClient.h"

#include <QUrl>

#include <curl/curl.h>
#include <poll.h>

#include <mutex>

namespace {

void ensureCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int replyClass(int code)
{
    return code / 100;
}

// The mail as DATA carries it: CRLF line ends, a leading dot doubled, ending with CRLF.
QByteArray dataBlock(const QByteArray &mime)
{
    QByteArray out;
    out.reserve(mime.size() + mime.size() / 32 + 8);
    bool lineStart = true;
    for (qsizetype i = 0; i < mime.size(); ++i) {
        const char c = mime.at(i);
        if (lineStart && c == '.')
            out.append('.');
        if (c == '\n' && (i == 0 || mime.at(i - 1) != '\r'))
            out.append('\r');
        out.append(c);
        lineStart = c == '\n';
    }
    if (!out.endsWith("\r\n"))
        out.append("\r\n");
    return out;
}

} // namespace

struct SmtpClient::Session
{
    ~Session()
    {
        if (curl)
            curl_easy_cleanup(curl);
    }

    // libcurl's trace of the connect phase: keeps the server's last reply line.
    static int trace(CURL *, curl_infotype type, char *data, size_t size, void *self)
    {
        if (type == CURLINFO_HEADER_IN) {
            auto *session = static_cast<Session *>(self);
            session->lastServerLine =
                QByteArray(data, qsizetype(qMin<size_t>(size, MaxReplyBytes))).trimmed();
        }
        return 0;
    }

    CURL *curl = nullptr;
    curl_socket_t socket = CURL_SOCKET_BAD;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QByteArray lastServerLine;
    QByteArray input; // received bytes not yet taken as reply lines
};

SmtpClient::SmtpClient(const QString &host, int port, ConnectionType type, QObject *parent)
    : QObject(parent), m_host(host), m_port(port), m_type(type)
{
}

SmtpClient::~SmtpClient() = default;

bool SmtpClient::fail(SmtpError e, const QString &text)
{
    m_responseText = text;
    emit error(e);
    return false;
}

bool SmtpClient::failPhase(SmtpError refusedError)
{
    if (m_failure == ServerError)
        return fail(refusedError, m_responseText);
    m_session.reset(); // after a transport failure the connection is of no further use
    return fail(m_failure, m_responseText);
}

void SmtpClient::connectToHost()
{
    m_pending = Pending::Connect;
}

bool SmtpClient::waitForReadyConnected(int msec)
{
    if (m_pending != Pending::Connect)
        return fail(ClientError, QStringLiteral("connectToHost() was not called"));
    m_pending = Pending::None;
    m_responseCode = 0;
    ensureCurl();
    m_session = std::make_unique<Session>();
    Session &s = *m_session;
    s.curl = curl_easy_init();
    if (!s.curl)
        return fail(ClientError, QStringLiteral("libcurl could not be initialised"));

    const QString host = m_host.contains(QLatin1Char(':')) ? QLatin1Char('[') + m_host + QLatin1Char(']') : m_host;
    // libcurl announces the URL's path as the EHLO name.
    const QByteArray url = (m_type == SslConnection ? QByteArrayLiteral("smtps://") : QByteArrayLiteral("smtp://"))
                           + host.toUtf8() + ':' + QByteArray::number(m_port) + '/'
                           + QUrl::toPercentEncoding(m_name);
    curl_easy_setopt(s.curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(s.curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    // Connection, TLS, greeting, EHLO and STARTTLS only; the rest runs over curl_easy_send/recv.
    curl_easy_setopt(s.curl, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(s.curl, CURLOPT_CONNECTTIMEOUT_MS, long(msec));
    curl_easy_setopt(s.curl, CURLOPT_TIMEOUT_MS, long(msec));
    curl_easy_setopt(s.curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(s.curl, CURLOPT_USE_SSL, long(m_type == TlsConnection ? CURLUSESSL_ALL : CURLUSESSL_NONE));
    curl_easy_setopt(s.curl, CURLOPT_SSL_VERIFYPEER, long(m_verifyPeer));
    curl_easy_setopt(s.curl, CURLOPT_SSL_VERIFYHOST, long(m_verifyPeer ? 2 : 0));
    curl_easy_setopt(s.curl, CURLOPT_ERRORBUFFER, s.errorBuffer);
    curl_easy_setopt(s.curl, CURLOPT_VERBOSE, 1L); // feeds trace(); nothing is printed
    curl_easy_setopt(s.curl, CURLOPT_DEBUGFUNCTION, &Session::trace);
    curl_easy_setopt(s.curl, CURLOPT_DEBUGDATA, &s);

    const CURLcode rc = curl_easy_perform(s.curl);
    if (rc != CURLE_OK) {
        // A refusing server reply says most; otherwise libcurl's description of the failure.
        const QByteArray line = s.lastServerLine;
        const bool refused = line.size() >= 3 && (line.at(0) == '4' || line.at(0) == '5');
        QString text = refused ? QString::fromUtf8(line) : QString::fromUtf8(s.errorBuffer);
        if (text.isEmpty())
            text = QString::fromUtf8(curl_easy_strerror(rc));
        if (refused)
            m_responseCode = line.left(3).toInt();
        m_session.reset();
        return fail(rc == CURLE_OPERATION_TIMEDOUT ? ConnectionTimeoutError : SocketError, text);
    }
    curl_easy_getinfo(s.curl, CURLINFO_ACTIVESOCKET, &s.socket);
    m_responseText = QString::fromUtf8(s.lastServerLine);
    m_responseCode = s.lastServerLine.left(3).toInt();
    return true;
}

void SmtpClient::login(const QString &user, const QString &password, AuthMethod method)
{
    m_user = user;
    m_password = password;
    m_method = method;
    m_pending = Pending::Login;
}

bool SmtpClient::waitForAuthenticated(int msec)
{
    const QString password = std::exchange(m_password, QString());
    if (m_pending != Pending::Login || !m_session)
        return fail(ClientError, QStringLiteral("login() without a connection"));
    m_pending = Pending::None;
    const QDeadlineTimer deadline(msec);
    bool ok;
    if (m_method == AuthLogin) {
        ok = command("AUTH LOGIN", 3, deadline) && command(m_user.toUtf8().toBase64(), 3, deadline)
             && command(password.toUtf8().toBase64(), 2, deadline);
    } else {
        const QByteArray plain = '\0' + m_user.toUtf8() + '\0' + password.toUtf8();
        ok = command("AUTH PLAIN " + plain.toBase64(), 2, deadline);
    }
    return ok || failPhase(AuthenticationFailedError);
}

void SmtpClient::sendMail(const MimeMessage &message)
{
    m_mailFrom = message.sender().address().toUtf8();
    m_rcptTo.clear();
    for (const EmailAddress &a : message.recipients())
        m_rcptTo.append(a.address().toUtf8());
    m_data = dataBlock(message.toMime());
    m_pending = Pending::Send;
}

bool SmtpClient::waitForMailSent(int msec)
{
    if (m_pending != Pending::Send || !m_session)
        return fail(ClientError, QStringLiteral("sendMail() without a connection"));
    m_pending = Pending::None;
    const QDeadlineTimer deadline(msec);
    bool ok = command("MAIL FROM:<" + m_mailFrom + '>', 2, deadline);
    for (const QByteArray &rcpt : std::as_const(m_rcptTo))
        ok = ok && command("RCPT TO:<" + rcpt + '>', 2, deadline);
    ok = ok && command("DATA", 3, deadline);
    if (ok) {
        if (!sendAll(m_data + ".\r\n", deadline)) {
            m_failure = SendDataTimeoutError;
            ok = false;
        } else {
            ok = readReply(deadline) && replyClass(m_responseCode) == 2;
            if (!ok && m_responseCode != 0)
                m_failure = ServerError;
        }
    }
    m_data.clear();
    return ok || failPhase(ServerError);
}

void SmtpClient::quit()
{
    if (m_session && m_session->socket != CURL_SOCKET_BAD)
        command("QUIT", 2, QDeadlineTimer(5000));
    m_session.reset();
    m_pending = Pending::None;
}

bool SmtpClient::command(const QByteArray &line, int expectedClass, const QDeadlineTimer &deadline)
{
    if (!sendAll(line + "\r\n", deadline))
        return false;
    if (!readReply(deadline))
        return false;
    if (replyClass(m_responseCode) != expectedClass) {
        m_failure = ServerError;
        return false;
    }
    return true;
}

bool SmtpClient::sendAll(const QByteArray &data, const QDeadlineTimer &deadline)
{
    qsizetype offset = 0;
    while (offset < data.size()) {
        size_t sent = 0;
        const CURLcode rc = curl_easy_send(m_session->curl, data.constData() + offset, size_t(data.size() - offset), &sent);
        if (rc == CURLE_AGAIN) {
            if (!waitSocket(true, deadline))
                return false;
            continue;
        }
        if (rc != CURLE_OK) {
            m_failure = SocketError;
            m_responseText = QString::fromUtf8(curl_easy_strerror(rc));
            return false;
        }
        offset += qsizetype(sent);
    }
    return true;
}

bool SmtpClient::readReply(const QDeadlineTimer &deadline)
{
    Session &s = *m_session;
    QList<QByteArray> lines;
    m_responseCode = 0;
    for (;;) {
        // Take the complete lines; the last line of a reply has a blank (or nothing) after its code.
        qsizetype end;
        while ((end = s.input.indexOf('\n')) >= 0) {
            const QByteArray line = s.input.left(end).trimmed();
            s.input.remove(0, end + 1);
            lines.append(line);
            if (line.size() < 4 || line.at(3) != '-') {
                m_responseCode = line.left(3).toInt();
                m_responseText = QString::fromUtf8(lines.join(' '));
                return true;
            }
        }
        qsizetype held = s.input.size();
        for (const QByteArray &l : std::as_const(lines))
            held += l.size();
        if (held > MaxReplyBytes) {
            m_failure = ServerError;
            m_responseText = QStringLiteral("Server reply longer than %1 bytes").arg(MaxReplyBytes);
            return false;
        }
        char buffer[4096];
        size_t received = 0;
        const CURLcode rc = curl_easy_recv(s.curl, buffer, sizeof buffer, &received);
        if (rc == CURLE_AGAIN) {
            if (!waitSocket(false, deadline))
                return false;
            continue;
        }
        if (rc != CURLE_OK || received == 0) {
            m_failure = SocketError;
            m_responseText = rc != CURLE_OK ? QString::fromUtf8(curl_easy_strerror(rc))
                                            : QStringLiteral("Connection closed by the server");
            return false;
        }
        s.input.append(buffer, qsizetype(received));
    }
}

bool SmtpClient::waitSocket(bool forWrite, const QDeadlineTimer &deadline)
{
    pollfd fd{int(m_session->socket), short(forWrite ? POLLOUT : POLLIN), 0};
    for (;;) {
        const qint64 remaining = deadline.remainingTime();
        const int rc = remaining == 0 ? 0 : ::poll(&fd, 1, int(qMin<qint64>(remaining, 60000)));
        if (rc > 0)
            return true;
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc == 0 && deadline.remainingTime() > 0)
            continue;
        m_failure = forWrite ? SendDataTimeoutError : ResponseTimeoutError;
        m_responseText = forWrite ? QStringLiteral("Timed out sending to the server")
                                  : QStringLiteral("Timed out waiting for the server's reply");
        return false;
    }
}
