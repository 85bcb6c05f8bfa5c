#include "MailSecurity/SIMAP.h"

#include <QSemaphore>
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
        m_stop.tryAcquire(1, 0);
    }

private:
    QList<QByteArray> m_script;
    QByteArray m_received;
    QSemaphore m_ready;
    QSemaphore m_stop;
    quint16 m_port = 0;
};

// Broken and hostile server behaviour ends in a clear error within the time-out, never in a
// crash, a hang or memory without bound; the password is never sent unencrypted unless allowed.
class TestImapHostile : public QObject
{
    Q_OBJECT

private slots:
    void brokenServer_data();
    void brokenServer();
};

void TestImapHostile::brokenServer_data()
{
    QTest::addColumn<QList<QByteArray>>("script");
    QTest::addColumn<QString>("failingStep");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("errorPart");
    QTest::addColumn<bool>("allowPlainLogin");

    const QByteArray greeting = "send:* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] ready\r\n";
    const QList<QByteArray> loggedIn = {greeting, "read", "send:Q1 OK logged in\r\n"};
    const QList<QByteArray> selected = loggedIn + QList<QByteArray>{"read", "send:* 2 EXISTS\r\nQ2 OK selected\r\n", "read"};

    QTest::newRow("not an IMAP server") << QList<QByteArray>{"send:HTTP/1.1 400 Bad Request\r\n", "hang"}
                                        << QStringLiteral("connect") << int(SIMAP::ErrConnection)
                                        << QStringLiteral("status expected after tag") << true;
    QTest::newRow("greeting says BYE") << QList<QByteArray>{"send:* BYE too busy\r\n", "close"} << QStringLiteral("connect")
                                       << int(SIMAP::ErrConnection)
                                       << QStringLiteral("Server refused the connection: BYE too busy") << true;
    QTest::newRow("silent server") << QList<QByteArray>{"hang"} << QStringLiteral("connect") << int(SIMAP::ErrConnection)
                                   << QStringLiteral("Time-out waiting for the server's response") << true;
    QTest::newRow("closed inside the greeting") << QList<QByteArray>{"send:* OK hel", "close"} << QStringLiteral("connect")
                                                << int(SIMAP::ErrConnection) << QStringLiteral("Connection closed by the server") << true;
    QTest::newRow("malformed answer to login") << QList<QByteArray>{greeting, "read", "send:Q1 (((\r\n", "hang"}
                                               << QStringLiteral("connect") << int(SIMAP::ErrConnection)
                                               << QStringLiteral("Malformed server response") << true;
    QTest::newRow("answer for a tag never sent") << QList<QByteArray>{greeting, "read", "send:Z9 OK\r\n", "hang"}
                                                 << QStringLiteral("connect") << int(SIMAP::ErrConnection)
                                                 << QStringLiteral("Response for unknown command tag 'Z9'") << true;
    QTest::newRow("unexpected continuation")
        << (loggedIn + QList<QByteArray>{"read", "send:+ go on\r\n", "hang"}) << QStringLiteral("select")
        << int(SIMAP::ErrConnection) << QStringLiteral("Unexpected continuation request") << true;
    QTest::newRow("literal cut short")
        << (selected + QList<QByteArray>{"send:* 1 FETCH (BODY[TEXT] {100}\r\nonly ten..", "close"})
        << QStringLiteral("fetch") << int(SIMAP::ErrConnection) << QStringLiteral("Connection closed by the server") << true;
    QTest::newRow("huge literal announced, then streamed")
        << (selected + QList<QByteArray>{"send:* 1 FETCH (BODY[TEXT] {99999999999}\r\n", "stream:2000000", "hang"})
        << QStringLiteral("fetch") << int(SIMAP::ErrConnection)
        << QStringLiteral("literal of 99999999999 bytes; at most 65536 bytes") << true;
    QByteArray bigFetches;
    for (int i = 0; i < 20; ++i)
        bigFetches += "* 1 FETCH (BODY[TEXT] {60000}\r\n" + QByteArray(60000, 'x') + ")\r\n";
    QTest::newRow("responses beyond the memory of one command")
        << (selected + QList<QByteArray>{"send:" + bigFetches + "Q3 OK done\r\n", "hang"}) << QStringLiteral("fetch")
        << int(SIMAP::ErrConnection) << QStringLiteral("take more than 1048576 bytes") << true;
    QTest::newRow("flood of untagged responses")
        << (selected + QList<QByteArray>{"send:" + QByteArray("* 2 FETCH (FLAGS (\\Seen))\r\n").repeated(1000) + "Q3 OK done\r\n", "hang"})
        << QStringLiteral("fetch") << int(SIMAP::ErrConnection) << QStringLiteral("more than 100 responses") << true;
    QTest::newRow("line without end")
        << (selected + QList<QByteArray>{"send:* 1 FETCH (BODY[TEXT] \"" + QByteArray(300000, 'y'), "hang"})
        << QStringLiteral("fetch") << int(SIMAP::ErrConnection) << QStringLiteral("longer than 16384 bytes") << true;
    QList<QByteArray> stillWorking = selected;
    for (int i = 0; i < 8; ++i)
        stillWorking << "send:* OK still working\r\n" << "pause:400";
    QTest::newRow("still working past the deadline")
        << (stillWorking + QList<QByteArray>{"send:* 1 FETCH (BODY[TEXT] {3}\r\nabc)\r\nQ3 OK done\r\n", "hang"})
        << QStringLiteral("fetch") << int(SIMAP::ErrConnection) << QStringLiteral("Time-out") << true;
    QTest::newRow("STARTTLS stripped by a man in the middle")
        << QList<QByteArray>{greeting, "read", "send:Q1 OK logged in\r\n", "hang"} << QStringLiteral("connect")
        << int(SIMAP::ErrConnection) << QStringLiteral("is not encrypted (no STARTTLS) and plain login is not allowed") << false;
    QTest::newRow("LOGINDISABLED")
        << QList<QByteArray>{"send:* OK [CAPABILITY IMAP4rev1 LOGINDISABLED] ready\r\n", "read", "send:Q1 OK logged in\r\n", "hang"}
        << QStringLiteral("connect") << int(SIMAP::ErrConnection) << QStringLiteral("(LOGINDISABLED)") << true;
    QTest::newRow("nesting beyond reason")
        << (selected + QList<QByteArray>{"send:* 1 FETCH " + QByteArray(1000, '(') + "\r\n", "hang"})
        << QStringLiteral("fetch") << int(SIMAP::ErrConnection) << QStringLiteral("nested deeper than 64") << true;
    QTest::newRow("fetch answer without the text")
        << (selected + QList<QByteArray>{"send:* 1 FETCH (UID 5)\r\nQ3 OK done\r\n", "hang"}) << QStringLiteral("fetch")
        << int(SIMAP::ErrServer) << QStringLiteral("No text for message 1") << true;
    QTest::newRow("unsolicited flag update before the text")
        << (selected + QList<QByteArray>{"send:* 2 FETCH (FLAGS (\\Seen))\r\n* 1 FETCH (BODY[TEXT] {3}\r\nabc)\r\nQ3 OK done\r\n", "hang"})
        << QStringLiteral("done") << 0 << QString() << true;
    QTest::newRow("server says BYE and hangs up")
        << (selected + QList<QByteArray>{"send:* BYE shutting down\r\n", "close"}) << QStringLiteral("fetch")
        << int(SIMAP::ErrConnection) << QStringLiteral("Connection closed by the server") << true;
}

void TestImapHostile::brokenServer()
{
    QFETCH(QList<QByteArray>, script);
    QFETCH(QString, failingStep);
    QFETCH(int, code);
    QFETCH(QString, errorPart);
    QFETCH(bool, allowPlainLogin);

    ScriptedServer server(script);
    const quint16 port = server.startAndWaitForPort();
    SIMAP imap;
    QCOMPARE(imap.config(QStringLiteral("Timeout=1")), 0);
    QCOMPARE(imap.config(QStringLiteral("AllowPlainLogin=") + (allowPlainLogin ? "True" : "False")), 0);
    ImapLimits limits;
    limits.maxLiteralBytes = 65536;
    limits.maxLineBytes = 16384;
    limits.maxUntaggedResponses = 100;
    limits.maxUntaggedBytes = 1048576;
    imap.setLimits(limits);
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
}

QTEST_GUILESS_MAIN(TestImapHostile)
#include "tst_imap_hostile.moc"
