#include "MailSecurity/SIMAP.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

// A loopback server that plays a fixed script: "send:<bytes>" writes, "stream:<n>" writes n bytes
// as fast as the client takes them, "pause:<ms>" keeps quiet for a while, "read" waits for one
// command line of the client, "close" hangs up, "hang" keeps the line open and says nothing.
// received() holds the command lines read.
class ScriptedServer : public QThread
{
public:
    explicit ScriptedServer(const QList<QByteArray> &script) : m_script(script) {}

    quint16 startAndWaitForPort()
    {
        start();
        m_ready.acquire();
        return m_port;
    }
    void finish()
    {
        m_stop.release();
        wait();
    }
    QByteArray received() const { return m_received; }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        m_port = server.serverPort();
        m_ready.release();
        if (!server.waitForNewConnection(10000))
            return;
        QTcpSocket *client = server.nextPendingConnection();
        QByteArray received;
        for (const QByteArray &step : std::as_const(m_script)) {
            if (step.startsWith("send:")) {
                client->write(step.mid(5));
                client->waitForBytesWritten(2000);
            } else if (step == "read") {
                while (!received.contains('\n') && client->waitForReadyRead(5000))
                    received += client->readAll();
                m_received += received.left(received.indexOf('\n') + 1);
                received.remove(0, received.indexOf('\n') + 1);
            } else if (step.startsWith("stream:")) {
                const QByteArray chunk(65536, 'x');
                for (qint64 left = step.mid(7).toLongLong(); left > 0 && client->state() == QAbstractSocket::ConnectedState;
                     left -= chunk.size()) {
                    client->write(chunk);
                    client->waitForBytesWritten(2000);
                }
            } else if (step.startsWith("pause:")) {
                QThread::msleep(step.mid(6).toULong());
            } else if (step == "close") {
                client->disconnectFromHost();
                if (client->state() != QAbstractSocket::UnconnectedState)
                    client->waitForDisconnected(2000);
                break;
            } else if (step == "hang") {
                m_stop.tryAcquire(1, 20000);
                break;
            }
        }
    }

private:
    QList<QByteArray> m_script;
    QByteArray m_received;
    QSemaphore m_ready;
    QSemaphore m_stop;
    quint16 m_port = 0;
};

using Script = QList<QByteArray>;

// Broken and hostile server behaviour ends in a clear error within the time-out, never in a
// crash, a hang or memory without bound; the password is never sent unencrypted unless allowed.
class TestImapHostile : public QObject
{
    Q_OBJECT

private slots:
    void brokenServer_data()
    {
        QTest::addColumn<Script>("script");
        QTest::addColumn<QString>("failingStep");
        QTest::addColumn<QString>("errorPart");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("allowPlainLogin");
        const auto row = [](const char *name, const Script &script, const char *failingStep, const char *errorPart,
                            int code = SIMAP::ErrConnection, bool allowPlainLogin = true) {
            QTest::newRow(name) << script << QString::fromLatin1(failingStep) << QString::fromLatin1(errorPart) << code
                                << allowPlainLogin;
        };

        const QByteArray greeting = "send:* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] ready\r\n";
        const Script loggedIn = {greeting, "read", "send:Q1 OK logged in\r\n"};
        const Script selected = loggedIn + Script{"read", "send:* 2 EXISTS\r\nQ2 OK selected\r\n", "read"};

        row("greeting says BYE", {"send:* BYE too busy\r\n", "close"}, "connect", "Server refused the connection: BYE too busy");
        row("closed inside the greeting", {"send:* OK hel", "close"}, "connect", "Connection closed by the server");
        row("malformed answer to login", {greeting, "read", "send:Q1 (((\r\n", "hang"}, "connect", "Malformed server response");
        row("answer for a tag never sent", {greeting, "read", "send:Z9 OK\r\n", "hang"}, "connect",
            "Response for unknown command tag 'Z9'");
        row("unexpected continuation", loggedIn + Script{"read", "send:+ go on\r\n", "hang"}, "select",
            "Unexpected continuation request");
        row("literal cut short", selected + Script{"send:* 1 FETCH (BODY[TEXT] {100}\r\nonly ten..", "close"}, "fetch",
            "Connection closed by the server");
        row("huge literal announced, then streamed",
            selected + Script{"send:* 1 FETCH (BODY[TEXT] {99999999999}\r\n", "stream:2000000", "hang"}, "fetch",
            "literal of 99999999999 bytes; at most 65536 bytes");
        const QByteArray bigFetch = "* 1 FETCH (BODY[TEXT] {60000}\r\n" + QByteArray(60000, 'x') + ")\r\n";
        row("responses beyond the memory of one command", selected + Script{"send:" + bigFetch.repeated(20) + "Q3 OK done\r\n", "hang"},
            "fetch", "take more than 1048576 bytes");
        row("flood of untagged responses",
            selected + Script{"send:" + QByteArray("* 2 FETCH (FLAGS (\\Seen))\r\n").repeated(1000) + "Q3 OK done\r\n", "hang"},
            "fetch", "more than 100 responses");
        row("line without end", selected + Script{"send:* 1 FETCH (BODY[TEXT] \"" + QByteArray(300000, 'y'), "hang"}, "fetch",
            "longer than 16384 bytes");
        Script stillWorking = selected;
        for (int i = 0; i < 8; ++i)
            stillWorking << "send:* OK still working\r\n" << "pause:400";
        row("still working past the deadline", stillWorking + Script{"send:* 1 FETCH (BODY[TEXT] {3}\r\nabc)\r\nQ3 OK done\r\n", "hang"},
            "fetch", "Time-out waiting for the server's response");
        row("STARTTLS stripped by a man in the middle", {greeting, "read", "send:Q1 OK logged in\r\n", "hang"}, "connect",
            "is not encrypted (no STARTTLS) and plain login is not allowed", SIMAP::ErrConnection, false);
        row("LOGINDISABLED", {"send:* OK [CAPABILITY IMAP4rev1 LOGINDISABLED] ready\r\n", "read", "send:Q1 OK logged in\r\n", "hang"},
            "connect", "(LOGINDISABLED)");
        row("fetch answer without the text", selected + Script{"send:* 1 FETCH (UID 5)\r\nQ3 OK done\r\n", "hang"}, "fetch",
            "No text for message 1", SIMAP::ErrServer);
        row("unsolicited flag update before the text",
            selected + Script{"send:* 2 FETCH (FLAGS (\\Seen))\r\n* 1 FETCH (BODY[TEXT] {3}\r\nabc)\r\nQ3 OK done\r\n", "hang"},
            "done", "", 0);
    }

    void brokenServer()
    {
        QFETCH(Script, script);
        QFETCH(QString, failingStep);
        QFETCH(QString, errorPart);
        QFETCH(int, code);
        QFETCH(bool, allowPlainLogin);

        ScriptedServer server(script);
        const quint16 port = server.startAndWaitForPort();
        SIMAP imap;
        QSignalSpy errors(&imap, &SIMAP::Error);
        QSignalSpy status(&imap, &SIMAP::ConnectionStatus);
        QCOMPARE(imap.config(QStringLiteral("Timeout=1")), 0);
        QCOMPARE(imap.config(QStringLiteral("AllowPlainLogin=") + (allowPlainLogin ? "True" : "False")), 0);
        imap.setLimits({.maxLiteralBytes = 65536, .maxLineBytes = 16384, .maxUntaggedResponses = 100, .maxUntaggedBytes = 1048576});
        imap.setMailServer(QStringLiteral("127.0.0.1"));
        imap.setMailPort(port);
        imap.setSSL(SIMAP::SslAutomatic);
        imap.setUser(QStringLiteral("meter"));
        imap.setPassword(QStringLiteral("secret"));

        int result = imap.connectToHost();
        QString step = QStringLiteral("connect");
        if (result == 0) {
            step = QStringLiteral("select");
            imap.setMailbox(QStringLiteral("INBOX"));
            result = imap.selectMailbox();
        }
        if (result == 0) {
            step = QStringLiteral("fetch");
            imap.setMessageSet(QStringLiteral("1"));
            result = imap.fetchMessageText();
        }
        if (result == 0) {
            step = QStringLiteral("done");
            QCOMPARE(imap.messageText(), QStringLiteral("abc"));
        }
        server.finish();
        QCOMPARE(step, failingStep);
        QCOMPARE(result, code);
        QVERIFY2(imap.lastError().contains(errorPart), qPrintable(imap.lastError()));
        QCOMPARE(imap.connected(), code == 0 || code == int(SIMAP::ErrServer));
        QVERIFY2(!server.received().contains("LOGIN") || allowPlainLogin, server.received().constData());

        // A connection lost after login is announced once, with a change of the connection status;
        // later calls say at once that there is no connection; closing it then is no error.
        const bool lost = step != QLatin1String("connect") && code == int(SIMAP::ErrConnection);
        QCOMPARE(errors.count(), lost ? 1 : 0);
        QCOMPARE(status.count(), (step == QLatin1String("connect") ? 0 : 1) + (lost ? 1 : 0));
        if (!imap.connected()) {
            QCOMPARE(imap.expungeMailbox(), int(SIMAP::ErrNotConnected));
            QCOMPARE(imap.lastError(), QStringLiteral("Not connected"));
            QCOMPARE(errors.count(), lost ? 1 : 0);
            QCOMPARE(imap.disconnectFromHost(), 0);
        }
    }

    // A batch fetch takes each item of a mail from the first response of that mail carrying it,
    // whatever else comes in between, and leaves out a mail the server did not answer fully: the
    // caller fetches that one on its own.
    void batchAnswerInPieces()
    {
        const QByteArray envelope = "ENVELOPE (\"Mon, 1 Jan 2024 10:00:00 +0100\" \"S\" NIL NIL NIL NIL NIL NIL NIL NIL)";
        ScriptedServer server({"send:* OK [CAPABILITY IMAP4rev1] ready\r\n", "read", "send:Q1 OK logged in\r\n", "read",
                               "send:* 2 EXISTS\r\nQ2 OK selected\r\n", "read",
                               "send:* 1 FETCH (FLAGS (\\Seen))\r\n* 1 FETCH (UID 5 RFC822.SIZE 11 " + envelope + ")\r\n"
                               "* 2 FETCH (UID 6 " + envelope + " BODY[HEADER] {4}\r\nA: b BODY[TEXT] NIL)\r\n"
                               "* 1 FETCH (BODY[HEADER] {6}\r\nA: b\r\n BODY[TEXT] {3}\r\nabc UID 5)\r\n"
                               "* 1 FETCH (BODY[TEXT] {3}\r\nxyz)\r\nQ3 OK done\r\n",
                               "hang"});
        const quint16 port = server.startAndWaitForPort();
        SIMAP imap;
        QCOMPARE(imap.config(QStringLiteral("AllowPlainLogin=True")), 0);
        imap.setMailServer(QStringLiteral("127.0.0.1"));
        imap.setMailPort(port);
        imap.setSSL(SIMAP::SslNone);
        imap.setUser(QStringLiteral("meter"));
        imap.setPassword(QStringLiteral("secret"));
        QCOMPARE(imap.connectToHost(), 0);
        imap.setMailbox(QStringLiteral("INBOX"));
        QCOMPARE(imap.selectMailbox(), 0);
        imap.setMessageSet(QStringLiteral("2,1"));
        QCOMPARE(imap.fetchMessages(), 0);
        QList<SIMAPMessage> fetched = imap.takeFetchedMessages();
        server.finish();
        QVERIFY2(server.received().endsWith(" FETCH 2,1 (UID FLAGS INTERNALDATE RFC822.SIZE ENVELOPE BODY.PEEK[HEADER] "
                                            "BODY.PEEK[TEXT])\r\n"),
                 server.received().constData());
        QCOMPARE(fetched.size(), 1);
        imap.setCurrentMessage(std::move(fetched.first()));
        QCOMPARE(imap.messageId(), qint64(5));
        QCOMPARE(imap.messageSize(), qint64(11));
        QCOMPARE(imap.messageSubject(), QStringLiteral("S"));
        QCOMPARE(imap.messageHeadersString(), QStringLiteral("A: b"));
        QCOMPARE(imap.messageText(), QStringLiteral("abc"));
    }
};

QTEST_GUILESS_MAIN(TestImapHostile)
#include "tst_imap_hostile.moc"
