#include "MailSecurity/CertMgr.h"
#include "MailSecurity/MIME.h"
#include "MailSecurity/SIMAP.h"
#include "fixtures/SmimeFactory.h"

#include <QTemporaryDir>
#include <QTest>

// The S/MIME steps of SIMAP on every kind of test mail, and the certificate fields of the signer.
// The order in which the mail cycle takes the steps is checked by the intake test.
class TestSmime : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_factory.create(&error), qPrintable(error));
        QVERIFY(m_factory.installRecipient(m_config.filePath(QStringLiteral("certs/MY"))));
        m_plain = SmimeFactory::plainMail(QStringLiteral("Meter values"), QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100"),
                                          "values.csv", m_csv);
    }

    // A mail fetched from the server is byte for byte the mail as sent (see tst_simap_imap), so the
    // steps run on the mail's own bytes.
    void securitySteps_data()
    {
        QTest::addColumn<QByteArray>("mail");
        QTest::addColumn<bool>("certificateInstalled");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<bool>("isEncrypted");
        QTest::addColumn<QString>("contentTypePart");
        QTest::addColumn<QString>("step");  // verify, decrypt, decrypt and verify; none for a plain mail
        QTest::addColumn<QString>("errorPart");
        QTest::addColumn<bool>("signerKnown");

        const auto add = [](const char *name, const QByteArray &mail, bool certificateInstalled, bool isSigned, bool isEncrypted,
                            const char *contentTypePart, const char *step, const char *errorPart, bool signerKnown) {
            QTest::newRow(name) << mail << certificateInstalled << isSigned << isEncrypted << QString::fromLatin1(contentTypePart)
                                << QString::fromLatin1(step) << QString::fromLatin1(errorPart) << signerKnown;
        };
        const char *enveloped = "application/pkcs7-mime";
        add("plain", m_plain, true, false, false, "multipart/mixed; boundary=\"b-", "", "", false);
        add("signed detached", m_factory.signedDetached(m_plain), true, true, false, "multipart/signed", "verify", "", true);
        add("signed opaque", m_factory.signedOpaque(m_plain), true, true, false, "smime-type=\"signed-data\"", "verify", "", true);
        add("encrypted", m_factory.encrypted(m_plain), true, false, true, enveloped, "decrypt", "", false);
        add("signed then encrypted", m_factory.signedThenEncrypted(m_plain), true, false, true, enveloped, "decrypt and verify", "",
            true);
        add("bad signature", m_factory.badSignature(m_plain), true, true, false, "multipart/signed", "verify",
            "content verify error", true);
        add("encrypted for another recipient", m_factory.encryptedForOther(m_plain), true, false, true, enveloped, "decrypt",
            "no matching recipient", false);
        add("encrypted, no decryption certificate", m_factory.encrypted(m_plain), false, false, true, enveloped, "decrypt",
            "No usable certificate for subject '*' in store MY", false);
    }

    void securitySteps()
    {
        QFETCH(QByteArray, mail);
        QFETCH(bool, certificateInstalled);
        QFETCH(bool, isSigned);
        QFETCH(bool, isEncrypted);
        QFETCH(QString, contentTypePart);
        QFETCH(QString, step);
        qputenv("ORVANE_CURRENT_CONFIG_LOCATION",
                QFile::encodeName((certificateInstalled ? m_config : m_emptyConfig).path() + QLatin1Char('/')));

        SIMAP imap;
        setMail(&imap, mail);
        QCOMPARE(imap.setCertificate(0, QStringLiteral("MY"), QString(), QStringLiteral("*")), 0);
        QCOMPARE(imap.setSignerCert(0, QStringLiteral("MY"), QString(), QStringLiteral("*")), 0);
        QCOMPARE(imap.messageSubject(), QStringLiteral("Meter values"));
        QCOMPARE(imap.messageSigned(), isSigned);
        QCOMPARE(imap.messageEncrypted(), isEncrypted);
        QVERIFY2(imap.messageContentType().contains(contentTypePart), qPrintable(imap.messageContentType()));
        QVERIFY(!imap.messageNetId().isEmpty());
        QCOMPARE(imap.messageRecipients().size(), 1);
        QCOMPARE(imap.messageRecipients().first().address, QStringLiteral("quillon@driver.example"));
        QCOMPARE(imap.messageRecipients().first().name, QStringLiteral("Quillon"));

        int code = 0;
        if (step == QLatin1String("verify"))
            code = imap.verifySignature();
        else if (step == QLatin1String("decrypt"))
            code = imap.decrypt();
        else if (step == QLatin1String("decrypt and verify"))
            code = imap.decryptAndVerifySignature();
        checkOutcome(&imap, code == 0 ? QString() : imap.lastError());
    }

    // With no signer certificate chosen, the one the mail carries is checked and read.
    void signerCertificateCarriedByTheMail()
    {
        SIMAP imap;
        setMail(&imap, m_factory.signedDetached(m_plain));
        QCOMPARE(imap.verifySignature(), 0);
        checkSignerCertificate(imap.signerCertEncoded());
    }

    void unreadableCertificate()
    {
        CertMgr reader;
        QVERIFY(reader.setCertEncoded(QByteArray("\x30\x03\x02\x01", 4)) != 0);
        QVERIFY(reader.lastError().startsWith(QLatin1String("Could not read the certificate")));
        QCOMPARE(reader.certSubject(), QString());
        QVERIFY(reader.setCertEncoded("-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n") != 0);
    }

private:
    void checkOutcome(SIMAP *imap, const QString &error)
    {
        QFETCH(QString, errorPart);
        QFETCH(bool, signerKnown);

        if (errorPart.isEmpty()) {
            QCOMPARE(error, QString());
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
            QVERIFY2(error.contains(errorPart), qPrintable(error));
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
    void checkSignerCertificate(const QByteArray &der)
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
        QCOMPARE(from.secsTo(until), qint64(3600) + 3600 * 24 * 30);
        // PEM gives the same certificate as DER.
        CertMgr fromPem;
        QCOMPARE(fromPem.setCertEncoded(m_factory.signerCertificatePem()), 0);
        QCOMPARE(fromPem.certEncoded(), reader.certEncoded());
    }

    void setMail(SIMAP *imap, const QByteArray &mail)
    {
        const qsizetype split = mail.indexOf("\r\n\r\n");
        imap->setMessageHeadersString(QString::fromLatin1(mail.left(split)));
        imap->setMessageText(QString::fromLatin1(mail.mid(split + 4)));
    }

    SmimeFactory m_factory;
    QTemporaryDir m_config;       // a configuration folder with the decryption certificate in certs/MY
    QTemporaryDir m_emptyConfig;  // one without any certificate
    QByteArray m_plain;
    QByteArray m_csv = "time;value\r\n2024-01-01 00:15;1.5\r\n2024-01-01 00:30;1.75\r\n";
};

QTEST_GUILESS_MAIN(TestSmime)
#include "tst_smime.moc"
