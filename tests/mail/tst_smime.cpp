#include "MailSecurity/CertMgr.h"
#include "MailSecurity/MIME.h"
#include "MailSecurity/SIMAP.h"
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
    void signerCertificateCarriedByTheMail();
    void unreadableCertificate();

private:
    struct Outcome
    {
        QString path;    // steps taken, e.g. "outer-ok decrypt-verify-ok"
        QString error;   // last error of the failing step
    };
    Outcome runSecuritySteps(SIMAP *imap);
    void checkOutcome(SIMAP *imap, const Outcome &outcome);
    void checkSignerCertificate(const QByteArray &der);
    static void setMail(SIMAP *imap, const QByteArray &mail);

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

void TestSmime::setMail(SIMAP *imap, const QByteArray &mail)
{
    const qsizetype split = mail.indexOf("\r\n\r\n");
    imap->setMessageHeadersString(QString::fromLatin1(mail.left(split)));
    imap->setMessageText(QString::fromLatin1(mail.mid(split + 4)));
}

// The mail cycle's order: outer signature if flagged signed; if encrypted, decrypt and verify in
// one step, else decrypt alone, then the inner signature if the decrypted mail is signed. The path
// thus starts with the outer step exactly when the mail reads as signed.
TestSmime::Outcome TestSmime::runSecuritySteps(SIMAP *imap)
{
    Outcome outcome;
    QStringList steps;
    const auto step = [&](const char *name, bool ok) {
        steps << QLatin1String(name) + (ok ? QLatin1String("-ok") : QLatin1String("-failed"));
        if (!ok)
            outcome.error = imap->lastError();
        return ok;
    };
    const bool ok = !imap->messageSigned() || step("outer", imap->verifySignature() == 0);
    if (imap->messageEncrypted() || imap->messageContentType().contains(QLatin1String("pkcs7-mime"))) {
        if (imap->decryptAndVerifySignature() == 0)
            steps << QStringLiteral("decrypt-verify-ok");
        else if (step("decrypt", imap->decrypt() == 0) && ok && imap->messageSigned())
            step("inner", imap->verifySignature() == 0);
    }
    outcome.path = steps.join(QLatin1Char(' '));
    return outcome;
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
        checkSignerCertificate(imap->signerCertEncoded());
    } else {
        QVERIFY(imap->signerCertEncoded().isEmpty());
    }
}

// The signer's certificate as CertMgr reads it from the mail.
void TestSmime::checkSignerCertificate(const QByteArray &der)
{
    CertMgr reader;
    QCOMPARE(reader.setCertEncoded(der), 0);
    QCOMPARE(reader.certSubject(), QStringLiteral("C=CH, O=Quillon Test, CN=Meter Portal Signer"));
    QCOMPARE(reader.certExtendedKeyUsage(), QStringLiteral("1.3.6.1.5.5.7.3.4"));
    QCOMPARE(reader.certPublicKeyAlgorithm(), QStringLiteral("rsaEncryption"));
    QCOMPARE(reader.certSignatureAlgorithm(), QStringLiteral("sha256WithRSAEncryption"));
    QCOMPARE(reader.certSubjectAltNames(), QStringLiteral("email:signer@meters.example"));
    QCOMPARE(reader.certUsage(), QStringLiteral("digitalSignature, keyEncipherment"));
    QCOMPARE(reader.certVersion(), QStringLiteral("3"));
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

// A mail fetched from the server is byte for byte the mail as sent (see tst_simap_imap), so the
// steps run on the mail's own bytes.
void TestSmime::securitySteps_data()
{
    QTest::addColumn<QByteArray>("mail");
    QTest::addColumn<bool>("certificateInstalled");
    QTest::addColumn<bool>("isEncrypted");
    QTest::addColumn<QString>("contentTypePart");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("errorPart");
    QTest::addColumn<bool>("signerKnown");

    const auto add = [](const char *name, const QByteArray &mail, bool certificateInstalled, bool isEncrypted,
                        const char *contentTypePart, const char *path, const char *errorPart, bool signerKnown) {
        QTest::newRow(name) << mail << certificateInstalled << isEncrypted << QString::fromLatin1(contentTypePart)
                            << QString::fromLatin1(path) << QString::fromLatin1(errorPart) << signerKnown;
    };
    const char *enveloped = "application/pkcs7-mime";
    add("plain", m_plain, true, false, "multipart/mixed; boundary=\"outer-boundary\"", "", "", false);
    add("signed detached", m_factory.signedDetached(m_plain), true, false, "multipart/signed", "outer-ok", "", true);
    add("signed opaque", m_factory.signedOpaque(m_plain), true, false, "smime-type=\"signed-data\"", "outer-ok", "", true);
    add("encrypted", m_factory.encrypted(m_plain), true, true, enveloped, "decrypt-ok", "", false);
    add("signed then encrypted", m_factory.signedThenEncrypted(m_plain), true, true, enveloped, "decrypt-verify-ok", "", true);
    add("bad signature", m_factory.badSignature(m_plain), true, false, "multipart/signed", "outer-failed",
        "content verify error", true);
    add("encrypted for another recipient", m_factory.encryptedForOther(m_plain), true, true, enveloped,
        "decrypt-failed", "no matching recipient", false);
    add("encrypted, no decryption certificate", m_factory.encrypted(m_plain), false, true, enveloped,
        "decrypt-failed", "No usable certificate for subject '*' in store MY", false);
}

void TestSmime::securitySteps()
{
    QFETCH(QByteArray, mail);
    QFETCH(bool, certificateInstalled);
    QFETCH(bool, isEncrypted);
    QFETCH(QString, contentTypePart);
    qputenv("ORVANE_CURRENT_CONFIG_LOCATION",
            QFile::encodeName((certificateInstalled ? m_config : m_emptyConfig).path() + QLatin1Char('/')));

    SIMAP imap;
    setMail(&imap, mail);
    QCOMPARE(imap.setCertificate(0, QStringLiteral("MY"), QString(), QStringLiteral("*")), 0);
    QCOMPARE(imap.setSignerCert(0, QStringLiteral("MY"), QString(), QStringLiteral("*")), 0);
    QCOMPARE(imap.messageSubject(), QStringLiteral("Meter values"));
    QCOMPARE(imap.messageEncrypted(), isEncrypted);
    QVERIFY2(imap.messageContentType().contains(contentTypePart), qPrintable(imap.messageContentType()));
    QVERIFY(!imap.messageNetId().isEmpty());
    QCOMPARE(imap.messageRecipients().size(), 1);
    QCOMPARE(imap.messageRecipients().first().address, QStringLiteral("quillon@driver.example"));
    QCOMPARE(imap.messageRecipients().first().name, QStringLiteral("Quillon"));

    checkOutcome(&imap, runSecuritySteps(&imap));
}

// With no signer certificate chosen, the one the mail carries is checked and read.
void TestSmime::signerCertificateCarriedByTheMail()
{
    SIMAP imap;
    setMail(&imap, m_factory.signedDetached(m_plain));
    QCOMPARE(imap.verifySignature(), 0);
    checkSignerCertificate(imap.signerCertEncoded());
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
