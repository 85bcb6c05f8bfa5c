// Format detection: the whitespace-free head, the rules in their order, the fallback chain and the
// unknown-format text; the import type names and the record reset.

#include "parsing/DataParser.h"
#include "parsing/FormatDetection.h"

#include <QTest>

// That the parser a rule selects really gets the file is shown by the sample files of
// tst_formatfamilies, which all go through DataParser::parse and name the import type of their
// records (or fail with the selected parser's own text): every rule with samples, each alternative
// text of a rule, and the Latin-1 SILOVEDA signature against the same text in UTF-8. The rules
// here are those without samples, the order of overlapping rules and the edges of the head
// (an IMMO-Box title not at the start is the sample immobox_name_inside_the_title.csv).

class TestDetection : public QObject
{
    Q_OBJECT

private slots:
    void head_data();
    void head();
    void rules_data();
    void rules();
    void unknownFormat_data();
    void unknownFormat();
    void names_data();
    void names();
    void resetRecord();
};

void TestDetection::head_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("head");

    QTest::newRow("blank lines and spaces go") << QByteArray("\r\n\r\n  UNB + UNOC:3\t+X") << QStringLiteral("UNB+UNOC:3+X");
    QTest::newRow("only the first 50 bytes") << QByteArray(60, 'a') << QString(50, u'a');
    QTest::newRow("spaces count towards the 50 bytes")
        << QByteArray(45, ' ') + "abcdefghij" << QStringLiteral("abcde");
    QTest::newRow("Latin-1 letter becomes U+FFFD") << QByteArray("Z\xE4hler") << QStringLiteral("Z\uFFFDhler");
    QTest::newRow("byte-order mark dropped by the decoding") << QByteArray("\xEF\xBB\xBFID,TIME") << QStringLiteral("ID,TIME");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestDetection::head()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, head);
    QCOMPARE(FormatDetection::head(data), head);
}

void TestDetection::rules_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<DataParser::ImportType>("type");

    const auto row = [](const char *name, const QByteArray &data, DataParser::ImportType type) {
        QTest::newRow(name) << data << type;
    };
    row("1 xml not at the start", "x<?xml", DataParser::IMPTYPE_NA);
    row("2 meterpoint, spaces removed", "# Datum der Auswertung: 01.01.2024\n", DataParser::IMPTYPE_METERPT_CSV);
    row("3 before 10", "Datum;Zeit;IMMO-Box\n", DataParser::IMPTYPE_SIMPLE_CSV_1);
    row("6 LuG", "serial-number; device-identification;x\n", DataParser::IMPTYPE_LUG_CSV);
    row("9 before 10", ";;IMMO-Box\n", DataParser::IMPTYPE_MSD_CSV);
    row("10 IMMO-Box beyond the head", QByteArray(44, 'x') + "IMMO-Box\n", DataParser::IMPTYPE_NA);
    row("10 before 11", "Date;Time;IMMO-Box\n", DataParser::IMPTYPE_IMMO_BOX_CSV);
    row("14 Solvimus", "Index;Timestamp;DeviceId;x\n", DataParser::IMPTYPE_SOLVIMUS_MUC_CSV);
    row("16 LOYTEC", "#log_csv_ver;1\n", DataParser::IMPTYPE_LOYTEC_CSV);
    row("case-sensitive", "unb+unoc:3'", DataParser::IMPTYPE_NA);
    row("20 nothing matches", "a;b;c\n", DataParser::IMPTYPE_NA);
}

void TestDetection::rules()
{
    QFETCH(QByteArray, data);
    QFETCH(DataParser::ImportType, type);
    QCOMPARE(FormatDetection::detect(FormatDetection::head(data)), type);
}

void TestDetection::unknownFormat_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("error");

    QTest::newRow("head text unchanged, 50 bytes")
        << QByteArray("  x  y\t") + QByteArray(60, 'z')
        << QStringLiteral("Unknown data format:   x  y\t") + QString(43, u'z');
    QTest::newRow("invalid UTF-8 shown as replacement") << QByteArray("\xFF\xFE;x\n")
                                                       << QStringLiteral("Unknown data format: \uFFFD\uFFFD;x\n");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("Unknown data format: ");
}

void TestDetection::unknownFormat()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, error);

    QString errorText = QStringLiteral("left over from before");
    QList<DataParser::ValueRec> values;
    QVERIFY(!DataParser::parse(data, errorText, values, QStringLiteral("-")));
    QCOMPARE(errorText, error);
    QVERIFY(values.isEmpty());
}

void TestDetection::names_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("configName");
    QTest::addColumn<QString>("displayName");

    QTest::newRow("0") << 0 << "NA" << "All";
    QTest::newRow("21") << 21 << "EBIX_VSE" << "exIX VSE";
    QTest::newRow("25") << 25 << "INNOSOLV_CSV" << "Innosolv CSV";
    QTest::newRow("26") << 26 << "?" << "?";
    QTest::newRow("-1") << -1 << "?" << "?";
}

void TestDetection::names()
{
    QFETCH(int, type);
    QFETCH(QString, configName);
    QFETCH(QString, displayName);
    QCOMPARE(DataParser::configName(type), configName);
    QCOMPARE(DataParser::displayName(type), displayName);
    QCOMPARE(DataParser::displayNames().size(), 26);
    if (type >= 0 && type < 26)
        QCOMPARE(DataParser::displayNames().at(type), displayName);
    // A list of records is named after its first record, an empty one "?".
    DataParser::ValueRec first;
    first.importType = DataParser::ImportType(type);
    QCOMPARE(DataParser::displayName(QList<DataParser::ValueRec>{first, DataParser::ValueRec()}), displayName);
    QCOMPARE(DataParser::displayName(QList<DataParser::ValueRec>()), QStringLiteral("?"));
}

void TestDetection::resetRecord()
{
    DataParser::ValueRec rec;
    QVERIFY(!rec.timestamp.isValid());
    rec.iaks = rec.aks = rec.unit = rec.description = rec.serialNumber = rec.ipAddress = rec.obis = QStringLiteral("x");
    rec.importType = DataParser::IMPTYPE_MSCONS;
    rec.value = 5;
    rec.increment = true;
    rec.state = 1001;
    rec.flagList = {1, 2};

    const QDateTime before = QDateTime::currentDateTime();
    DataParser::resetRecord(rec);
    QVERIFY(rec.timestamp >= before && rec.timestamp <= QDateTime::currentDateTime());
    QCOMPARE(rec.timestamp.timeSpec(), Qt::LocalTime);
    QVERIFY(rec.iaks.isEmpty() && rec.aks.isEmpty() && rec.unit.isEmpty() && rec.description.isEmpty());
    QVERIFY(rec.serialNumber.isEmpty() && rec.ipAddress.isEmpty() && rec.obis.isEmpty() && rec.flagList.isEmpty());
    QCOMPARE(rec.importType, DataParser::IMPTYPE_NA);
    QCOMPARE(rec.value, 0.0);
    QCOMPARE(rec.increment, false);
    QCOMPARE(rec.state, 0);
}

QTEST_GUILESS_MAIN(TestDetection)
#include "tst_detection.moc"
