#pragma once

#include "MailSecurity/ImapTokenizer.h"
#include "MailSecurity/MailLimits.h"

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

#include <memory>

class QDeadlineTimer;
class QSslSocket;

// What the client accepts from a server. Past a limit the command fails with a text naming the
// limit and the connection is closed, so a hostile or broken server costs bounded memory.
struct ImapLimits
{
    // One literal, and all literals of one response together: one whole mail.
    qint64 maxLiteralBytes = MailLimits::MaxMailBytes;
    // One line of a response, without its literals.
    qint64 maxLineBytes = 1024 * 1024;
    // Untagged responses kept for one command (a message list holds one per mail in the folder).
    int maxUntaggedResponses = 100000;
    // Memory of the untagged responses kept for one command: their bytes plus, per parsed value,
    // the cost of holding it.
    qint64 maxUntaggedBytes = 256 * 1024 * 1024;
    static constexpr qint64 BytesPerValue = 96;
};

// A compact synchronous IMAP4rev1 client. The calling thread drives it; every call blocks until the
// server has answered or the time-out has run out, so no event loop is needed. The time-out is one
// deadline for the whole command, however often the server says it is still working. Server
// certificates are verified against the system trust store plus the extra CA certificates given.
// The password goes out only over an encrypted connection unless plain login is allowed, and
// never to a server that announces LOGINDISABLED.
class ImapClient
{
public:
    enum class Security {
        StartTlsIfOffered,  // plain connection, upgraded with STARTTLS when the server offers it
        StartTls,           // plain connection, STARTTLS required
        ImplicitTls,        // TLS from the first byte (imaps)
        Plain               // never encrypted
    };

    ImapClient();
    ~ImapClient();
    ImapClient(const ImapClient &) = delete;
    ImapClient &operator=(const ImapClient &) = delete;

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    void setLimits(const ImapLimits &limits) { m_limits = limits; }
    void setAllowPlainLogin(bool allow) { m_allowPlainLogin = allow; }
    void setExtraCaCertificates(const QList<QSslCertificate> &certificates) { m_extraCa = certificates; }

    bool connectToServer(const QString &host, quint16 port, Security security);
    bool login(const QString &user, const QString &password);
    bool list(const QString &pattern, QStringList *mailboxes);
    bool create(const QString &mailbox);
    bool select(const QString &mailbox);
    // FETCH of a message set with the given data items; *responses receives the FETCH responses.
    bool fetch(const QByteArray &messageSet, const QByteArray &items, QList<ImapResponse> *responses);
    // The same FETCH in two halves, so that the server prepares the answer while the caller does
    // other work: sendFetch() sends the command and returns, fetchSent() reads its answer, under
    // the same limits and with the whole time-out from when it is called. One fetch may be
    // outstanding; any other command first reads and drops its answer.
    bool sendFetch(const QByteArray &messageSet, const QByteArray &items);
    bool fetchSent(QList<ImapResponse> *responses);
    bool hasSentFetch() const { return !m_sentTag.isEmpty(); }
    // Notices, without waiting, that the server closed the connection since its last answer (no
    // fetch outstanding); false when it is closed.
    bool checkConnection();
    bool append(const QString &mailbox, const QByteArray &message);
    // With byUid the message set holds UIDs (UID COPY, UID MOVE, UID STORE).
    bool copy(const QByteArray &messageSet, const QString &mailbox, bool byUid = false);
    // MOVE (RFC 6851): copy and expunge in one step; only where the server announces MOVE.
    bool move(const QByteArray &messageSet, const QString &mailbox, bool byUid = false);
    bool storeDeleted(const QByteArray &messageSet, bool byUid = false);
    // EXPUNGE of every mail marked deleted, or with a UID set UID EXPUNGE of only those (UIDPLUS).
    bool expunge(const QByteArray &uidSet = QByteArray());
    bool close();
    bool logout();
    // Drops the connection without a word to the server.
    void abort();

    bool isConnected() const;
    bool isEncrypted() const;
    // Whether the server announces the capability (upper case, e.g. "MOVE", "UIDPLUS") to the
    // logged-in session: taken from the login's answer, else asked for once.
    bool hasCapability(const QString &name);
    qint64 exists() const { return m_exists; }
    QString lastError() const { return m_lastError; }

    // The value of one data item (e.g. "ENVELOPE", "BODY[HEADER]") of a FETCH response.
    static const ImapValue *fetchItem(const ImapResponse &response, const QByteArray &name);
    // Mailbox names travel in modified UTF-7.
    static QByteArray encodeMailboxName(const QString &name);
    static QString decodeMailboxName(const QByteArray &name);

private:
    // A command in pieces: every piece but the last ends with a literal announcement "{n}\r\n";
    // the next piece starts with the literal's bytes after the server's continuation.
    using Command = QList<QByteArray>;
    static void addAtom(Command *command, const QByteArray &atom);
    static void addString(Command *command, const QByteArray &bytes);

    static Command fetchCommand(const QByteArray &messageSet, const QByteArray &items);
    static void keepFetchResponses(QList<ImapResponse> &untagged, QList<ImapResponse> *responses);
    QByteArray nextTag();
    bool execute(const Command &command, QList<ImapResponse> *untagged = nullptr);
    bool awaitCompletion(const QByteArray &tag, QList<ImapResponse> *untagged, const QDeadlineTimer &deadline,
                         qint64 *keptBytes);
    bool dropSentFetch();
    bool readResponse(ImapResponse *response, const QDeadlineTimer &deadline);
    enum class Frame { Incomplete, Complete, Failed };
    Frame frameResponse();
    void resetFrame();
    bool keepUntagged(QList<ImapResponse> *untagged, ImapResponse &&response, qint64 *keptBytes);
    bool writeAll(const QByteArray &bytes, const QDeadlineTimer &deadline);
    bool readGreeting();
    bool refreshCapabilities();
    void takeCapabilities(const QByteArray &code);
    bool startTls();
    void noteUntagged(const ImapResponse &response);
    bool failConnection(const QString &error);
    bool fail(const QString &error);

    std::unique_ptr<QSslSocket> m_socket;
    QByteArray m_buffer;
    qsizetype m_bufferStart = 0;  // bytes of m_buffer already parsed
    // Framing of the response at m_bufferStart, relative to it: the bytes up to m_frameEnd belong
    // to it, m_literalLeft bytes of a literal are still to come, and no line feed lies between
    // m_frameEnd and m_scanned.
    qsizetype m_frameEnd = 0;
    qsizetype m_scanned = 0;
    qint64 m_literalLeft = 0;
    qint64 m_literalBytes = 0;    // literal bytes of the response so far
    qsizetype m_lastResponseSize = 0;
    ImapLimits m_limits;
    bool m_allowPlainLogin = false;
    QList<QSslCertificate> m_extraCa;
    QString m_host;
    QString m_lastError;
    QStringList m_capabilities;
    bool m_loggedIn = false;
    bool m_sessionCapabilities = false; // m_capabilities are those announced after the login
    int m_timeoutMs = 30000;
    int m_tagCounter = 0;
    QByteArray m_sentTag;  // of the fetch sent ahead whose answer is still to be read
    qint64 m_exists = 0;
    bool m_closing = false;
};
