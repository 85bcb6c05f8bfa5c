#include "MailSecurity/SIMAP.h"
#include "fixtures/DovecotServer.h"
#include "fixtures/SmimeFactory.h"

#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The IMAP side of SIMAP against a real dovecot on loopback ports.
class TestSimapImap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
    }

    void login_data()
    {
        QTest::addColumn<int>("sslMode");
        QTest::addColumn<bool>("tlsPort");
        QTest::addColumn<bool>("rightPassword");
        QTest::addColumn<bool>("trustServer");
        QTest::addColumn<int>("expectedCode");
        QTest::addColumn<QString>("errorPart");

        QTest::newRow("STARTTLS required") << int(SIMAP::SslStartTls) << false << true << true << 0 << QString();
        QTest::newRow("implicit TLS") << int(SIMAP::SslImplicit) << true << true << true << 0 << QString();
        QTest::newRow("wrong password") << int(SIMAP::SslAutomatic) << false << false << true
                                        << int(SIMAP::ErrServer) << QStringLiteral("NO [AUTHENTICATIONFAILED] Authentication failed.");
        QTest::newRow("implicit TLS, certificate not trusted") << int(SIMAP::SslImplicit) << true << true << false
                                                               << int(SIMAP::ErrConnection) << QStringLiteral("self-signed");
        QTest::newRow("STARTTLS, certificate not trusted") << int(SIMAP::SslAutomatic) << false << true << false
                                                           << int(SIMAP::ErrConnection) << QStringLiteral("STARTTLS handshake failed");
        QTest::newRow("TLS spoken to the plain port") << int(SIMAP::SslImplicit) << false << true << true
                                                      << int(SIMAP::ErrConnection) << QStringLiteral("TLS connection to");
    }

    void login()
    {
        QFETCH(int, sslMode);
        QFETCH(bool, tlsPort);
        QFETCH(bool, rightPassword);
        QFETCH(bool, trustServer);
        QFETCH(int, expectedCode);
        QFETCH(QString, errorPart);

        SIMAP imap;
        QSignalSpy status(&imap, &SIMAP::ConnectionStatus);
        if (trustServer)
            QCOMPARE(imap.config(QStringLiteral("SSLCAFile=") + m_server.certificatePath()), 0);
        QCOMPARE(imap.config(QStringLiteral("Timeout=10")), 0);
        imap.setMailServer(m_server.host());
        imap.setMailPort(tlsPort ? m_server.imapsPort() : m_server.imapPort());
        imap.setSSL(sslMode);
        imap.setUser(m_server.user());
        imap.setPassword(rightPassword ? m_server.password() : QStringLiteral("wrong"));

        QCOMPARE(imap.connectToHost(), expectedCode);
        QCOMPARE(imap.connected(), expectedCode == 0);
        QVERIFY2(imap.lastError().contains(errorPart), qPrintable(imap.lastError()));
        QCOMPARE(status.count(), expectedCode == 0 ? 1 : 0);
        if (expectedCode == 0) {
            QCOMPARE(imap.disconnectFromHost(), 0);
            QVERIFY(!imap.connected());
        }
    }

    void fetchAndAppendByteForByte_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("date");  // listed as the mail gives it, in whatever form
        QTest::addColumn<QString>("sender");

        const QString date = QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100");
        QTest::newRow("multipart mail") << mail(QStringLiteral("Bytes"), date) << date
                                        << QStringLiteral("Meter Portal <portal@meters.example>");
        QTest::newRow("8-bit Latin-1 body") << QByteArray("Subject: Z\xe4hler\r\nDate: Wed, 03 Jan 2024 12:30:00 -0500\r\n"
                                                          "Content-Type: text/plain; charset=iso-8859-1\r\n"
                                                          "Content-Transfer-Encoding: 8bit\r\n\r\nGr\xfc\xdf" "e\r\n\xff\xfe\r\n")
                                            << QStringLiteral("Wed, 03 Jan 2024 12:30:00 -0500") << QString();
        QTest::newRow("folded header, empty lines in body")
            << QByteArray("Subject: a long\r\n subject folded\r\nDate: Mon, 1 Jan 2024 23:59:59 +0000\r\n\r\n\r\n\r\nx\r\n")
            << QStringLiteral("Mon, 1 Jan 2024 23:59:59 +0000") << QString();
        QByteArray large = "Subject: large\r\nDate: Tue, 2 Jan 2024 08:00:00 +0100\r\n\r\n";
        for (int i = 0; i < 40000; ++i)
            large += "line " + QByteArray::number(i) + " of a large attachment body with some padding\r\n";
        QTest::newRow("two megabytes") << large << QStringLiteral("Tue, 2 Jan 2024 08:00:00 +0100") << QString();
    }

    // A mail comes from the server byte for byte, and goes back byte for byte when appended to a folder.
    void fetchAndAppendByteForByte()
    {
        QFETCH(QByteArray, message);
        QFETCH(QString, date);
        QFETCH(QString, sender);
        const QString folder = QStringLiteral("Fetch%1").arg(QTest::currentDataTag()).remove(QLatin1Char(' ')).left(20);
        const QString appended = folder + QStringLiteral("Appended");
        QVERIFY(m_server.seedMail(message, folder));

        auto imap = connectedClient();
        for (const QString &from : {folder, appended}) {
            imap->setMailbox(from);
            QCOMPARE(imap->selectMailbox(), 0);
            QCOMPARE(imap->messageCount(), 1);
            imap->setMessageSet(QStringLiteral("1"));
            QCOMPARE(imap->fetchMessageInfo(), 0);
            QCOMPARE(imap->messageInfoList().size(), 1);
            const SIMAPMessageInfo info = imap->messageInfoList().first();
            QCOMPARE(info.number, qint64(1));
            QVERIFY(info.uid > 0);
            QCOMPARE(info.date, date);
            QCOMPARE(info.from, sender);
            QCOMPARE(imap->fetchMessageHeaders(), 0);
            QCOMPARE(imap->fetchMessageText(), 0);
            const QByteArray fetched = imap->messageHeadersString().toLatin1() + "\r\n\r\n" + imap->messageText().toLatin1();
            QCOMPARE(fetched.size(), message.size());
            QVERIFY(fetched == message);
            QCOMPARE(imap->messageDate(), date);
            QCOMPARE(imap->messageSize(), qint64(message.size()));
            if (from == folder) {
                imap->setMailbox(appended);
                QCOMPARE(imap->createMailbox(), 0);
                QCOMPARE(imap->appendToMailbox(), 0);
                QCOMPARE(imap->mailbox(), appended);
                QCOMPARE(m_server.maildirCount(appended), 1);
            }
        }
    }

    void batchFetchIsTheSingleFetches_data()
    {
        QTest::addColumn<QString>("sentAhead");      // the set whose fetch is sent ahead, if any
        QTest::addColumn<bool>("commandInBetween");  // a command before the answer is read
        QTest::newRow("one command") << QString() << false;
        QTest::newRow("sent ahead") << QStringLiteral("3,1,2") << false;
        QTest::newRow("sent ahead, answer dropped by a command in between") << QStringLiteral("3,1,2") << true;
        QTest::newRow("another set sent ahead") << QStringLiteral("1") << false;
    }

    // Mails fetched many in one command, the set in any order, are what the single fetches of each
    // give: list entry, headers and text. A fetch sent ahead gives the same, also when another
    // command in between dropped its answer.
    void batchFetchIsTheSingleFetches()
    {
        QFETCH(QString, sentAhead);
        QFETCH(bool, commandInBetween);
        const QString folder = QStringLiteral("Batch%1").arg(QTest::currentDataTag()).remove(QRegularExpression(QStringLiteral("\\W")));
        QVERIFY(m_server.seedMail(mail(QStringLiteral("First"), QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100")), folder));
        QVERIFY(m_server.seedMail("Subject: Z\xe4hler\r\n folded\r\nDate: Wed, 03 Jan 2024 12:30:00 -0500\r\n\r\n\r\nGr\xfc\xdf" "e\r\n",
                                  folder));
        QVERIFY(m_server.seedMail(mail(QStringLiteral("Third"), QStringLiteral("Tue, 2 Jan 2024 08:00:00 +0100")), folder));
        auto imap = connectedClient();
        imap->setMailbox(folder);
        QCOMPARE(imap->selectMailbox(), 0);
        if (!sentAhead.isEmpty())
            QCOMPARE(imap->sendFetchMessages(sentAhead), 0);
        if (commandInBetween)
            QCOMPARE(imap->selectMailbox(), 0);
        imap->setMessageSet(QStringLiteral("3,1,2"));
        QCOMPARE(imap->fetchMessages(), 0);
        QList<SIMAPMessage> batch = imap->takeFetchedMessages();
        QCOMPARE(batch.size(), 3);
        QSet<qint64> numbers;
        const auto current = [&imap]() {
            return QStringList{QString::number(imap->messageId()), QString::number(imap->messageSize()),
                               imap->messageFlags(), imap->messageDeliveryTime(), imap->messageSubject(),
                               imap->messageDate(), imap->messageFrom(), imap->messageHeadersString(), imap->messageText()};
        };
        for (SIMAPMessage &message : batch) {
            const qint64 number = message.info.number;
            numbers.insert(number);
            imap->setCurrentMessage(std::move(message));
            const QStringList fromBatch = current();
            imap->setMessageSet(QString::number(number));
            QCOMPARE(imap->fetchMessageInfo(), 0);
            QCOMPARE(imap->fetchMessageHeaders(), 0);
            QCOMPARE(imap->fetchMessageText(), 0);
            QCOMPARE(fromBatch, current());
        }
        QCOMPARE(numbers, (QSet<qint64>{1, 2, 3}));
    }

    // A folder whose name must be encoded (non-ASCII, "&") and quoted (space, quote, backslash) is
    // created and listed under that name. The message sets go to the server as given: a list to copy,
    // a range to delete.
    void foldersCopyDeleteAndExpunge()
    {
        for (const char *subject : {"A", "B", "C", "D"})
            QVERIFY(m_server.seedMail(mail(QLatin1String(subject), QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100")), QStringLiteral("Source")));
        const QString target = QStringLiteral("Erfolg äöü & \"Co\" \\ here");
        auto imap = connectedClient(SIMAP::SslAutomatic);
        imap->setMailbox(target);
        QCOMPARE(imap->createMailbox(), 0);
        imap->setMailbox(QStringLiteral("*"));
        QCOMPARE(imap->listMailboxes(), 0);
        const QStringList folders = imap->mailboxList();
        QVERIFY2(folders.contains(QStringLiteral("INBOX")) && folders.contains(target), qPrintable(folders.join(QLatin1Char('|'))));
        // Creating it again is refused with the server's words; the session goes on.
        imap->setMailbox(target);
        QCOMPARE(imap->createMailbox(), int(SIMAP::ErrServer));
        QVERIFY2(imap->lastError().startsWith(QLatin1String("NO")), qPrintable(imap->lastError()));
        QVERIFY(imap->connected());
        QCOMPARE(imap->selectMailbox(), 0);
        QCOMPARE(imap->messageCount(), 0);

        imap->setMailbox(QStringLiteral("Source"));
        QCOMPARE(imap->selectMailbox(), 0);
        imap->setMessageSet(QStringLiteral("1,3"));
        imap->setMailbox(target);
        QCOMPARE(imap->copyToMailbox(), 0);
        QCOMPARE(subjectsIn(imap.get(), target), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
        QCOMPARE(m_server.maildirCount(QStringLiteral("Source")), 4);
        // Refused: a copy, an append or a select of a folder that does not exist, a message beyond the
        // last one, a message set that is no set or is empty.
        imap->setMailbox(QStringLiteral("Nowhere"));
        checkRefused(imap.get(), imap->copyToMailbox(), "TRYCREATE");
        checkRefused(imap.get(), imap->appendToMailbox(), "TRYCREATE");
        checkRefused(imap.get(), imap->selectMailbox(), "NO");

        imap->setMailbox(QStringLiteral("Source"));
        QCOMPARE(imap->selectMailbox(), 0);
        imap->setMessageSet(QStringLiteral("7"));
        checkRefused(imap.get(), imap->fetchMessageInfo(), "BAD");
        // An empty message set is refused by the client itself: the server never sees it.
        imap->setMessageSet(QString());
        for (auto fetch : {&SIMAP::fetchMessageInfo, &SIMAP::fetchMessageHeaders, &SIMAP::fetchMessageText,
                           &SIMAP::fetchMessages}) {
            QCOMPARE((imap.get()->*fetch)(), int(SIMAP::ErrArgument));
            QCOMPARE(imap->lastError(), QStringLiteral("No message set"));
        }
        QVERIFY(imap->connected());
        imap->setMessageSet(QStringLiteral("1 2"));
        checkRefused(imap.get(), imap->deleteFromMailbox(), "BAD");
        imap->setMessageSet(QStringLiteral("2:3"));
        QCOMPARE(imap->deleteFromMailbox(), 0);
        QCOMPARE(m_server.maildirCount(QStringLiteral("Source")), 4);  // only flagged so far
        QCOMPARE(imap->expungeMailbox(), 0);
        QCOMPARE(m_server.maildirCount(QStringLiteral("Source")), 2);
        QCOMPARE(imap->messageCount(), 2);
        QCOMPARE(imap->closeMailbox(), 0);
        QCOMPARE(subjectsIn(imap.get(), QStringLiteral("Source")), (QStringList{QStringLiteral("A"), QStringLiteral("D")}));
    }

    void cleanupTestCase()
    {
        m_server.stop();
    }

private:
    std::unique_ptr<SIMAP> connectedClient(int sslMode = SIMAP::SslNone)
    {
        auto imap = std::make_unique<SIMAP>();
        imap->config(QStringLiteral("SSLCAFile=") + m_server.certificatePath());
        if (sslMode == SIMAP::SslNone)
            imap->config(QStringLiteral("AllowPlainLogin=True"));
        imap->setMailServer(m_server.host());
        imap->setMailPort(sslMode == SIMAP::SslImplicit ? m_server.imapsPort() : m_server.imapPort());
        imap->setSSL(sslMode);
        imap->setUser(m_server.user());
        imap->setPassword(m_server.password());
        if (imap->connectToHost() != 0)
            qWarning() << "connect failed:" << imap->lastError();
        return imap;
    }

    QByteArray mail(const QString &subject, const QString &date)
    {
        return SmimeFactory::plainMail(subject, date, "values.csv", "time;value\r\n2024-01-01 00:15;1.5\r\n");
    }

    // The subjects of the mails in a folder, sorted; the error text if they cannot be read.
    QStringList subjectsIn(SIMAP *imap, const QString &folder)
    {
        imap->setMailbox(folder);
        imap->setMessageSet(QStringLiteral("1:*"));
        if (imap->selectMailbox() != 0 || imap->fetchMessageInfo() != 0)
            return {imap->lastError()};
        QStringList subjects;
        for (const SIMAPMessageInfo &info : imap->messageInfoList())
            subjects << info.subject;
        subjects.sort();
        return subjects;
    }

    // A command the server refuses fails with the server's words; the session goes on.
    void checkRefused(SIMAP *imap, int code, const char *errorPart)
    {
        QCOMPARE(code, int(SIMAP::ErrServer));
        QVERIFY2(imap->lastError().contains(QLatin1String(errorPart)), qPrintable(imap->lastError()));
        QVERIFY(imap->connected());
    }

    DovecotServer m_server;
};

QTEST_GUILESS_MAIN(TestSimapImap)
#include "tst_simap_imap.moc"
