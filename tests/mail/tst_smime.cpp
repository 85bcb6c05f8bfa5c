#include "MailSecurity/CertMgr.h"
#include "MailSecurity/MIME.h"
#include "MailSecurity/SIMAP.h"
#include "fixtures/DovecotServer.h"
#include "fixtures/SmimeFactory.h"

#include <QTemporaryDir>
#include <QTest>

// S/MIME checks of SIMAP in the order the mail cycle runs them, for every kind of test mail, and
// the certificate fields of the signer.
class TestSmime : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void securitySteps_data();
    void securitySteps();
    void securityStepsOnFetchedMails_data();
    void securityStepsOnFetchedMails();
    void flagsOfTheFetchedMail_data();
    void flagsOfTheFetchedMail();
    void signerCertificateFields_data();
    void signerCertificateFields();
    void unreadableCertificate();

private:
    struct Outcome
    {
        QString path;    // steps taken, e.g. "outer-ok decrypt-verify-ok"
        QString error;   // last error of the failing step
    };
    Outcome runSecuritySteps(SIMAP *imap);
    void addCaseColumns();
    void checkOutcome(SIMAP *imap, const Outcome &outcome);
    QByteArray caseMail(const QString &kind) const;

    SmimeFactory m_factory;
    QTemporaryDir m_config;       // a configuration folder with the decryption certificate in certs/MY
    QTemporaryDir m_emptyConfig;  // one without any certificate
    QByteArray m_plain;
    QByteArray m_csv = "time;value\r\n2024-01-01 00:15;1.5\r\n2024-01-01 00:30;1.75\r\n";
};

void TestSmime::initTestCase()
{
    QString error;
    QVERIFY2(m_factory.create(&error), qPrintable(error));
    QVERIFY(m_factory.installRecipient(m_config.filePath(QStringLiteral("certs/MY"))));
    m_plain = SmimeFactory::plainMail(QStringLiteral("Meter values"), QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100"),
                                      "values.csv", m_csv);
}

QByteArray TestSmime::caseMail(const QString &kind) const
{
    if (kind == QLatin1String("signed detached"))
        return m_factory.signedDetached(m_plain);
    if (kind == QLatin1String("signed opaque"))
        return m_factory.signedOpaque(m_plain);
    if (kind == QLatin1String("encrypted"))
        return m_factory.encrypted(m_plain);
    if (kind == QLatin1String("signed then encrypted"))
        return m_factory.signedThenEncrypted(m_plain);
    if (kind == QLatin1String("bad signature"))
        return m_factory.badSignature(m_plain);
    if (kind == QLatin1String("encrypted for another recipient"))
        return m_factory.encryptedForOther(m_plain);
    return m_plain;
}

// The mail cycle's order: outer signature if flagged signed; if encrypted, decrypt and verify in
// one step, else decrypt alone, then the inner signature if the decrypted mail is signed.
TestSmime::Outcome TestSmime::runSecuritySteps(SIMAP *imap)
{
    Outcome outcome;
    QStringList steps;
    bool ok = true;
    if (imap->messageSigned()) {
        ok = imap->verifySignature() == 0;
        steps << (ok ? QStringLiteral("outer-ok") : QStringLiteral("outer-failed"));
        if (!ok)
            outcome.error = imap->lastError();
    }
    if (imap->messageEncrypted() || imap->messageContentType().contains(QLatin1String("pkcs7-mime"))) {
        bool oneStep = false;
        if (imap->decryptAndVerifySignature() == 0) {
            oneStep = true;
            steps << QStringLiteral("decrypt-verify-ok");
        } else if (imap->decrypt() == 0) {
            steps << QStringLiteral("decrypt-ok");
        } else {
            ok = false;
            steps << QStringLiteral("decrypt-failed");
            outcome.error = imap->lastError();
        }
        if (ok && imap->messageSigned() && !oneStep) {
            ok = imap->verifySignature() == 0;
            steps << (ok ? QStringLiteral("inner-ok") : QStringLiteral("inner-failed"));
            if (!ok)
                outcome.error = imap->lastError();
        }
    }
    outcome.path = steps.join(QLatin1Char(' '));
    return outcome;
}

void TestSmime::addCaseColumns()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("certificateInstalled");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("errorPart");
    QTest::addColumn<bool>("signerKnown");

    QTest::newRow("plain") << QStringLiteral("plain") << true << QString() << QString() << false;
    QTest::newRow("signed detached") << QStringLiteral("signed detached") << true << QStringLiteral("outer-ok") << QString() << true;
    QTest::newRow("signed opaque") << QStringLiteral("signed opaque") << true << QStringLiteral("outer-ok") << QString() << true;
    QTest::newRow("encrypted") << QStringLiteral("encrypted") << true << QStringLiteral("decrypt-ok") << QString() << false;
    QTest::newRow("signed then encrypted") << QStringLiteral("signed then encrypted") << true
                                           << QStringLiteral("decrypt-verify-ok") << QString() << true;
    QTest::newRow("bad signature") << QStringLiteral("bad signature") << true << QStringLiteral("outer-failed")
                                   << QStringLiteral("content verify error") << true;
    QTest::newRow("encrypted for another recipient") << QStringLiteral("encrypted for another recipient") << true
                                                     << QStringLiteral("decrypt-failed")
                                                     << QStringLiteral("no matching recipient") << false;
    QTest::newRow("encrypted, no decryption certificate") << QStringLiteral("encrypted") << false
                                                          << QStringLiteral("decrypt-failed")
                                                          << QStringLiteral("No usable certificate for subject '*' in store MY")
                                                          << false;
}

void TestSmime::checkOutcome(SIMAP *imap, const Outcome &outcome)
{
    QFETCH(QString, path);
    QFETCH(QString, errorPart);
    QFETCH(bool, signerKnown);

    QCOMPARE(outcome.path, path);
    if (errorPart.isEmpty()) {
        QCOMPARE(outcome.error, QString());
        // What is left is the plain mail's content: its attachment decodes to the CSV bytes.
        MIME mime;
        mime.setMessageHeadersString(imap->messageHeadersString().toLatin1());
        mime.setMessage(imap->messageText().toLatin1());
        QCOMPARE(mime.decodeFromString(), 0);
        QCOMPARE(mime.contentType(), QStringLiteral("multipart/mixed"));
        QCOMPARE(mime.partCount(), 2);
        QCOMPARE(mime.partFilename(1), QStringLiteral("values.csv"));
        QCOMPARE(mime.partDecodedContent(1), m_csv);
        QVERIFY(!imap->messageSigned());
        QVERIFY(!imap->messageEncrypted());
    } else {
        QVERIFY2(outcome.error.contains(errorPart), qPrintable(outcome.error));
    }
    if (signerKnown) {
        QCOMPARE(imap->signerCertSubject(), QStringLiteral("C=CH, O=Quillon Test, CN=Meter Portal Signer"));
        QCOMPARE(imap->signerCertIssuer(), QStringLiteral("C=CH, O=Quillon Test, CN=Quillon Test CA"));
        QCOMPARE(imap->signerCertSerialNumber(), QStringLiteral("02"));
        QCOMPARE(imap->signingAlgorithm(), QStringLiteral("SHA256"));
        CertMgr reader;
        QCOMPARE(reader.setCertEncoded(imap->signerCertEncoded()), 0);
        QCOMPARE(reader.certSubject(), imap->signerCertSubject());
    } else {
        QVERIFY(imap->signerCertEncoded().isEmpty());
    }
}

void TestSmime::securitySteps_data()
{
    addCaseColumns();
}

void TestSmime::securitySteps()
{
    QFETCH(QString, kind);
    QFETCH(bool, certificateInstalled);
    qputenv("ORVANE_CURRENT_CONFIG_LOCATION",
            QFile::encodeName((certificateInstalled ? m_config : m_emptyConfig).path() + QLatin1Char('/')));

    const QByteArray mail = caseMail(kind);
    const qsizetype split = mail.indexOf("\r\n\r\n");
    SIMAP imap;
    QCOMPARE(imap.setCertificate(0, QStringLiteral("MY"), QString(), QStringLiteral("*")), 0);
    QCOMPARE(imap.setSignerCert(0, QStringLiteral("MY"), QString(), QStringLiteral("*")), 0);
    imap.setMessageHeadersString(QString::fromLatin1(mail.left(split)));
    imap.setMessageText(QString::fromLatin1(mail.mid(split + 4)));
    const QString subject = imap.messageSubject();
    QCOMPARE(subject, QStringLiteral("Meter values"));

    checkOutcome(&imap, runSecuritySteps(&imap));
}

// The same cases through a real server: the mails are seeded, fetched and then checked.
void TestSmime::securityStepsOnFetchedMails_data()
{
    addCaseColumns();
}

void TestSmime::securityStepsOnFetchedMails()
{
    QFETCH(QString, kind);
    QFETCH(bool, certificateInstalled);
    qputenv("ORVANE_CURRENT_CONFIG_LOCATION",
            QFile::encodeName((certificateInstalled ? m_config : m_emptyConfig).path() + QLatin1Char('/')));

    static DovecotServer server;
    if (!server.isRunning()) {
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
    }
    const QString folder = QString::fromLatin1(QTest::currentDataTag()).remove(QLatin1Char(' ')).remove(QLatin1Char(','));
    QVERIFY(server.seedMail(caseMail(kind), folder));

    SIMAP imap;
    imap.config(QStringLiteral("SSLCAFile=") + server.certificatePath());
    imap.setMailServer(server.host());
    imap.setMailPort(server.imapsPort());
    imap.setSSL(SIMAP::SslImplicit);
    imap.setUser(server.user());
    imap.setPassword(server.password());
    QCOMPARE(imap.connectToHost(), 0);
    imap.setMailbox(folder);
    QCOMPARE(imap.selectMailbox(), 0);
    imap.setMessageSet(QStringLiteral("1"));
    imap.setCertificate(0, QStringLiteral("MY"), QString(), QStringLiteral("*"));
    imap.setSignerCert(0, QStringLiteral("MY"), QString(), QStringLiteral("*"));
    QCOMPARE(imap.fetchMessageInfo(), 0);
    QCOMPARE(imap.fetchMessageHeaders(), 0);
    QCOMPARE(imap.fetchMessageText(), 0);

    checkOutcome(&imap, runSecuritySteps(&imap));
    imap.disconnectFromHost();
}

void TestSmime::flagsOfTheFetchedMail_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<bool>("isEncrypted");
    QTest::addColumn<QString>("contentTypePart");

    QTest::newRow("plain") << QStringLiteral("plain") << false << false << QStringLiteral("multipart/mixed; boundary=\"outer-boundary\"");
    QTest::newRow("signed detached") << QStringLiteral("signed detached") << true << false << QStringLiteral("multipart/signed");
    QTest::newRow("signed opaque") << QStringLiteral("signed opaque") << true << false << QStringLiteral("smime-type=\"signed-data\"");
    QTest::newRow("encrypted") << QStringLiteral("encrypted") << false << true << QStringLiteral("application/pkcs7-mime");
}

void TestSmime::flagsOfTheFetchedMail()
{
    QFETCH(QString, kind);
    QFETCH(bool, isSigned);
    QFETCH(bool, isEncrypted);
    QFETCH(QString, contentTypePart);

    const QByteArray mail = caseMail(kind);
    const qsizetype split = mail.indexOf("\r\n\r\n");
    SIMAP imap;
    imap.setMessageHeadersString(QString::fromLatin1(mail.left(split)));
    imap.setMessageText(QString::fromLatin1(mail.mid(split + 4)));
    QCOMPARE(imap.messageSigned(), isSigned);
    QCOMPARE(imap.messageEncrypted(), isEncrypted);
    QVERIFY2(imap.messageContentType().contains(contentTypePart), qPrintable(imap.messageContentType()));
    QCOMPARE(imap.messageNetId().isEmpty(), false);
    QCOMPARE(imap.messageRecipients().size(), 1);
    QCOMPARE(imap.messageRecipients().first().address, QStringLiteral("quillon@driver.example"));
    QCOMPARE(imap.messageRecipients().first().name, QStringLiteral("Quillon"));
}

void TestSmime::signerCertificateFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("subject") << QStringLiteral("subject") << QStringLiteral("C=CH, O=Quillon Test, CN=Meter Portal Signer");
    QTest::newRow("extended key usage") << QStringLiteral("eku") << QStringLiteral("1.3.6.1.5.5.7.3.4");
    QTest::newRow("public key algorithm") << QStringLiteral("pka") << QStringLiteral("rsaEncryption");
    QTest::newRow("signature algorithm") << QStringLiteral("sa") << QStringLiteral("sha256WithRSAEncryption");
    QTest::newRow("subject alternative names") << QStringLiteral("san") << QStringLiteral("email:signer@meters.example");
    QTest::newRow("key usage") << QStringLiteral("usage") << QStringLiteral("digitalSignature, keyEncipherment");
    QTest::newRow("version") << QStringLiteral("version") << QStringLiteral("3");
}

void TestSmime::signerCertificateFields()
{
    QFETCH(QString, field);
    QFETCH(QString, expected);

    const QByteArray mail = m_factory.signedDetached(m_plain);
    const qsizetype split = mail.indexOf("\r\n\r\n");
    SIMAP imap;
    imap.setMessageHeadersString(QString::fromLatin1(mail.left(split)));
    imap.setMessageText(QString::fromLatin1(mail.mid(split + 4)));
    QCOMPARE(imap.verifySignature(), 0);

    CertMgr reader;
    QCOMPARE(reader.setCertEncoded(imap.signerCertEncoded()), 0);
    const QHash<QString, QString> fields = {
        {QStringLiteral("subject"), reader.certSubject()},
        {QStringLiteral("eku"), reader.certExtendedKeyUsage()},
        {QStringLiteral("pka"), reader.certPublicKeyAlgorithm()},
        {QStringLiteral("sa"), reader.certSignatureAlgorithm()},
        {QStringLiteral("san"), reader.certSubjectAltNames()},
        {QStringLiteral("usage"), reader.certUsage()},
        {QStringLiteral("version"), reader.certVersion()}};
    QCOMPARE(fields.value(field), expected);

    // The validity dates are the certificate's, one hour before its making and 30 days on.
    const QDateTime from = QDateTime::fromString(reader.certEffectiveDate(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QDateTime until = QDateTime::fromString(reader.certExpirationDate(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY(from.isValid() && until.isValid());
    QCOMPARE(from.secsTo(until), qint64(3600) + 3600 * 24 * 30);
    // PEM gives the same certificate as DER.
    CertMgr fromPem;
    QCOMPARE(fromPem.setCertEncoded(m_factory.signerCertificatePem()), 0);
    QCOMPARE(fromPem.certEncoded(), reader.certEncoded());
}

void TestSmime::unreadableCertificate()
{
    CertMgr reader;
    QVERIFY(reader.setCertEncoded(QByteArray("\x30\x03\x02\x01", 4)) != 0);
    QVERIFY(reader.lastError().startsWith(QLatin1String("Could not read the certificate")));
    QCOMPARE(reader.certSubject(), QString());
    QVERIFY(reader.setCertEncoded("-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n") != 0);
}

QTEST_GUILESS_MAIN(TestSmime)
#include "tst_smime.moc"
