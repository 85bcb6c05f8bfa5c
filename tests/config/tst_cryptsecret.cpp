// The stored-secret cipher: sizes, round trip, the machine-bound key.

#include "config/CryptSecret.h"

#include <QTest>

class TestCryptSecret : public QObject
{
    Q_OBJECT
private slots:
    void sizesAndRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("secret");
        QTest::addColumn<int>("cipherBytes");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("three letters") << QByteArray("abc") << 16;
        QTest::newRow("fourteen fills one block with the marker") << QByteArray(14, 'x') << 16;
        QTest::newRow("fifteen needs a padding block") << QByteArray(15, 'x') << 32;
        QTest::newRow("longer than the old buffer") << QByteArray(5000, 's') << 5008;
        QTest::newRow("binary bytes") << QByteArray("\x00\x01\xff\x10", 4) << 16;
    }

    void sizesAndRoundTrip()
    {
        QFETCH(QByteArray, secret);
        QFETCH(int, cipherBytes);
        const QByteArray cipher = cryptSecret(true, secret);
        QCOMPARE(cipher.size(), cipherBytes);
        if (!secret.isEmpty())
            QVERIFY(!cipher.contains(secret));
        QCOMPARE(cryptSecret(false, cipher), secret);
        // The stored form is lower-case hexadecimal text.
        const QByteArray stored = cipher.toHex();
        QCOMPARE(stored.size(), 2 * cipherBytes);
        QCOMPARE(stored, stored.toLower());
    }

    void keyDependsOnFirstSevenCharactersOfHost_data()
    {
        QTest::addColumn<QByteArray>("hostA");
        QTest::addColumn<QByteArray>("hostB");
        QTest::addColumn<bool>("sameCipher");
        QTest::newRow("differ within the first seven") << QByteArray("plant01") << QByteArray("plant02") << false;
        QTest::newRow("differ after the seventh") << QByteArray("station-north") << QByteArray("station-south") << true;
        QTest::newRow("short name against its extension") << QByteArray("abc") << QByteArray("abcd") << false;
        QTest::newRow("empty host name") << QByteArray() << QByteArray() << true;
    }

    void keyDependsOnFirstSevenCharactersOfHost()
    {
        QFETCH(QByteArray, hostA);
        QFETCH(QByteArray, hostB);
        QFETCH(bool, sameCipher);
        const QByteArray secret("client-secret-42");
        const QByteArray a = cryptSecretForHost(true, secret, hostA);
        const QByteArray b = cryptSecretForHost(true, secret, hostB);
        QCOMPARE(a == b, sameCipher);
        QCOMPARE(cryptSecretForHost(false, a, hostA), secret);
    }

    void foreignOrDamagedValues_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("other machine") << cryptSecretForHost(true, "abc", "otherhost");
        QTest::newRow("truncated") << cryptSecret(true, QByteArray(20, 'z')).left(16);
        QTest::newRow("not a whole block") << QByteArray("0123456789");
    }

    void foreignOrDamagedValues()
    {
        QFETCH(QByteArray, stored);
        // Nothing is reported and nothing crashes; the result is not the secret.
        const QByteArray result = cryptSecretForHost(false, stored, "thishost");
        QVERIFY(result != QByteArray("abc"));
    }

    void nonAsciiSecretIsNotRestored()
    {
        // Written from its Latin-1 bytes, read back as UTF-8: the umlaut does not survive.
        const QString typed = QStringLiteral("Gr\u00fcn");
        const QByteArray cipher = cryptSecret(true, typed.toLatin1());
        const QString readBack = QString::fromUtf8(cryptSecret(false, cipher));
        QVERIFY(readBack != typed);
        QCOMPARE(readBack.left(2), QStringLiteral("Gr"));
    }
};

QTEST_GUILESS_MAIN(TestCryptSecret)
#include "tst_cryptsecret.moc"
