// The status reporter against a real SMTP server: when a report goes out, what it says, and what
// happens when the server refuses it. Short periods make the checks follow each other quickly;
// the tests wait for received mail files, signals and log lines.

#include "../common/LogCapture.h"
#include "HandlerReportSources.h"
#include "fixtures/SmtpServer.h"
#include "mail/MailHandler.h"
#include "report/MailSender.h"

#include "MailSecurity/MIME.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int Wait = 30000;
constexpr int Long = 3600000; // a period that does not end during a test

// A delivered mail, decoded.
struct Mail
{
    explicit Mail(const QByteArray &raw)
    {
        mime.setMessage(raw);
        ok = mime.decodeFromString() == 0;
    }
    QString header(const QString &name) const
    {
        for (const MIME::Header &h : mime.messageHeaders()) {
            if (h.first.compare(name, Qt::CaseInsensitive) == 0)
                return h.second;
        }
        return {};
    }
    // The report text with the line ends it had before the transfer.
    QString text() const { return QString::fromUtf8(mime.partDecodedContent(0)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }
    MIME mime;
    bool ok = false;
};

// A reporter thread (minuteMs: its minute, first check at once) that is stopped however the test
// ends, with its last-error texts received in the test's thread; without sources unless given.
class Reporter : public MailSender
{
public:
    Reporter(const ReportConfig &config, int minuteMs, const ReportSources *sources = nullptr)
        : MailSender(config, sources, {0, minuteMs})
    {
        connect(this, &MailSender::sigLastErrorChanged, &m_receiver, [this](const QString &t) { errors.append(t); },
                Qt::QueuedConnection);
    }
    ~Reporter() override
    {
        quit();
        wait();
    }
    QStringList errors;

private:
    QObject m_receiver; // lives in the test's thread; the reporter itself lives in its own
};

} // namespace

class TestMailSender : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("QuillonTest"));
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
    }

    void cleanupTestCase()
    {
        // Neither the password nor its AUTH encodings ever reached the log.
        const QByteArray password = m_server.password().toUtf8();
        QCOMPARE(m_log.count(QString::fromUtf8(password)), 0);
        QCOMPARE(m_log.count(QString::fromLatin1(password.toBase64())), 0);
        QCOMPARE(m_log.count(QString::fromLatin1(('\0' + m_server.user().toUtf8() + '\0' + password).toBase64())), 0);
    }

    void firstCheckRecordsThenOnlyChangesSend()
    {
        const int before = m_server.mailCount();
        const int unchanged = m_log.count(QStringLiteral("Status report unchanged, not sent"));
        Reporter sender(config(), 20);
        sender.start();
        // The first check and the checks after it find nothing new: nothing is sent.
        QTRY_VERIFY_WITH_TIMEOUT(m_log.count(QStringLiteral("Status report unchanged, not sent")) >= unchanged + 5, Wait);
        QCOMPARE(m_server.mailCount(), before);

        // A forced report forgets the previous body, so it is sent.
        sender.forceReport();
        QTRY_COMPARE_WITH_TIMEOUT(m_server.mailCount(), before + 1, Wait);

        const Mail mail(m_server.mail(before + 1));
        QVERIFY(mail.ok);
        QCOMPARE(m_server.recipients(before + 1), QStringList({"one@plant.example", "two@plant.example"}));
        QCOMPARE(mail.header(QStringLiteral("Subject")), QStringLiteral("Quillon status Report, all ok"));
        QVERIFY2(mail.header(QStringLiteral("From")).contains(QStringLiteral("QuillonTest")), qPrintable(mail.header("From")));
        QVERIFY2(mail.header(QStringLiteral("To")).contains(QStringLiteral("Operator Two")), qPrintable(mail.header("To")));
        const QRegularExpression id(QStringLiteral("^<\\d{14}\\.[0-9a-f]{6,12}\\.quillon-%1@quillon\\.invalid>$")
                                        .arg(QRegularExpression::escape(QHostInfo::localHostName())));
        QVERIFY2(id.match(mail.header(QStringLiteral("Message-ID"))).hasMatch(), qPrintable(mail.header("Message-ID")));
        const QRegularExpression text(QStringLiteral(
            "^Quillon status report\n-{24}\ncreated on \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n\n\nMail handling: Ok\n\n\n"
            "\n---\nQuillonTest\nModul Version: 2\\.25\\.110\\.20  \\[2025-04-23 07:57\\]\n$"));
        QVERIFY2(text.match(mail.text()).hasMatch(), qPrintable(mail.text()));
    }

    void createdPointsSendAtOnceWithAttachments()
    {
        const int before = m_server.mailCount();
        // What the report reads of the handlers: a DMS handler not (yet) connected, a mail intake
        // without connection failures.
        DmsHandler dms(DmsConfig{});
        MailHandler intake(MailConfig{});
        HandlerReportSources sources;
        sources.setDmsHandler(&dms);
        sources.setMailHandler(&intake);
        Reporter sender(config(QStringLiteral("TLS"), QStringLiteral("LOGIN")), Long, &sources);
        sender.addCreatedAks(QStringLiteral("Site:B"));
        sender.addCreatedAks(QStringLiteral("Site:A"));
        sender.addCreatedAks(QStringLiteral("Site:B"));
        sender.addMiscMessage(QStringLiteral("Value out of range on datapoint Site:A, value: 1e+06"));
        sender.addMiscMessage(QStringLiteral("Value out of range on datapoint Site:A, value: 1e+06"));
        sender.addMiscMessage(QStringLiteral("Multiple write on datapoint Site:B"));
        const QByteArray csv = "Zeit;Wert\n2024-10-27 02:30;17,5\n";
        sender.addMailEntry(QStringLiteral("Mail 'Meter data' failed: No data found"), QStringLiteral("_1.csv"), QString::fromUtf8(csv));
        sender.addMailEntry(QStringLiteral("Could not ExpungeMailbox()"), QString(), QString());
        sender.start();
        // Created points are reported even at the first check.
        QTRY_COMPARE_WITH_TIMEOUT(m_server.mailCount(), before + 1, Wait);

        const Mail mail(m_server.mail(before + 1));
        QVERIFY(mail.ok);
        QCOMPARE(mail.header(QStringLiteral("Subject")), QStringLiteral("Quillon status report, new states"));
        QVERIFY2(mail.text().contains(QStringLiteral(
                     "\n\n2 AKS created:\n- Site:A\n- Site:B\n\nDMS/PDBS: not ready\nIMAP: Ok\n"
                     "\nMail handling: 2 errors\n- Mail 'Meter data' failed: No data found\n  (see Attachment1_1.csv)\n"
                     "- Could not ExpungeMailbox()\n\nDatapoint states: Ok\n\nDatapoint updates: Ok\n\n"
                     "Miscellaneous: 2 messages\n- Multiple write on datapoint Site:B\n"
                     "- Value out of range on datapoint Site:A, value: 1e+06\n\n\n\n---\n")),
                 qPrintable(mail.text()));
        QCOMPARE(mail.mime.partCount(), 2);
        QCOMPARE(mail.mime.partFilename(1), QStringLiteral("Attachment1_1.csv.txt"));
        QCOMPARE(mail.mime.partName(1), QStringLiteral("Attachment1_1.csv.txt"));
        QCOMPARE(mail.mime.partEncoding(1).toLower(), QStringLiteral("base64"));
        QCOMPARE(mail.mime.partDecodedContent(1), csv);
    }

    void noEnabledRecipientKeepsTheBody()
    {
        const int before = m_server.mailCount();
        ReportConfig c = config();
        for (ReportUser &u : c.users)
            u.enabled = false;
        const QString notSent = QStringLiteral("Status report not sent: no recipient enabled");
        const int skipped = m_log.count(notSent);
        Reporter sender(c, Long);
        sender.addCreatedAks(QStringLiteral("Site:A"));
        sender.addMiscMessage(QStringLiteral("Multiple write on datapoint Site:A"));
        // Past the bound on waiting attachments a failed mail is listed without its file.
        sender.addMailEntry(QStringLiteral("big"), QStringLiteral("_1.csv"), QString(16 * 1024 * 1024, QLatin1Char('x')));
        sender.addMailEntry(QStringLiteral("next"), QStringLiteral("_2.csv"), QStringLiteral("y"));
        sender.start();
        QTRY_COMPARE_WITH_TIMEOUT(m_log.count(notSent), skipped + 1, Wait);
        QVERIFY(sender.lastReportText().contains(QStringLiteral("- Multiple write on datapoint Site:A\n")));
        QVERIFY(sender.lastReportText().contains(
            QStringLiteral("- big\n  (see Attachment1_1.csv)\n- next (attachment not kept: report size limit)\n")));
        // The body became the previous body and its entries are gone, not put back.
        sender.forceReport();
        QTRY_COMPARE_WITH_TIMEOUT(m_log.count(notSent), skipped + 2, Wait);
        QTRY_VERIFY(!sender.lastReportText().contains(QStringLiteral("Multiple write")));
        QCOMPARE(m_server.mailCount(), before);
    }

    void refusedDeliveryIsResent_data()
    {
        QTest::addColumn<QString>("connType");
        QTest::addColumn<QString>("authType");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QString>("error");
        QTest::newRow("implicit TLS, AUTH LOGIN, password refused")
            << "SSL" << "LOGIN" << int(SmtpServer::RejectPassword)
            << "Could not login() [535 5.7.8 Authentication credentials invalid]";
        QTest::newRow("STARTTLS, recipient refused")
            << "TLS" << "PLAIN" << int(SmtpServer::RejectRecipient)
            << "Could not sendMail() [550 5.1.1 <one@plant.example>: Recipient address rejected]";
    }

    void refusedDeliveryIsResent()
    {
        QFETCH(QString, connType);
        QFETCH(QString, authType);
        QFETCH(int, refusal);
        QFETCH(QString, error);
        const int before = m_server.mailCount();
        m_server.setSwitch(SmtpServer::Switch(refusal), true);
        Reporter sender(config(connType, authType), 20);
        sender.addCreatedAks(QStringLiteral("Site:A"));
        sender.start();
        QTRY_VERIFY_WITH_TIMEOUT(!sender.errors.isEmpty() && sender.errors.last() == error, Wait);
        QVERIFY(m_log.count(Kyr::LogError, error) > 0);
        QCOMPARE(m_server.mailCount(), before);

        // Once the server accepts again, the content taken out for the refused report arrives.
        m_server.setSwitch(SmtpServer::Switch(refusal), false);
        QTRY_COMPARE_WITH_TIMEOUT(m_server.mailCount(), before + 1, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(sender.errors.last(), QString(), Wait);
        QVERIFY(Mail(m_server.mail(before + 1)).text().contains(QStringLiteral("1 AKS created:\n- Site:A\n")));
    }

    void thirdConnectionFailureIsTheLastError()
    {
        const int before = m_server.mailCount();
        m_server.setSwitch(SmtpServer::DropAfterGreeting, true);
        Reporter sender(config(), 20);
        sender.addCreatedAks(QStringLiteral("Site:A"));
        sender.start();
        QTRY_VERIFY_WITH_TIMEOUT(sender.errors.size() >= 4, Wait);
        m_server.setSwitch(SmtpServer::DropAfterGreeting, false);
        // The start's emission, then the first two failures pass quietly with an empty last error.
        QCOMPARE(sender.errors.at(1), QString());
        QCOMPARE(sender.errors.at(2), QString());
        const QString third = sender.errors.at(3);
        QVERIFY2(QRegularExpression(QStringLiteral("^Could not connectToHost\\(\\) 3 \\[.+\\]$")).match(third).hasMatch(),
                 qPrintable(third));
        QCOMPARE(m_log.count(Kyr::LogInfo, QStringLiteral("Could not connectToHost() 1 [")), 1);
        QCOMPARE(m_log.count(Kyr::LogWarning, QStringLiteral("Could not connectToHost() 2 [")), 1);
        QCOMPARE(m_log.count(Kyr::LogError, third), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_server.mailCount(), before + 1, Wait);
    }

    void missingConfiguration()
    {
        ReportConfig c = config();
        c.sender.clear();
        Reporter sender(c, 20);
        sender.start();
        QTRY_COMPARE_WITH_TIMEOUT(sender.errors.size(), 2, Wait);
        QCOMPARE(sender.errors.last(), QStringLiteral("Missing configuration"));
        QCOMPARE(m_log.count(Kyr::LogError, QStringLiteral("MailSender - Missing configuration")), 1);
    }

private:
    ReportConfig config(const QString &connType = QStringLiteral("TCP"), const QString &authType = QStringLiteral("PLAIN")) const
    {
        ReportConfig c;
        c.host = m_server.host();
        c.port = connType == QLatin1String("SSL") ? m_server.tlsPort() : m_server.port();
        c.connType = connType;
        c.authType = authType;
        c.name = QStringLiteral("quillon-test");
        c.userName = m_server.user();
        c.password = m_server.password();
        c.sender = QStringLiteral("driver@plant.example");
        c.checkInterval = 1;
        c.users = {{true, QStringLiteral("Operator One"), QStringLiteral("one@plant.example")},
                   {false, QStringLiteral("Holiday"), QStringLiteral("off@plant.example")},
                   {true, QStringLiteral("Operator Two"), QStringLiteral("two@plant.example")}};
        return c;
    }

    SmtpServer m_server;
    LogCapture m_log;
};

QTEST_GUILESS_MAIN(TestMailSender)
#include "tst_mailsender.moc"
