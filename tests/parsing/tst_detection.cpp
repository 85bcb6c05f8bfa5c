// Format detection: the whitespace-free head, the twenty rules in their order, the Latin-1
// SILOVEDA signature, the fallback chain and the unknown-format text; the import type names, the
// record reset and the meta-type registration.

#include "parsing/DataParser.h"
#include "parsing/FormatDetection.h"

#include <QTest>

// That the parser a rule selects really gets the file is shown by the format tests, which all go
// through DataParser::parse.

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
    void displayNameOfRecords();
    void resetRecord();
    void metaTypes();
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
    QTest::newRow("UTF-8 letter stays") << QByteArray("Z\xC3\xA4hler") << QStringLiteral("Z\u00E4hler");
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
    row("1 xml", "<?xml version=\"1.0\"?><ILC/>", DataParser::IMPTYPE_LERTESBOX);
    row("1 xml not at the start", "x<?xml", DataParser::IMPTYPE_NA);
    row("2 meterpoint, spaces removed", "# Datum der Auswertung: 01.01.2024\n", DataParser::IMPTYPE_METERPT_CSV);
    row("3 simple 1", "Datum;Zeit;Z1;Z2\n", DataParser::IMPTYPE_SIMPLE_CSV_1);
    row("3 before 10", "Datum;Zeit;IMMO-Box\n", DataParser::IMPTYPE_SIMPLE_CSV_1);
    row("4 simple 2 DatumUhrzeit", "Datum Uhrzeit;Z1\n", DataParser::IMPTYPE_SIMPLE_CSV_2);
    row("4 simple 2 Zeitstempel", "Zeitstempel;Z1\n", DataParser::IMPTYPE_SIMPLE_CSV_2);
    row("5 simple 3 Project", "Project: Nord\n", DataParser::IMPTYPE_SIMPLE_CSV_3);
    row("5 simple 3 Tageswerte", "Tageswerte;2024\n", DataParser::IMPTYPE_SIMPLE_CSV_3);
    row("6 LuG", "serial-number; device-identification;x\n", DataParser::IMPTYPE_LUG_CSV);
    row("7 PVSS", "SourceName:;A;B\n", DataParser::IMPTYPE_PVSS_CSV);
    row("8 Froeschl", "Kanal-Information\n", DataParser::IMPTYPE_FROESCHL_CSV);
    row("9 MSD", ";;Z42\n", DataParser::IMPTYPE_MSD_CSV);
    row("9 before 10", ";;IMMO-Box\n", DataParser::IMPTYPE_MSD_CSV);
    row("10 IMMO-Box anywhere in the head", "Export of IMMO-Box 12\n", DataParser::IMPTYPE_IMMO_BOX_CSV);
    row("10 IMMO-Box beyond the head", QByteArray(44, 'x') + "IMMO-Box\n", DataParser::IMPTYPE_NA);
    row("10 before 11", "Date;Time;IMMO-Box\n", DataParser::IMPTYPE_IMMO_BOX_CSV);
    row("11 pChart", "Date;\tTime;A\n", DataParser::IMPTYPE_PCHART_CSV);
    row("12 MeteoSchweiz", "MeteoSchweiz / MeteoSuisse\n", DataParser::IMPTYPE_MS_WETTERDATEN);
    row("12 stn;time", "stn;time;tre200s0\n", DataParser::IMPTYPE_MS_WETTERDATEN);
    row("12 Station/Location", "Station/Location; Date;x\n", DataParser::IMPTYPE_MS_WETTERDATEN);
    row("13 Vattenfall", "ID,TIME,NAME,VALUE\n", DataParser::IMPTYPE_VATTENFALL_WAERME);
    row("14 Solvimus", "Index;Timestamp;DeviceId;x\n", DataParser::IMPTYPE_SOLVIMUS_MUC_CSV);
    row("15 SILOVEDA in Latin-1", "Datum;Z\xE4hlerstand;x\n", DataParser::IMPTYPE_SILOVEDA_CSV);
    row("15 same text in UTF-8", "Datum;Z\xC3\xA4hlerstand;x\n", DataParser::IMPTYPE_NA);
    row("16 LOYTEC", "#log_csv_ver;1\n", DataParser::IMPTYPE_LOYTEC_CSV);
    row("17 Innosolv", "Version;1.0\n", DataParser::IMPTYPE_INNOSOLV_CSV);
    row("18 any leading semicolon", ";just a note\n", DataParser::IMPTYPE_PIRELPORTAL_DATAROW_CSV);
    row("19 UNA", "UNA:+.? 'UNB+UNOC:3'", DataParser::IMPTYPE_MSCONS);
    row("19 UNB", "\r\nUNB+UNOC:3+S+R'", DataParser::IMPTYPE_MSCONS);
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

    QTest::newRow("three fields") << QByteArray("a;b;c\n") << QStringLiteral("Unknown data format: a;b;c\n");
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
}

void TestDetection::displayNameOfRecords()
{
    QCOMPARE(DataParser::displayName(QList<DataParser::ValueRec>()), QStringLiteral("?"));
    DataParser::ValueRec first;
    first.importType = DataParser::IMPTYPE_EON_CSV;
    DataParser::ValueRec second;
    second.importType = DataParser::IMPTYPE_MSCONS;
    QCOMPARE(DataParser::displayName(QList<DataParser::ValueRec>{first, second}), QStringLiteral("Eon CSV"));
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

// Records travel through queued signals under their registered names.
void TestDetection::metaTypes()
{
    DataParser::registerMetaTypes();
    QVERIFY(QMetaType::fromName("DataParser::ValueRec").isValid());
    QVERIFY(QMetaType::fromName("DataParser::ImportType").isValid());
    DataParser::ValueRec rec;
    rec.iaks = QStringLiteral("MP1");
    const QVariant v = QVariant::fromValue(rec);
    QCOMPARE(QMetaType::fromName("DataParser::ValueRec"), v.metaType());
    QCOMPARE(v.value<DataParser::ValueRec>().iaks, QStringLiteral("MP1"));
}

QTEST_GUILESS_MAIN(TestDetection)
#include "tst_detection.moc"
