#pragma once

#include "MailSecurity/ImapClient.h"
#include "MailSecurity/MIME.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>


struct SIMAPConnectionStatusEventParams
{
    QString connectionEvent;  // "Connected" or "Disconnected"
    int statusCode = 0;
    QString description;
    int eventRetVal = 0;
};

struct SIMAPErrorEventParams
{
    int errorCode = 0;
    QString description;
    int eventRetVal = 0;
};

// One entry of a message list fetched with fetchMessageInfo().
struct SIMAPMessageInfo
{
    qint64 number = 0;      // message sequence number
    qint64 uid = 0;
    QString date;           // the mail's Date header as it stands
    QString subject;
    QString from;
    qint64 size = 0;
    QString flags;
    QString internalDate;   // time of delivery to the mailbox
};

// One mail fetched with fetchMessages(): its list entry, header block and text.
struct SIMAPMessage
{
    SIMAPMessageInfo info;
    QByteArray headers;     // without the line ends that close the block
    QByteArray text;
};

// IMAP client with S/MIME built in. Operations run synchronously in the calling thread and return
// 0 on success, else an error code with lastError() telling why. The current mailbox and message
// set are properties that the operations work on; the current message (header string and text) is
// what the S/MIME operations check, decrypt and replace by the inner entity.
class SIMAP : public QObject
{
    Q_OBJECT

public:
    enum ErrorCode {
        NoError = 0,
        ErrNotConnected = 101,
        ErrConnection = 102,
        ErrServer = 103,
        ErrSecurity = 104,
        ErrCertificate = 105,
        ErrArgument = 106
    };
    // SSL property: 0 upgrades with STARTTLS when offered, 1 TLS from the start (imaps),
    // 2 STARTTLS required, 3 never encrypted.
    enum SslMode { SslAutomatic = 0, SslImplicit = 1, SslStartTls = 2, SslNone = 3 };

    explicit SIMAP(QObject *parent = nullptr);
    ~SIMAP() override;

    // "Name=Value" settings: RefetchHeaders, UseInternalSecurityAPI (both accepted; this component
    // always uses its own OpenSSL-based security), Timeout (seconds), SSLCAFile (a PEM file of CA
    // certificates trusted for the server in addition to the system store and certs/ROOT/),
    // AllowPlainLogin (True or False, default False: whether the password may be sent over a
    // connection that is not encrypted).
    int config(const QString &setting);
    // What the IMAP client accepts from the server; the defaults suit every mail the intake takes.
    void setLimits(const ImapLimits &limits) { m_limits = limits; }

    int setCertificate(int storeType, const QString &store, const QString &password, const QString &subject);
    int setSignerCert(int storeType, const QString &store, const QString &password, const QString &subject);

    void setMailServer(const QString &host) { m_host = host; }
    void setMailPort(int port) { m_port = port; }
    void setSSL(int mode) { m_sslMode = mode; }
    void setUser(const QString &user) { m_user = user; }
    void setPassword(const QString &password) { m_password = password; }

    int connectToHost();
    bool connected() const;
    // connected(), after noticing without waiting a connection the server has closed since its
    // last answer (which connected() alone learns only from the next command).
    bool checkConnection();
    // Logs out and closes; named apart from QObject::disconnect, which stays usable for the events.
    int disconnectFromHost();

    void setMailbox(const QString &mailbox) { m_mailbox = mailbox; }
    QString mailbox() const { return m_mailbox; }
    // Lists the mailboxes matching the mailbox property as pattern.
    int listMailboxes();
    QStringList mailboxList() const { return m_mailboxList; }
    int createMailbox();
    int selectMailbox();
    int closeMailbox();
    int messageCount() const;

    void setMessageSet(const QString &set) { m_messageSet = set; }
    QString messageSet() const { return m_messageSet; }
    // UID mode: the message set of copy, move, delete and expunge holds UIDs, not message numbers.
    void setUidMode(bool uids) { m_uidMode = uids; }
    // Whether the logged-in session is announced the capability ("MOVE", "UIDPLUS").
    bool serverSupports(const QString &capability);
    // The three fetches refuse an empty message set (ErrArgument) without asking the server.
    int fetchMessageInfo();
    QList<SIMAPMessageInfo> messageInfoList() const { return m_infoList; }
    int fetchMessageHeaders();
    int fetchMessageText();
    // Information, headers and text of every message of the set in one command, so that many
    // mails cost one round trip. takeFetchedMessages() gives each message the server answered with
    // all three, in the server's order; a message it did not answer fully is left out. The client's
    // limits bound the command's responses; the caller bounds a set by its listed sizes.
    int fetchMessages();
    QList<SIMAPMessage> takeFetchedMessages() { return std::exchange(m_fetched, {}); }
    // Sends the command of fetchMessages() for a set without waiting for the answer, so that the
    // server prepares it meanwhile; fetchMessages() with that set as message set reads it. Any
    // other command sent first drops the answer, and fetchMessages() then asks again.
    int sendFetchMessages(const QString &set);
    // Makes a fetched mail the current message, as the three single fetches of it would.
    void setCurrentMessage(SIMAPMessage &&message);

    // The current message. Header string and text are bytes carried as Latin-1 text.
    QString messageHeadersString() const { return QString::fromLatin1(m_headers); }
    void setMessageHeadersString(const QString &headers) { m_headers = headers.toLatin1(); }
    QString messageText() const { return QString::fromLatin1(m_text); }
    void setMessageText(const QString &text) { m_text = text.toLatin1(); }
    QList<MIME::Header> messageHeaders() const;
    QString messageSubject() const;
    QString messageDate() const;
    QString messageFrom() const;
    QString messageSender() const;
    QString messageNetId() const;
    QString messageInReplyTo() const;
    QString messageReplyTo() const;
    QList<MIME::Address> messageRecipients() const;
    QString messageContentType() const;
    QString messageContentEncoding() const;
    QString messageDeliveryTime() const { return m_info.internalDate; }
    qint64 messageId() const { return m_info.uid; }
    qint64 messageSize() const { return m_info.size; }
    QString messageFlags() const { return m_info.flags; }
    int messagePartCount() const;
    bool messageEncrypted() const;
    bool messageSigned() const;

    int verifySignature();
    int decryptAndVerifySignature();
    int decrypt();
    QByteArray signerCertEncoded() const { return m_signerDer; }
    QString signerCertIssuer() const { return m_signerIssuer; }
    QString signerCertSubject() const { return m_signerSubject; }
    QString signerCertSerialNumber() const { return m_signerSerial; }
    QString signingAlgorithm() const { return m_signingAlgorithm; }

    // Appends header string + empty line + text to the mailbox property.
    int appendToMailbox();
    int copyToMailbox();
    // Moves the message set to the mailbox property in one step; ErrServer where MOVE is not
    // announced.
    int moveToMailbox();
    int deleteFromMailbox();
    // In UID mode with UIDPLUS announced, expunges only the message set; else every mail marked
    // deleted.
    int expungeMailbox();

    QString lastError() const { return m_lastError; }
    int lastErrorCode() const { return m_lastErrorCode; }

signals:
    void ConnectionStatus(SIMAPConnectionStatusEventParams *params);
    void Error(SIMAPErrorEventParams *params);

private:
    int fail(int code, const QString &text);
    int imapFailure();
    int requireConnection();
    QString headerValue(const char *name) const;
    void clearSigner();

    std::unique_ptr<ImapClient> m_client;
    QString m_host;
    int m_port = 143;
    int m_sslMode = SslAutomatic;
    QString m_user;
    QString m_password;
    int m_timeoutSeconds = 60;
    bool m_allowPlainLogin = false;
    ImapLimits m_limits;
    QString m_caFile;

    struct CertChoice
    {
        int storeType = 0;
        QString store;
        QString password;
        QString subject;
    };
    CertChoice m_decryptCert;
    CertChoice m_signerCert;

    QString m_mailbox;
    QString m_selected;
    QStringList m_mailboxList;
    QString m_messageSet;
    bool m_uidMode = false;
    QList<SIMAPMessageInfo> m_infoList;
    QList<SIMAPMessage> m_fetched;
    QString m_setSentAhead;
    SIMAPMessageInfo m_info;
    QByteArray m_headers;
    QByteArray m_text;

    QByteArray m_signerDer;
    QString m_signerIssuer;
    QString m_signerSubject;
    QString m_signerSerial;
    QString m_signingAlgorithm;

    QString m_lastError;
    int m_lastErrorCode = 0;
    bool m_wasConnected = false;
};
