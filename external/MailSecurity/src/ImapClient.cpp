#include "MailSecurity/ImapClient.h"

#include <QDeadlineTimer>
#include <QSslConfiguration>
#include <QSslSocket>

#include <cstring>
#include <utility>
#include <limits>

namespace {

// Quoted strings carry short, printable 7-bit text; everything else goes as a literal.
bool fitsQuoted(const QByteArray &bytes)
{
    if (bytes.size() > 1000)
        return false;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7f)
            return false;
    }
    return true;
}

QString statusText(const ImapResponse &response)
{
    QByteArray text = response.status;
    if (!response.code.isEmpty())
        text += " [" + response.code + "]";
    if (!response.text.isEmpty())
        text += ' ' + response.text;
    return QString::fromUtf8(text);
}

bool isStatusWord(QByteArrayView word)
{
    for (const char *status : {"OK", "NO", "BAD", "BYE", "PREAUTH"}) {
        if (word.compare(status, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The size of the literal a response line announces at its end ("{n}" CRLF), or -1. Status and
// continuation responses carry free text, which announces nothing even if it ends in braces.
qint64 announcedLiteral(QByteArrayView line, bool firstLineOfResponse)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    if (!line.endsWith('}'))
        return -1;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0 || open + 2 > line.size() - 1)
        return -1;
    if (firstLineOfResponse) {
        if (line.startsWith('+'))
            return -1;
        const qsizetype afterTag = line.indexOf(' ');
        if (afterTag >= 0) {
            const QByteArrayView rest = line.sliced(afterTag + 1);
            const qsizetype wordEnd = rest.indexOf(' ');
            if (isStatusWord(wordEnd < 0 ? rest : rest.first(wordEnd)))
                return -1;
        }
    }
    qint64 size = 0;
    for (const char c : line.sliced(open + 1, line.size() - open - 2)) {
        if (c < '0' || c > '9')
            return -1;
        size = size > (std::numeric_limits<qint64>::max() - 9) / 10 ? std::numeric_limits<qint64>::max()
                                                                    : size * 10 + (c - '0');
    }
    return size;
}

} // namespace

ImapClient::ImapClient() = default;

ImapClient::~ImapClient()
{
    abort();
}

bool ImapClient::fail(const QString &error)
{
    m_lastError = error;
    return false;
}

bool ImapClient::failConnection(const QString &error)
{
    abort();
    return fail(error);
}

bool ImapClient::isConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState && !m_closing;
}

bool ImapClient::isEncrypted() const
{
    return m_socket && m_socket->isEncrypted();
}

void ImapClient::abort()
{
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
    }
    m_buffer.clear();
    m_bufferStart = 0;
    resetFrame();
    m_capabilities.clear();
    m_sentTag.clear();
    m_loggedIn = false;
    m_sessionCapabilities = false;
    m_closing = false;
}

bool ImapClient::connectToServer(const QString &host, quint16 port, Security security)
{
    abort();
    m_lastError.clear();
    m_exists = 0;
    m_host = host;
    m_socket = std::make_unique<QSslSocket>();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!m_extraCa.isEmpty())
        configuration.addCaCertificates(m_extraCa);
    m_socket->setSslConfiguration(configuration);
    m_socket->setPeerVerifyName(host);

    if (security == Security::ImplicitTls) {
        m_socket->connectToHostEncrypted(host, port);
        if (!m_socket->waitForEncrypted(m_timeoutMs)) {
            QString error = m_socket->errorString();
            const auto sslErrors = m_socket->sslHandshakeErrors();
            if (!sslErrors.isEmpty()) {
                QStringList texts;
                for (const QSslError &sslError : sslErrors)
                    texts << sslError.errorString();
                error = texts.join(QStringLiteral("; "));
            }
            return failConnection(QStringLiteral("TLS connection to %1:%2 failed: %3").arg(host).arg(port).arg(error));
        }
    } else {
        m_socket->connectToHost(host, port);
        if (!m_socket->waitForConnected(m_timeoutMs))
            return failConnection(QStringLiteral("Connection to %1:%2 failed: %3").arg(host).arg(port).arg(m_socket->errorString()));
    }
    if (!readGreeting())
        return false;
    if (security == Security::ImplicitTls || security == Security::Plain)
        return true;
    if (m_capabilities.isEmpty() && !refreshCapabilities())
        return false;
    if (!m_capabilities.contains(QStringLiteral("STARTTLS"))) {
        if (security == Security::StartTls)
            return failConnection(QStringLiteral("The server does not offer STARTTLS"));
        return true;
    }
    return startTls();
}

bool ImapClient::readGreeting()
{
    ImapResponse greeting;
    if (!readResponse(&greeting, QDeadlineTimer(m_timeoutMs)))
        return false;
    if (greeting.kind != ImapResponse::Untagged || (greeting.status != "OK" && greeting.status != "PREAUTH"))
        return failConnection(QStringLiteral("Server refused the connection: %1").arg(statusText(greeting)));
    if (greeting.code.toUpper().startsWith("CAPABILITY "))
        takeCapabilities(greeting.code);
    return true;
}

bool ImapClient::refreshCapabilities()
{
    Command command;
    addAtom(&command, "CAPABILITY");
    QList<ImapResponse> untagged;
    if (!execute(command, &untagged))
        return false;
    m_capabilities.clear();
    for (const ImapResponse &response : std::as_const(untagged)) {
        if (response.name != "CAPABILITY")
            continue;
        for (const ImapValue &value : response.values)
            m_capabilities << QString::fromLatin1(value.bytes().toUpper());
    }
    return true;
}

bool ImapClient::startTls()
{
    Command command;
    addAtom(&command, "STARTTLS");
    if (!execute(command))
        return false;
    if (m_buffer.size() > m_bufferStart)
        return failConnection(QStringLiteral("Server sent data before the TLS handshake"));
    m_socket->startClientEncryption();
    if (!m_socket->waitForEncrypted(m_timeoutMs)) {
        QStringList texts;
        for (const QSslError &sslError : m_socket->sslHandshakeErrors())
            texts << sslError.errorString();
        const QString error = texts.isEmpty() ? m_socket->errorString() : texts.join(QStringLiteral("; "));
        return failConnection(QStringLiteral("STARTTLS handshake failed: %1").arg(error));
    }
    m_capabilities.clear();
    return refreshCapabilities();
}

bool ImapClient::login(const QString &user, const QString &password)
{
    if (!isConnected())
        return fail(QStringLiteral("Not connected"));
    if (!isEncrypted() && !m_allowPlainLogin) {
        return failConnection(QStringLiteral("Login refused: the connection to %1 is not encrypted (no STARTTLS) and "
                                             "plain login is not allowed").arg(m_host));
    }
    if (m_capabilities.isEmpty() && !refreshCapabilities())
        return false;
    if (m_capabilities.contains(QStringLiteral("LOGINDISABLED")))
        return failConnection(QStringLiteral("Login refused: the server does not accept LOGIN on this connection (LOGINDISABLED)"));
    Command command;
    addAtom(&command, "LOGIN");
    addString(&command, user.toUtf8());
    addString(&command, password.toUtf8());
    // Set first, so that capabilities in the login's answer count as the session's.
    m_loggedIn = true;
    if (!execute(command))
        m_loggedIn = false;
    return m_loggedIn;
}

bool ImapClient::hasCapability(const QString &name)
{
    // Servers announce more (MOVE, UIDPLUS) once the user is logged in.
    if (m_loggedIn && !m_sessionCapabilities && refreshCapabilities())
        m_sessionCapabilities = true;
    return m_capabilities.contains(name);
}

void ImapClient::takeCapabilities(const QByteArray &code)
{
    m_capabilities = QString::fromLatin1(code.toUpper()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    m_sessionCapabilities = m_loggedIn;
}

bool ImapClient::list(const QString &pattern, QStringList *mailboxes)
{
    Command command;
    addAtom(&command, "LIST");
    addString(&command, QByteArray());
    addString(&command, encodeMailboxName(pattern));
    QList<ImapResponse> untagged;
    if (!execute(command, &untagged))
        return false;
    mailboxes->clear();
    for (const ImapResponse &response : std::as_const(untagged)) {
        // * LIST (flags) delimiter name
        if (response.name != "LIST" || response.values.size() < 3)
            continue;
        const ImapValue &name = response.values.at(2);
        if (name.kind == ImapValue::Atom || name.kind == ImapValue::String)
            mailboxes->append(decodeMailboxName(name.text));
    }
    return true;
}

bool ImapClient::create(const QString &mailbox)
{
    Command command;
    addAtom(&command, "CREATE");
    addString(&command, encodeMailboxName(mailbox));
    return execute(command);
}

bool ImapClient::select(const QString &mailbox)
{
    Command command;
    addAtom(&command, "SELECT");
    addString(&command, encodeMailboxName(mailbox));
    m_exists = 0;
    return execute(command);
}

ImapClient::Command ImapClient::fetchCommand(const QByteArray &messageSet, const QByteArray &items)
{
    Command command;
    addAtom(&command, "FETCH");
    addAtom(&command, messageSet);
    addAtom(&command, items);
    return command;
}

void ImapClient::keepFetchResponses(QList<ImapResponse> &untagged, QList<ImapResponse> *responses)
{
    responses->clear();
    for (ImapResponse &response : untagged) {
        if (response.name == "FETCH" && response.values.size() == 1 && response.values.at(0).kind == ImapValue::List)
            responses->append(std::move(response));
    }
}

bool ImapClient::fetch(const QByteArray &messageSet, const QByteArray &items, QList<ImapResponse> *responses)
{
    QList<ImapResponse> untagged;
    if (!execute(fetchCommand(messageSet, items), &untagged))
        return false;
    keepFetchResponses(untagged, responses);
    return true;
}

bool ImapClient::sendFetch(const QByteArray &messageSet, const QByteArray &items)
{
    if (!dropSentFetch())
        return false;
    if (!isConnected())
        return fail(QStringLiteral("Not connected"));
    const QByteArray tag = nextTag();
    if (!writeAll(tag + ' ' + fetchCommand(messageSet, items).constFirst() + "\r\n", QDeadlineTimer(m_timeoutMs)))
        return false;
    m_sentTag = tag;
    return true;
}

bool ImapClient::fetchSent(QList<ImapResponse> *responses)
{
    if (m_sentTag.isEmpty())
        return fail(QStringLiteral("No fetch was sent"));
    QList<ImapResponse> untagged;
    qint64 keptBytes = 0;
    if (!awaitCompletion(std::exchange(m_sentTag, {}), &untagged, QDeadlineTimer(m_timeoutMs), &keptBytes))
        return false;
    keepFetchResponses(untagged, responses);
    return true;
}

bool ImapClient::checkConnection()
{
    // A server that goes away says "* BYE" and closes: one read takes the words, the next finds
    // the end. Outside of a command an honest server says nothing else.
    for (int reads = 0; reads < 2 && isConnected() && m_sentTag.isEmpty(); ++reads) {
        if (!m_socket->waitForReadyRead(0))
            break;
        if (m_socket->bytesAvailable() > m_limits.maxLineBytes)
            failConnection(QStringLiteral("The server sent more than %1 bytes unasked").arg(m_limits.maxLineBytes));
    }
    return isConnected();
}

// Reads the answer of a fetch sent ahead that nobody asked for, so that the next command's answer
// follows; only a lost connection is a failure.
bool ImapClient::dropSentFetch()
{
    if (m_sentTag.isEmpty())
        return true;
    qint64 keptBytes = 0;
    return awaitCompletion(std::exchange(m_sentTag, {}), nullptr, QDeadlineTimer(m_timeoutMs), &keptBytes) || isConnected();
}

bool ImapClient::append(const QString &mailbox, const QByteArray &message)
{
    Command command;
    addAtom(&command, "APPEND");
    addString(&command, encodeMailboxName(mailbox));
    command.last() += " {" + QByteArray::number(message.size()) + "}\r\n";
    command.append(message);
    return execute(command);
}

bool ImapClient::copy(const QByteArray &messageSet, const QString &mailbox, bool byUid)
{
    Command command;
    if (byUid)
        addAtom(&command, "UID");
    addAtom(&command, "COPY");
    addAtom(&command, messageSet);
    addString(&command, encodeMailboxName(mailbox));
    return execute(command);
}

bool ImapClient::move(const QByteArray &messageSet, const QString &mailbox, bool byUid)
{
    if (!hasCapability(QStringLiteral("MOVE")))
        return fail(QStringLiteral("The server does not announce MOVE"));
    Command command;
    if (byUid)
        addAtom(&command, "UID");
    addAtom(&command, "MOVE");
    addAtom(&command, messageSet);
    addString(&command, encodeMailboxName(mailbox));
    return execute(command);
}

bool ImapClient::storeDeleted(const QByteArray &messageSet, bool byUid)
{
    Command command;
    if (byUid)
        addAtom(&command, "UID");
    addAtom(&command, "STORE");
    addAtom(&command, messageSet);
    addAtom(&command, "+FLAGS.SILENT (\\Deleted)");
    return execute(command);
}

bool ImapClient::expunge(const QByteArray &uidSet)
{
    Command command;
    if (!uidSet.isEmpty()) {
        if (!hasCapability(QStringLiteral("UIDPLUS")))
            return fail(QStringLiteral("The server does not announce UIDPLUS"));
        addAtom(&command, "UID");
    }
    addAtom(&command, "EXPUNGE");
    if (!uidSet.isEmpty())
        addAtom(&command, uidSet);
    return execute(command);
}

bool ImapClient::close()
{
    Command command;
    addAtom(&command, "CLOSE");
    return execute(command);
}

bool ImapClient::logout()
{
    if (!isConnected())
        return fail(QStringLiteral("Not connected"));
    Command command;
    addAtom(&command, "LOGOUT");
    const bool ok = execute(command);
    abort();
    return ok;
}

void ImapClient::addAtom(Command *command, const QByteArray &atom)
{
    if (command->isEmpty())
        command->append(QByteArray());
    QByteArray &line = command->last();
    if (!line.isEmpty() && !line.endsWith("\r\n"))
        line += ' ';
    line += atom;
}

void ImapClient::addString(Command *command, const QByteArray &bytes)
{
    if (fitsQuoted(bytes)) {
        QByteArray quoted = bytes;
        quoted.replace('\\', "\\\\").replace('"', "\\\"");
        addAtom(command, '"' + quoted + '"');
        return;
    }
    addAtom(command, '{' + QByteArray::number(bytes.size()) + "}\r\n");
    command->append(bytes);
}

bool ImapClient::writeAll(const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    if (m_socket->write(bytes) != bytes.size())
        return failConnection(QStringLiteral("Could not send to the server: %1").arg(m_socket->errorString()));
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(int(qMax<qint64>(0, deadline.remainingTime())))) {
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                return failConnection(QStringLiteral("Connection lost while sending: %1").arg(m_socket->errorString()));
            return failConnection(QStringLiteral("Time-out while sending to the server"));
        }
    }
    return true;
}

QByteArray ImapClient::nextTag()
{
    return "Q" + QByteArray::number(++m_tagCounter);
}

bool ImapClient::execute(const Command &command, QList<ImapResponse> *untagged)
{
    if (!dropSentFetch())
        return false;
    if (!isConnected())
        return fail(QStringLiteral("Not connected"));
    const QByteArray tag = nextTag();
    const QDeadlineTimer deadline(m_timeoutMs);
    qint64 keptBytes = 0;
    for (qsizetype i = 0; i < command.size(); ++i) {
        QByteArray piece = i == 0 ? tag + ' ' + command.at(0) : command.at(i);
        if (i + 1 == command.size())
            piece += "\r\n";
        if (!writeAll(piece, deadline))
            return false;
        if (i + 1 == command.size())
            break;
        // A literal follows: wait for the server's go-ahead.
        for (;;) {
            ImapResponse response;
            if (!readResponse(&response, deadline))
                return false;
            if (response.kind == ImapResponse::Continuation)
                break;
            if (response.kind == ImapResponse::Tagged) {
                if (response.tag == tag)
                    return fail(statusText(response));
                continue;
            }
            noteUntagged(response);
            if (untagged && !keepUntagged(untagged, std::move(response), &keptBytes))
                return false;
        }
    }
    return awaitCompletion(tag, untagged, deadline, &keptBytes);
}

// Reads the responses up to the tagged completion of the command with the tag.
bool ImapClient::awaitCompletion(const QByteArray &tag, QList<ImapResponse> *untagged, const QDeadlineTimer &deadline,
                                 qint64 *keptBytes)
{
    for (;;) {
        ImapResponse response;
        if (!readResponse(&response, deadline))
            return false;
        if (response.kind == ImapResponse::Continuation)
            return failConnection(QStringLiteral("Unexpected continuation request from the server"));
        if (response.kind == ImapResponse::Tagged) {
            if (response.tag != tag)
                return failConnection(QStringLiteral("Response for unknown command tag '%1'").arg(QString::fromLatin1(response.tag.left(40))));
            if (response.status == "OK") {
                if (response.code.toUpper().startsWith("CAPABILITY "))
                    takeCapabilities(response.code);
                return true;
            }
            return fail(statusText(response));
        }
        noteUntagged(response);
        if (untagged && !keepUntagged(untagged, std::move(response), keptBytes))
            return false;
    }
}

bool ImapClient::keepUntagged(QList<ImapResponse> *untagged, ImapResponse &&response, qint64 *keptBytes)
{
    if (untagged->size() >= m_limits.maxUntaggedResponses)
        return failConnection(QStringLiteral("The server sent more than %1 responses to one command").arg(m_limits.maxUntaggedResponses));
    *keptBytes += m_lastResponseSize + ImapLimits::BytesPerValue * response.valueCount;
    if (*keptBytes > m_limits.maxUntaggedBytes)
        return failConnection(QStringLiteral("The server's responses to one command take more than %1 bytes").arg(m_limits.maxUntaggedBytes));
    untagged->append(std::move(response));
    return true;
}

void ImapClient::noteUntagged(const ImapResponse &response)
{
    if (response.status == "BYE")
        m_closing = true;
    else if (response.name == "EXISTS")
        m_exists = response.number;
    else if (response.name == "EXPUNGE" && m_exists > 0)
        --m_exists;
}

void ImapClient::resetFrame()
{
    m_frameEnd = 0;
    m_scanned = 0;
    m_literalLeft = 0;
    m_literalBytes = 0;
}

// Finds the end of the response at the front of the buffer from the bytes that arrived since the
// last call, each byte looked at once: a line that announces a literal continues after the
// literal's bytes, any other line ends the response. The limits are checked here, before the bytes
// they concern are kept.
ImapClient::Frame ImapClient::frameResponse()
{
    const char *data = m_buffer.constData() + m_bufferStart;
    const qsizetype available = m_buffer.size() - m_bufferStart;
    for (;;) {
        if (m_literalLeft > 0) {
            const qint64 taken = qMin<qint64>(m_literalLeft, available - m_frameEnd);
            m_frameEnd += taken;
            m_scanned = m_frameEnd;
            m_literalLeft -= taken;
            if (m_literalLeft > 0)
                return Frame::Incomplete;
        }
        const auto *lineFeed = static_cast<const char *>(std::memchr(data + m_scanned, '\n', available - m_scanned));
        const qsizetype lineEnd = lineFeed ? lineFeed - data + 1 : available;
        m_scanned = lineEnd;
        if (lineEnd - m_literalBytes > m_limits.maxLineBytes) {
            failConnection(QStringLiteral("A response of the server is longer than %1 bytes without its literals")
                               .arg(m_limits.maxLineBytes));
            return Frame::Failed;
        }
        if (!lineFeed)
            return Frame::Incomplete;
        const qint64 literal = announcedLiteral(QByteArrayView(data + m_frameEnd, lineEnd - m_frameEnd), m_frameEnd == 0);
        m_frameEnd = lineEnd;
        if (literal < 0)
            return Frame::Complete;
        if (literal > m_limits.maxLiteralBytes - m_literalBytes) {
            failConnection(QStringLiteral("The server announced a literal of %1 bytes; at most %2 bytes are accepted in one response")
                               .arg(literal).arg(m_limits.maxLiteralBytes));
            return Frame::Failed;
        }
        m_literalBytes += literal;
        m_literalLeft = literal;
    }
}

bool ImapClient::readResponse(ImapResponse *response, const QDeadlineTimer &deadline)
{
    for (;;) {
        const Frame frame = m_socket ? frameResponse() : Frame::Incomplete;
        if (frame == Frame::Failed)
            return false;
        if (frame == Frame::Complete) {
            qsizetype consumed = 0;
            QString error;
            const QByteArray bytes = QByteArray::fromRawData(m_buffer.constData() + m_bufferStart, m_frameEnd);
            switch (ImapTokenizer::parse(bytes, response, &consumed, nullptr, &error)) {
            case ImapTokenizer::Complete:
                // Responses are taken from the front; the buffer is compacted now and then only,
                // so that many small responses in one read cost linear time.
                m_lastResponseSize = consumed;
                m_bufferStart += consumed;
                resetFrame();
                if (m_bufferStart == m_buffer.size() || m_bufferStart > 65536) {
                    m_buffer.remove(0, m_bufferStart);
                    m_bufferStart = 0;
                }
                return true;
            case ImapTokenizer::Malformed:
                return failConnection(error);
            case ImapTokenizer::NeedMore:
                continue;  // the response goes on in the next line
            }
        }
        if (!m_socket)
            return fail(QStringLiteral("Not connected"));
        if (m_socket->bytesAvailable() > 0) {
            m_buffer += m_socket->readAll();
            continue;
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return failConnection(QStringLiteral("Connection closed by the server"));
        if (!m_socket->waitForReadyRead(int(qMax<qint64>(0, deadline.remainingTime())))) {
            if (m_socket->bytesAvailable() > 0)
                continue;
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                return failConnection(QStringLiteral("Connection closed by the server"));
            return failConnection(QStringLiteral("Time-out waiting for the server's response (%1 s for the whole command)")
                                      .arg(m_timeoutMs / 1000.0));
        }
    }
}

const ImapValue *ImapClient::fetchItem(const ImapResponse &response, const QByteArray &name)
{
    if (response.values.isEmpty())
        return nullptr;
    const QList<ImapValue> &items = response.values.at(0).items;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        if (items.at(i).kind == ImapValue::Atom && items.at(i).text.compare(name, Qt::CaseInsensitive) == 0)
            return &items.at(i + 1);
    }
    return nullptr;
}

QByteArray ImapClient::encodeMailboxName(const QString &name)
{
    QByteArray out;
    QByteArray pending;  // UTF-16BE bytes of a run of non-printable characters
    auto flush = [&]() {
        if (pending.isEmpty())
            return;
        QByteArray encoded = pending.toBase64(QByteArray::OmitTrailingEquals);
        encoded.replace('/', ',');
        out += '&' + encoded + '-';
        pending.clear();
    };
    for (const QChar ch : name) {
        const char16_t u = ch.unicode();
        if (u >= 0x20 && u <= 0x7e) {
            flush();
            out += u == '&' ? QByteArray("&-") : QByteArray(1, char(u));
        } else {
            pending += char(u >> 8);
            pending += char(u & 0xff);
        }
    }
    flush();
    return out;
}

QString ImapClient::decodeMailboxName(const QByteArray &name)
{
    QString out;
    qsizetype i = 0;
    while (i < name.size()) {
        if (name.at(i) != '&') {
            out += QLatin1Char(name.at(i));
            ++i;
            continue;
        }
        const qsizetype end = name.indexOf('-', i + 1);
        if (end < 0) {  // not modified UTF-7 after all: keep it as it stands
            out += QString::fromLatin1(name.mid(i));
            break;
        }
        if (end == i + 1) {
            out += QLatin1Char('&');
        } else {
            QByteArray encoded = name.mid(i + 1, end - i - 1);
            encoded.replace(',', '/');
            const QByteArray utf16 = QByteArray::fromBase64(encoded);
            for (qsizetype k = 0; k + 1 < utf16.size(); k += 2)
                out += QChar(char16_t((uchar(utf16.at(k)) << 8) | uchar(utf16.at(k + 1))));
        }
        i = end + 1;
    }
    return out;
}
