#include "MailSecurity/SIMAP.h"

#include "MailSecurity/CertStore.h"
#include "MailSecurity/ImapClient.h"
#include "MailSecurity/SmimeEngine.h"

#include <QFile>
#include <QHash>
#include <QSslCertificate>

namespace {

// What fetchMessages() asks for each message.
constexpr char MessageItems[] = "(UID FLAGS INTERNALDATE RFC822.SIZE ENVELOPE BODY.PEEK[HEADER] BODY.PEEK[TEXT])";


QString addressText(const ImapValue &list)
{
    // ((name adl mailbox host) ...)
    QStringList addresses;
    for (const ImapValue &address : list.items) {
        if (address.items.size() < 4)
            continue;
        const QString name = MIME::decodeHeaderText(address.items.at(0).bytes());
        const QString mail = QString::fromUtf8(address.items.at(2).bytes()) + QLatin1Char('@')
                             + QString::fromUtf8(address.items.at(3).bytes());
        addresses << (name.isEmpty() ? mail : QStringLiteral("%1 <%2>").arg(name, mail));
    }
    return addresses.join(QStringLiteral(", "));
}

SIMAPMessageInfo infoOf(const ImapResponse &response)
{
    SIMAPMessageInfo info;
    info.number = response.number;
    if (const ImapValue *uid = ImapClient::fetchItem(response, "UID"))
        info.uid = uid->bytes().toLongLong();
    if (const ImapValue *size = ImapClient::fetchItem(response, "RFC822.SIZE"))
        info.size = size->bytes().toLongLong();
    if (const ImapValue *date = ImapClient::fetchItem(response, "INTERNALDATE"))
        info.internalDate = QString::fromLatin1(date->bytes());
    if (const ImapValue *flags = ImapClient::fetchItem(response, "FLAGS")) {
        QStringList names;
        for (const ImapValue &flag : flags->items)
            names << QString::fromLatin1(flag.bytes());
        info.flags = names.join(QLatin1Char(' '));
    }
    if (const ImapValue *envelope = ImapClient::fetchItem(response, "ENVELOPE");
        envelope && envelope->kind == ImapValue::List && envelope->items.size() >= 3) {
        info.date = QString::fromLatin1(envelope->items.at(0).bytes());
        info.subject = MIME::decodeHeaderText(envelope->items.at(1).bytes());
        info.from = addressText(envelope->items.at(2));
    }
    return info;
}

const ImapValue *firstItem(const QList<ImapResponse> &responses, const QByteArray &name)
{
    for (const ImapResponse &response : responses) {
        if (const ImapValue *value = ImapClient::fetchItem(response, name); value && !value->isNil())
            return value;
    }
    return nullptr;
}

} // namespace

SIMAP::SIMAP(QObject *parent) : QObject(parent) {}

SIMAP::~SIMAP() = default;

int SIMAP::fail(int code, const QString &text)
{
    m_lastErrorCode = code;
    m_lastError = text;
    return code;
}

// Classifies a failed client call; a connection that went away is also announced by the events.
int SIMAP::imapFailure()
{
    const QString text = m_client ? m_client->lastError() : QStringLiteral("Not connected");
    if (m_client && m_client->isConnected())
        return fail(ErrServer, text);
    if (m_wasConnected) {
        m_wasConnected = false;
        SIMAPErrorEventParams error;
        error.errorCode = ErrConnection;
        error.description = text;
        emit Error(&error);
        SIMAPConnectionStatusEventParams status;
        status.connectionEvent = QStringLiteral("Disconnected");
        status.statusCode = ErrConnection;
        status.description = text;
        emit ConnectionStatus(&status);
    }
    return fail(ErrConnection, text);
}

int SIMAP::requireConnection()
{
    if (!connected())
        return fail(ErrNotConnected, QStringLiteral("Not connected"));
    return NoError;
}

int SIMAP::config(const QString &setting)
{
    const qsizetype equals = setting.indexOf(QLatin1Char('='));
    const QString name = setting.left(equals).trimmed();
    const QString value = equals < 0 ? QString() : setting.mid(equals + 1).trimmed();
    if (name.compare(QLatin1String("RefetchHeaders"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("UseInternalSecurityAPI"), Qt::CaseInsensitive) == 0) {
        return NoError;
    }
    if (name.compare(QLatin1String("Timeout"), Qt::CaseInsensitive) == 0) {
        bool ok = false;
        const int seconds = value.toInt(&ok);
        if (!ok || seconds <= 0)
            return fail(ErrArgument, QStringLiteral("Invalid time-out '%1'").arg(value));
        m_timeoutSeconds = seconds;
        return NoError;
    }
    if (name.compare(QLatin1String("AllowPlainLogin"), Qt::CaseInsensitive) == 0) {
        const bool allow = value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
        if (!allow && value.compare(QLatin1String("False"), Qt::CaseInsensitive) != 0)
            return fail(ErrArgument, QStringLiteral("Invalid AllowPlainLogin value '%1'").arg(value));
        m_allowPlainLogin = allow;
        return NoError;
    }
    if (name.compare(QLatin1String("SSLCAFile"), Qt::CaseInsensitive) == 0) {
        m_caFile = value;
        return NoError;
    }
    return fail(ErrArgument, QStringLiteral("Unknown configuration setting '%1'").arg(name));
}

int SIMAP::setCertificate(int storeType, const QString &store, const QString &password, const QString &subject)
{
    if (storeType != 0)
        return fail(ErrArgument, QStringLiteral("Certificate store type %1 is not supported").arg(storeType));
    m_decryptCert = {storeType, store, password, subject};
    return NoError;
}

int SIMAP::setSignerCert(int storeType, const QString &store, const QString &password, const QString &subject)
{
    if (storeType != 0)
        return fail(ErrArgument, QStringLiteral("Certificate store type %1 is not supported").arg(storeType));
    m_signerCert = {storeType, store, password, subject};
    return NoError;
}

int SIMAP::connectToHost()
{
    m_client.reset();
    m_wasConnected = false;
    m_selected.clear();
    if (m_host.isEmpty() || m_port <= 0 || m_port > 65535)
        return fail(ErrArgument, QStringLiteral("No mail server or port set"));

    QList<QSslCertificate> trusted;
    for (const QByteArray &pem : CertStore::certificatesPem(QStringLiteral("ROOT")))
        trusted += QSslCertificate::fromData(pem, QSsl::Pem);
    if (!m_caFile.isEmpty()) {
        QFile file(m_caFile);
        if (!file.open(QIODevice::ReadOnly))
            return fail(ErrArgument, QStringLiteral("Could not read the CA file %1").arg(m_caFile));
        trusted += QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    }

    ImapClient::Security security = ImapClient::Security::StartTlsIfOffered;
    switch (m_sslMode) {
    case SslImplicit: security = ImapClient::Security::ImplicitTls; break;
    case SslStartTls: security = ImapClient::Security::StartTls; break;
    case SslNone: security = ImapClient::Security::Plain; break;
    default: break;
    }
    m_client = std::make_unique<ImapClient>();
    m_client->setTimeout(m_timeoutSeconds * 1000);
    m_client->setLimits(m_limits);
    m_client->setAllowPlainLogin(m_allowPlainLogin);
    m_client->setExtraCaCertificates(trusted);
    if (!m_client->connectToServer(m_host, quint16(m_port), security)) {
        const int code = fail(ErrConnection, m_client->lastError());
        m_client.reset();
        return code;
    }
    if (!m_client->login(m_user, m_password)) {
        const int code = fail(m_client->isConnected() ? ErrServer : ErrConnection, m_client->lastError());
        m_client.reset();
        return code;
    }
    m_wasConnected = true;
    SIMAPConnectionStatusEventParams status;
    status.connectionEvent = QStringLiteral("Connected");
    status.description = QStringLiteral("Logged in to %1:%2").arg(m_host).arg(m_port);
    emit ConnectionStatus(&status);
    return NoError;
}

bool SIMAP::connected() const
{
    return m_client && m_client->isConnected();
}

bool SIMAP::checkConnection()
{
    if (m_client && m_client->isConnected() && !m_client->checkConnection())
        imapFailure();
    return connected();
}

int SIMAP::disconnectFromHost()
{
    if (connected()) {
        m_client->logout();
        SIMAPConnectionStatusEventParams status;
        status.connectionEvent = QStringLiteral("Disconnected");
        status.description = QStringLiteral("Logged out");
        emit ConnectionStatus(&status);
    }
    m_client.reset();
    m_wasConnected = false;
    m_selected.clear();
    return NoError;
}

int SIMAP::listMailboxes()
{
    if (const int code = requireConnection())
        return code;
    QStringList names;
    if (!m_client->list(m_mailbox.isEmpty() ? QStringLiteral("*") : m_mailbox, &names))
        return imapFailure();
    m_mailboxList = names;
    return NoError;
}

int SIMAP::createMailbox()
{
    if (const int code = requireConnection())
        return code;
    return m_client->create(m_mailbox) ? NoError : imapFailure();
}

int SIMAP::selectMailbox()
{
    if (const int code = requireConnection())
        return code;
    if (!m_client->select(m_mailbox))
        return imapFailure();
    m_selected = m_mailbox;
    return NoError;
}

int SIMAP::closeMailbox()
{
    if (const int code = requireConnection())
        return code;
    if (!m_client->close())
        return imapFailure();
    m_selected.clear();
    return NoError;
}

int SIMAP::messageCount() const
{
    return m_client ? int(m_client->exists()) : 0;
}

int SIMAP::fetchMessageInfo()
{
    if (const int code = requireConnection())
        return code;
    if (m_messageSet.isEmpty())
        return fail(ErrArgument, QStringLiteral("No message set"));
    QList<ImapResponse> responses;
    if (!m_client->fetch(m_messageSet.toLatin1(), "(UID FLAGS INTERNALDATE RFC822.SIZE ENVELOPE)", &responses))
        return imapFailure();
    m_infoList.clear();
    for (const ImapResponse &response : std::as_const(responses)) {
        // Flag updates of other sessions may come in between; only answers with an envelope count.
        if (ImapClient::fetchItem(response, "ENVELOPE"))
            m_infoList.append(infoOf(response));
    }
    m_info = m_infoList.size() == 1 ? m_infoList.first() : SIMAPMessageInfo();
    return NoError;
}

int SIMAP::fetchMessageHeaders()
{
    if (const int code = requireConnection())
        return code;
    if (m_messageSet.isEmpty())
        return fail(ErrArgument, QStringLiteral("No message set"));
    QList<ImapResponse> responses;
    if (!m_client->fetch(m_messageSet.toLatin1(), "(BODY.PEEK[HEADER])", &responses))
        return imapFailure();
    const ImapValue *header = firstItem(responses, "BODY[HEADER]");
    if (!header)
        return fail(ErrServer, QStringLiteral("No headers for message %1").arg(m_messageSet));
    m_headers = header->bytes();
    while (m_headers.endsWith('\n') || m_headers.endsWith('\r'))
        m_headers.chop(1);
    return NoError;
}

int SIMAP::fetchMessageText()
{
    if (const int code = requireConnection())
        return code;
    if (m_messageSet.isEmpty())
        return fail(ErrArgument, QStringLiteral("No message set"));
    QList<ImapResponse> responses;
    if (!m_client->fetch(m_messageSet.toLatin1(), "(BODY.PEEK[TEXT])", &responses))
        return imapFailure();
    const ImapValue *text = firstItem(responses, "BODY[TEXT]");
    if (!text)
        return fail(ErrServer, QStringLiteral("No text for message %1").arg(m_messageSet));
    m_text = text->bytes();
    return NoError;
}

int SIMAP::fetchMessages()
{
    if (const int code = requireConnection())
        return code;
    if (m_messageSet.isEmpty())
        return fail(ErrArgument, QStringLiteral("No message set"));
    QList<ImapResponse> responses;
    const bool sentAhead = m_client->hasSentFetch() && m_setSentAhead == m_messageSet;
    if (!(sentAhead ? m_client->fetchSent(&responses) : m_client->fetch(m_messageSet.toLatin1(), MessageItems, &responses)))
        return imapFailure();
    // A server may answer one message in several responses (flag updates of other sessions come
    // as responses of their own): each item is taken from the first response of the message that
    // carries it, as the single fetches take it.
    QHash<qint64, qsizetype> indexOf;
    QList<SIMAPMessage> messages;
    QList<int> found;  // bit 1 information, 2 headers, 4 text
    for (const ImapResponse &response : std::as_const(responses)) {
        qsizetype index = indexOf.value(response.number, -1);
        if (index < 0) {
            index = messages.size();
            indexOf.insert(response.number, index);
            messages.append(SIMAPMessage());
            found.append(0);
        }
        SIMAPMessage &message = messages[index];
        int &have = found[index];
        if (!(have & 1) && ImapClient::fetchItem(response, "ENVELOPE")) {
            message.info = infoOf(response);
            have |= 1;
        }
        if (const ImapValue *header = ImapClient::fetchItem(response, "BODY[HEADER]");
            !(have & 2) && header && !header->isNil()) {
            message.headers = header->bytes();
            while (message.headers.endsWith('\n') || message.headers.endsWith('\r'))
                message.headers.chop(1);
            have |= 2;
        }
        if (const ImapValue *text = ImapClient::fetchItem(response, "BODY[TEXT]"); !(have & 4) && text && !text->isNil()) {
            message.text = text->bytes();
            have |= 4;
        }
    }
    m_fetched.clear();
    for (qsizetype i = 0; i < messages.size(); ++i) {
        if (found.at(i) == 7)
            m_fetched.append(std::move(messages[i]));
    }
    return NoError;
}

int SIMAP::sendFetchMessages(const QString &set)
{
    if (const int code = requireConnection())
        return code;
    if (set.isEmpty())
        return fail(ErrArgument, QStringLiteral("No message set"));
    if (!m_client->sendFetch(set.toLatin1(), MessageItems))
        return imapFailure();
    m_setSentAhead = set;
    return NoError;
}

void SIMAP::setCurrentMessage(SIMAPMessage &&message)
{
    m_info = std::move(message.info);
    m_headers = std::move(message.headers);
    m_text = std::move(message.text);
}

QList<MIME::Header> SIMAP::messageHeaders() const
{
    return MIME::parseHeaderBlock(m_headers);
}

QString SIMAP::headerValue(const char *name) const
{
    const QString wanted = QString::fromLatin1(name);
    for (const MIME::Header &header : messageHeaders()) {
        if (header.first.compare(wanted, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return QString();
}

QString SIMAP::messageSubject() const
{
    const QString value = headerValue("Subject");
    return value.isEmpty() ? m_info.subject : value;
}

QString SIMAP::messageDate() const
{
    const QString value = headerValue("Date");
    return value.isEmpty() ? m_info.date : value;
}

QString SIMAP::messageFrom() const
{
    const QString value = headerValue("From");
    return value.isEmpty() ? m_info.from : value;
}

QString SIMAP::messageSender() const { return headerValue("Sender"); }
QString SIMAP::messageNetId() const { return headerValue("Message-ID"); }
QString SIMAP::messageInReplyTo() const { return headerValue("In-Reply-To"); }
QString SIMAP::messageReplyTo() const { return headerValue("Reply-To"); }
QString SIMAP::messageContentEncoding() const { return headerValue("Content-Transfer-Encoding"); }

QList<MIME::Address> SIMAP::messageRecipients() const
{
    QList<MIME::Address> recipients;
    for (const char *name : {"To", "Cc", "Bcc"}) {
        const QString value = headerValue(name);
        if (!value.isEmpty())
            recipients += MIME::parseAddressList(value);
    }
    return recipients;
}

QString SIMAP::messageContentType() const
{
    MIME mime;
    mime.setMessageHeadersString(m_headers);
    if (m_headers.isEmpty() || mime.decodeFromString() != 0)
        return QString();
    const QString attributes = mime.contentTypeAttr();
    return attributes.isEmpty() ? mime.contentType() : mime.contentType() + QStringLiteral("; ") + attributes;
}

int SIMAP::messagePartCount() const
{
    MIME mime;
    mime.setMessageHeadersString(m_headers);
    mime.setMessage(m_text);
    return mime.decodeFromString() == 0 ? mime.partCount() : 0;
}

bool SIMAP::messageEncrypted() const
{
    return SmimeEngine::kindOf({m_headers, QByteArray()}) == SmimeEngine::Enveloped;
}

bool SIMAP::messageSigned() const
{
    const SmimeEngine::Kind kind = SmimeEngine::kindOf({m_headers, QByteArray()});
    return kind == SmimeEngine::DetachedSigned || kind == SmimeEngine::OpaqueSigned;
}

void SIMAP::clearSigner()
{
    m_signerDer.clear();
    m_signerIssuer.clear();
    m_signerSubject.clear();
    m_signerSerial.clear();
    m_signingAlgorithm.clear();
}

namespace {

// The signer certificate chosen for this component, offered to the check in case a mail does not
// carry its own.
QList<QByteArray> signerCandidates(int storeType, const QString &store, const QString &password, const QString &subject)
{
    if (store.isEmpty())
        return {};
    CertStore::Entry entry;
    QString ignored;
    if (!CertStore::find(storeType, store, password, subject, false, &entry, &ignored))
        return {};
    return {entry.certificatePem};
}

} // namespace

int SIMAP::verifySignature()
{
    clearSigner();
    SmimeEngine::Entity content;
    SmimeEngine::Signer signer;
    QString error;
    const bool ok = SmimeEngine::verify({m_headers, m_text},
                                        signerCandidates(m_signerCert.storeType, m_signerCert.store,
                                                         m_signerCert.password, m_signerCert.subject),
                                        &content, &signer, &error);
    m_signerDer = signer.certificateDer;
    m_signerIssuer = signer.issuer;
    m_signerSubject = signer.subject;
    m_signerSerial = signer.serialNumber;
    m_signingAlgorithm = signer.signingAlgorithm;
    if (!ok)
        return fail(ErrSecurity, error);
    m_headers = content.headers;
    m_text = content.body;
    return NoError;
}

int SIMAP::decrypt()
{
    CertStore::Entry entry;
    QString error;
    if (!CertStore::find(m_decryptCert.storeType, m_decryptCert.store, m_decryptCert.password,
                         m_decryptCert.subject, true, &entry, &error)) {
        return fail(ErrCertificate, error);
    }
    SmimeEngine::Entity content;
    if (!SmimeEngine::decrypt({m_headers, m_text}, entry.certificatePem, entry.privateKey.get(), &content, &error))
        return fail(ErrSecurity, error);
    m_headers = content.headers;
    m_text = content.body;
    return NoError;
}

// Unwraps the envelope (if any) and checks the signature inside (or of the message itself). It
// succeeds only when a signature was checked; the message changes only on success.
int SIMAP::decryptAndVerifySignature()
{
    const QByteArray headers = m_headers;
    const QByteArray text = m_text;
    const bool wasEncrypted = messageEncrypted();
    if (wasEncrypted) {
        if (const int code = decrypt())
            return code;
    }
    if (!messageSigned()) {
        m_headers = headers;
        m_text = text;
        clearSigner();
        return fail(ErrSecurity, wasEncrypted ? QStringLiteral("The decrypted message is not signed")
                                              : QStringLiteral("The message is neither encrypted nor signed"));
    }
    if (const int code = verifySignature()) {
        m_headers = headers;
        m_text = text;
        return code;
    }
    return NoError;
}

int SIMAP::appendToMailbox()
{
    if (const int code = requireConnection())
        return code;
    QByteArray message = m_headers;
    while (message.endsWith('\n') || message.endsWith('\r'))
        message.chop(1);
    message += "\r\n\r\n" + m_text;
    return m_client->append(m_mailbox, message) ? NoError : imapFailure();
}

bool SIMAP::serverSupports(const QString &capability)
{
    return connected() && m_client->hasCapability(capability);
}

int SIMAP::copyToMailbox()
{
    if (const int code = requireConnection())
        return code;
    return m_client->copy(m_messageSet.toLatin1(), m_mailbox, m_uidMode) ? NoError : imapFailure();
}

int SIMAP::moveToMailbox()
{
    if (const int code = requireConnection())
        return code;
    return m_client->move(m_messageSet.toLatin1(), m_mailbox, m_uidMode) ? NoError : imapFailure();
}

int SIMAP::deleteFromMailbox()
{
    if (const int code = requireConnection())
        return code;
    return m_client->storeDeleted(m_messageSet.toLatin1(), m_uidMode) ? NoError : imapFailure();
}

int SIMAP::expungeMailbox()
{
    if (const int code = requireConnection())
        return code;
    const bool onlyTheSet = m_uidMode && !m_messageSet.isEmpty() && m_client->hasCapability(QStringLiteral("UIDPLUS"));
    return m_client->expunge(onlyTheSet ? m_messageSet.toLatin1() : QByteArray()) ? NoError : imapFailure();
}
