// The fast readers of the line-oriented format parsers must accept exactly the texts Qt's own
// readers accept, with the same result: numbers against QByteArray::toDouble (with the decimal
// comma read as a point), times against QDateTime::fromString with the same pattern.

#include "parsing/FieldReaders.h"

#include <QTest>

#include <cmath>

using namespace FieldReaders;

class TestTextFieldHelpers : public QObject
{
    Q_OBJECT

private slots:
    void numbersAsQtReadsThem_data();
    void numbersAsQtReadsThem();

    void timesAsQtReadsThem_data();
    void timesAsQtReadsThem();

    void decodeText_data();
    void decodeText();
};

void TestTextFieldHelpers::numbersAsQtReadsThem_data()
{
    QTest::addColumn<QByteArray>("text");
    for (const char *text : {"1.5", "1,5", "-0,25", "0", "-0", "12345678.125", " 2.5 ", "+3", "1e3", "1E-3", "1.", ".5",
                             "-.5", "-", "", ".", ",", "abc", "1.2.3", "1,2,3", "0x10", "inf", "-inf", "nan", "1e400",
                             "1e-400", "12345678901234567890123", "1 5", "5kWh", "007", "1e", "--1"})
        QTest::newRow(text[0] ? text : "(empty)") << QByteArray(text);
    QTest::newRow("64 digits") << QByteArray(64, '7');
    QTest::newRow("63 digits and a comma") << QByteArray(62, '1') + ",5";
}

void TestTextFieldHelpers::numbersAsQtReadsThem()
{
    QFETCH(QByteArray, text);
    QByteArray reference = text;
    reference.replace(',', '.');
    bool expectedOk = false;
    const double expected = reference.toDouble(&expectedOk);
    expectedOk = expectedOk && std::isfinite(expected); // "nan" and "inf" are no meter values

    double value = 0.0;
    QCOMPARE(parseCDouble(QByteArrayView(text), value), expectedOk);
    if (expectedOk)
        QVERIFY2(value == expected || (std::isnan(value) && std::isnan(expected)),
                 qPrintable(QStringLiteral("%1 != %2").arg(value).arg(expected)));

    // Without the decimal comma a "," makes the text unreadable.
    bool strictOk = false;
    const double strict = text.toDouble(&strictOk);
    strictOk = strictOk && std::isfinite(strict);
    QCOMPARE(parseCDouble(QByteArrayView(text), value, DecimalComma::NotANumber), strictOk);
    if (strictOk)
        QVERIFY(value == strict || (std::isnan(value) && std::isnan(strict)));
}

void TestTextFieldHelpers::timesAsQtReadsThem_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("pattern");
    const QList<QPair<const char *, const char *>> rows = {
        {"2024-01-01 00:15:00", "yyyy-MM-dd HH:mm:ss"},      {"2024-1-1 0:15:00", "yyyy-MM-dd HH:mm:ss"},
        {"2024-02-30 00:00:00", "yyyy-MM-dd HH:mm:ss"},      {"2024-01-01 24:00:00", "yyyy-MM-dd HH:mm:ss"},
        {"2024-01-01 00:15:00 ", "yyyy-MM-dd HH:mm:ss"},     {"2024-01-01T00:15:00", "yyyy-MM-dd HH:mm:ss"},
        {"2024-01-01 00:15:00.250", "yyyy-MM-dd HH:mm:ss.zzz"}, {"2024-01-01 00:15:00.5", "yyyy-MM-dd HH:mm:ss.zzz"},
        {"20240229", "yyyyMMdd"},                            {"20230229", "yyyyMMdd"},
        {"2024010", "yyyyMMdd"},                             {"202401011", "yyyyMMdd"},
        {"20241301", "yyyyMMdd"},                            {"00000101", "yyyyMMdd"},
        {"20240101001500", "yyyyMMddhhmmss"},                {"20240101236000", "yyyyMMddhhmmss"},
        {"31.12.2023 23:45:00", "dd.MM.yyyy HH:mm:ss"},      {"1.1.2024 00:15:00", "dd.MM.yyyy HH:mm:ss"},
        {"2024/01/01 00:15:00", "yyyy/MM/dd HH:mm:ss"},      {"2024010112", "yyyyMMddHH"},
        {"202401011210", "yyyyMMddHHmm"},                    {"", "yyyyMMdd"},
    };
    for (const auto &row : rows)
        QTest::newRow(qPrintable(QStringLiteral("%1 as %2").arg(QLatin1String(row.first), QLatin1String(row.second))))
            << QByteArray(row.first) << QByteArray(row.second);
}

void TestTextFieldHelpers::timesAsQtReadsThem()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, pattern);
    const QDateTime reference = QDateTime::fromString(QString::fromLatin1(text), QString::fromLatin1(pattern));
    const QDateTime utc = parseDateTime(QByteArrayView(text), pattern.constData(), Qt::UTC);
    QCOMPARE(utc.isValid(), reference.isValid());
    if (reference.isValid()) {
        QCOMPARE(utc.timeSpec(), Qt::UTC);
        QCOMPARE(utc.date(), reference.date());
        QCOMPARE(utc.time(), reference.time());
    }
}

void TestTextFieldHelpers::decodeText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("Zaehler 1") << QStringLiteral("Zaehler 1");
    QTest::newRow("utf-8") << QByteArray("Z\xc3\xa4hler") << QStringLiteral("Zähler");
    QTest::newRow("latin-1") << QByteArray("Z\xe4hler") << QStringLiteral("Zähler");
    QTest::newRow("utf-8 with byte-order mark") << QByteArray("\xef\xbb\xbfID") << QStringLiteral("ID");
    QTest::newRow("cut utf-8 sequence is latin-1") << QByteArray("Gr\xc3") << QStringLiteral("Gr\u00c3");
}

void TestTextFieldHelpers::decodeText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(FieldReaders::decodeText(QByteArrayView(bytes)), text);
}

QTEST_GUILESS_MAIN(TestTextFieldHelpers)
#include "tst_textfieldhelpers.moc"
