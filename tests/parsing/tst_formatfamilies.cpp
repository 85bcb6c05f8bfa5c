// The fallback line formats (Eon CSV, MPO CSV 01 and 02, TREND CSV, SingleMeterpoint CSV), the
// XML formats (LertesBox, ebIX VSE), the column tables (Simple CSV 1 and 2, pChart CSV) and the
// weather and heat-meter files, always through DataParser::parse so that the detection and the
// fallback chain take part in every case. The sample files live in tests/data/<format>/. The
// local zone is fixed to Central European time, so a time read as local time and one read as
// UTC differ in every expectation.

#include "ParsingTestSupport.h"
#include "parsing/DataParser.h"

#include "KyrLogger/Logger.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QTest>

namespace {

using namespace ParsingTestSupport;
using Records = QList<DataParser::ValueRec>;

QMutex logMutex;
QStringList warnings;

struct Row {
    QByteArray input;
    QString fileName = QStringLiteral("-");
};

// A sample file, handed over under its own base name unless another name is given.
Row sample(const QString &relative, const QString &name = QString())
{
    return Row{readSample(relative), name.isEmpty() ? relative.section(u'/', -1) : name};
}

// One fixed-column MPO CSV 02 line: end and start time with their zones, device, channel, value.
QByteArray mpoLine(const QByteArray &end, const QByteArray &start, const QByteArray &channel, const QByteArray &value)
{
    return end.leftJustified(17, ' ') + start.leftJustified(33, ' ') + QByteArray("DEV 1").leftJustified(32, ' ')
        + channel.leftJustified(17, ' ') + value.rightJustified(35, ' ') + "Kanal\n";
}

Row inlineData(const QByteArray &data, const QString &name = QStringLiteral("-"))
{
    return Row{data, name};
}

void addRow(const char *tag, const Row &row, bool ok, const QString &error, int type, const QStringList &records,
            const QStringList &expectedWarnings = {})
{
    QTest::newRow(tag) << row.input << row.fileName << ok << error << type << records << expectedWarnings;
}

} // namespace

class TestFormatFamilies : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void fallbackChain_data();
    void fallbackChain() { checkParse(); }

    void xmlFormats_data();
    void xmlFormats() { checkParse(); }

    void columnTables_data();
    void columnTables() { checkParse(); }

    void weatherAndHeat_data();
    void weatherAndHeat() { checkParse(); }

private:
    static void addColumns();
    static void checkParse();
};

void TestFormatFamilies::initTestCase()
{
    QCOMPARE(QDateTime(QDate(2024, 1, 1), QTime(0, 15)).offsetFromUtc(), 3600);
    Kyr::Logger::instance().addListener([](quint8 level, const QString &line) {
        if (level == 4) {
            QMutexLocker lock(&logMutex);
            warnings << line;
        }
    });
}

void TestFormatFamilies::addColumns()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("expectedWarnings");
}

// error: the exact text, or with a trailing "*" its beginning.
void TestFormatFamilies::checkParse()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, fileName);
    QFETCH(bool, ok);
    QFETCH(QString, error);
    QFETCH(int, type);
    QFETCH(QStringList, records);
    QFETCH(QStringList, expectedWarnings);

    {
        QMutexLocker lock(&logMutex);
        warnings.clear();
    }
    DataParser parser;
    QString errorText = QStringLiteral("left over from before");
    Records out;
    QCOMPARE(parser.parse(input, errorText, out, fileName), ok);
    if (error.endsWith(u'*'))
        QVERIFY2(errorText.startsWith(error.chopped(1)), qPrintable(errorText));
    else
        QCOMPARE(errorText, error);

    QStringList got;
    for (const DataParser::ValueRec &r : std::as_const(out)) {
        QCOMPARE(int(r.importType), type);
        QVERIFY(r.aks.isEmpty());
        QVERIFY(r.ipAddress.isEmpty());
        QVERIFY(r.flagList.isEmpty());
        QVERIFY(r.timestamp.isValid());
        got << describe(r);
    }
    QCOMPARE(got, records);

    QMutexLocker lock(&logMutex);
    for (const QString &expected : std::as_const(expectedWarnings)) {
        const qsizetype seen = std::count_if(warnings.cbegin(), warnings.cend(),
                                             [&](const QString &line) { return line.contains(expected); });
        QVERIFY2(seen == 1, qPrintable(expected + QStringLiteral(" seen %1 times in: ").arg(seen) + warnings.join(u'\n')));
    }
}

void TestFormatFamilies::fallbackChain_data()
{
    addColumns();
    const int eon = DataParser::IMPTYPE_EON_CSV;
    const int mpo1 = DataParser::IMPTYPE_MPO_CSV_01;
    const int mpo2 = DataParser::IMPTYPE_MPO_CSV_02;
    const int trend = DataParser::IMPTYPE_TREND_CSV;
    const int single = DataParser::IMPTYPE_SINGLEMETERPT_CSV;
    const QString eonPoint = QStringLiteral("DE0001234567800000000000000004711:");

    // Interval ends in local time; status W (any case) or empty is normal, anything else 3001.
    addRow("eon load profile", sample("eon_csv/eon_loadprofile.csv"), true, QString(), eon,
           {"2023-12-31T23:15:00Z|" + eonPoint + "1.29.0 Wirkenergie Bezug|0.5||+|0|||1-0:1.29.0",
            "2023-12-31T23:30:00Z|" + eonPoint + "1.29.0 Wirkenergie Bezug|0.7||+|3001|||1-0:1.29.0",
            "2023-12-31T23:45:00Z|" + eonPoint + "1.29.0 Wirkenergie Bezug|0.25||+|0|||1-0:1.29.0",
            "2024-01-01T00:00:00Z|" + eonPoint + "1.29.0 Wirkenergie Bezug|1.125||+|0|||1-0:1.29.0",
            "2024-01-02T00:00:00Z|" + eonPoint + "1.8.0 Zaehlerstand|1200.5||-|0|||1-0:1.8.0",
            "2024-01-02T01:00:00Z|" + eonPoint + "1.8.0 Zaehlerstand|1201||-|0|||1-0:1.8.0"});
    addRow("eon leading blank lines, line ends with separator", sample("eon_csv/eon_trailing_separator.csv"), true,
           QString(), eon,
           {"2024-03-14T23:30:00Z|ZP4711:2.29.0|1.5||+|0|||1-0:2.29.0",
            "2024-03-15T00:00:00Z|ZP4711:2.29.0|2.5||+|0|||1-0:2.29.0"});
    addRow("eon empty value in the middle", sample("eon_csv/eon_empty_value_middle.csv"), false,
           "Could not parse value '' , index 7 on line 1 :ZP4711;1.29.0;kWh;15;20240101;0,5;W;;W;0,7;W", eon,
           {"2023-12-31T23:15:00Z|ZP4711:1.29.0|0.5||+|0|||1-0:1.29.0"});
    addRow("eon later line without date", sample("eon_csv/eon_invalid_second_line.csv"), false,
           "Invalid format on line 2 :ZP4711;1.29.0;kWh;15;2024-01-02;0,5;W", eon,
           {"2023-12-31T23:15:00Z|ZP4711:1.29.0|0.5||+|0|||1-0:1.29.0"});
    addRow("eon line without values", sample("eon_csv/eon_status_only.csv"), false, "No data found", eon, {});
    addRow("eon interval counts elapsed seconds across the clock change", inlineData("P;1.8.0;kWh;1440;20240330;1;W;2;W\n"), true,
           QString(), eon,
           {"2024-03-30T23:00:00Z|P:1.8.0|1||-|0|||1-0:1.8.0", "2024-03-31T23:00:00Z|P:1.8.0|2||-|0|||1-0:1.8.0"});

    const QString mpoChannel = QStringLiteral("|kWh|+|%1|71234567,1-1:1.29.0|71234567|1-1:1.29.0");
    addRow("mpo01 groups and status codes", sample("mpo_csv_01/mpo01_values.csv"), true, QString(), mpo1,
           {"2023-12-31T23:15:00Z|71234567:1.1.1.29.0|1.5" + mpoChannel.arg(0),
            "2023-12-31T23:30:00Z|71234567:1.1.1.29.0|2.25" + mpoChannel.arg(4001),
            "2023-12-31T23:45:00Z|71234567:1.1.1.29.0|3" + mpoChannel.arg(4002),
            "2023-12-31T23:00:00Z|71234567:1.1.1.8.0|1234.5|kWh|-|4003|71234567,1-1:1.8.0|71234567|1-1:1.8.0",
            "2023-12-31T23:00:00Z|71234567:1.1.2.8.0|17|kWh|-|4004|71234567,1-1:2.8.0|71234567|1-1:2.8.0",
            "2024-01-01T00:00:00Z|71234567:1.1.2.8.0|18|kWh|-|0|71234567,1-1:2.8.0|71234567|1-1:2.8.0"});
    addRow("mpo01 malformed third line is left out", sample("mpo_csv_01/mpo01_malformed_third_line.csv"), true,
           QString(), mpo1,
           {"2023-12-31T23:15:00Z|71234567:1.1.1.29.0|1.5" + mpoChannel.arg(0),
            "2023-12-31T23:30:00Z|71234567:1.1.1.29.0|1.75" + mpoChannel.arg(0),
            "2024-01-01T00:00:00Z|71234567:1.1.1.29.0|2.25" + mpoChannel.arg(0)});
    addRow("mpo01 unreadable value", sample("mpo_csv_01/mpo01_bad_value.csv"), false,
           "Could not parse value 'n/a' , index 4 on line 2 :71234567,1-1:1.29.0,kWh,20240101003000,n/a,W", mpo1,
           {"2023-12-31T23:15:00Z|71234567:1.1.1.29.0|1.5" + mpoChannel.arg(0)});

    addRow("mpo02 fixed columns, zones, implausible interval", sample("mpo_csv_02/mpo02_loadprofile.txt"), true,
           QString(), mpo2,
           {"2023-12-31T23:15:00Z|DEVICE 4711:1.1.1.29.0|0.25|kWh|+|0|Wirkenergie Bezug|DEVICE 4711|1-1:1.29.0",
            "2023-12-31T23:30:00Z|DEVICE 4711:1.1.2.29.0|0.5|kWh|+|0|Wirkenergie Lieferung|DEVICE 4711|1-1:2.29.0",
            "2023-12-31T23:45:00Z|DEVICE 4711:1.1.1.8.0|1234.5|kWh|-|5001|Zaehlerstand|DEVICE 4711|1-1:1.8.0",
            "2024-06-30T22:15:00Z|WAERME 12:6.0.1.0.0|12.5|kWh|+|0|Waermemenge|WAERME 12|6-0:1.0.0"});
    addRow("mpo02 latin-1 texts keep their columns", sample("mpo_csv_02/mpo02_latin1.txt"), true, QString(), mpo2,
           {"2023-12-31T23:15:00Z|Zähler Süd:1.1.1.29.0|0.25|kWh|+|0|Wirkenergie Bezug für Süd|Zähler Süd|1-1:1.29.0"});
    addRow("mpo02 unreadable value", sample("mpo_csv_02/mpo02_bad_value.txt"), false,
           "Could not parse value 'abc' , index 99 on line 2 :20240101003000+01*", mpo2,
           {"2023-12-31T23:15:00Z|DEVICE 4711:1.1.1.29.0|0.25|kWh|+|0|ok|DEVICE 4711|1-1:1.29.0"});

    addRow("mpo02 unreadable start time marks the value",
           inlineData(mpoLine("20240101001500+01", "gestern", "1.1.1.29.0.255", "1") + mpoLine("20240101003000-02", "20240101003000-02", "1.1.1.29.0.7", "2")),
           true, QString(), mpo2,
           {"2023-12-31T23:15:00Z|DEV 1:1.1.1.29.0|1|kWh|+|5001|Kanal|DEV 1|1-1:1.29.0",
            "2024-01-01T02:30:00Z|DEV 1:1.1.1.29.0*7|2|kWh|+|5001|Kanal|DEV 1|1-1:1.29.0*7"});
    addRow("mpo02 first long line without time declines",
           inlineData(mpoLine("2024-01-01 00:15", "20240101000000+01", "1.1.1.29.0", "1")), false,
           "Unknown data format: *", 0, {});
    addRow("mpo02 later long line without zone fails",
           inlineData(mpoLine("20240101001500+01", "20240101000000+01", "1.1.1.29.0", "1") + mpoLine("20240101003000+15", "20240101001500+01", "1.1.1.29.0", "1")),
           false, "Invalid format on line 2 :20240101003000+15*", mpo2,
           {"2023-12-31T23:15:00Z|DEV 1:1.1.1.29.0|1|kWh|+|0|Kanal|DEV 1|1-1:1.29.0"});

    addRow("trend unit from the file name", sample("trend_csv/Leistung in kW.TXT"), true, QString(), trend,
           {"2023-12-31T23:15:00Z|Leistung|12.5|kW|-|0|||", "2023-12-31T23:30:00Z|Leistung|13|kW|-|0|||",
            "2024-03-01T11:00:00Z|Leistung|-2.25|kW|-|0|||"});
    addRow("trend latin-1 month names", sample("trend_csv/Aussentemperatur_latin1.txt", "Aussentemperatur in °C.txt"),
           true, QString(), trend,
           {"2024-03-01T11:00:00Z|Aussentemperatur|3.5|°C|-|0|||", "2024-03-02T11:00:00Z|Aussentemperatur|4|°C|-|0|||"});
    addRow("trend later line without seconds", sample("trend_csv/Leistung.txt"), false,
           "Invalid format on line 2 :Montag, 1. Januar 2024 00:30\t13", trend,
           {"2023-12-31T23:15:00Z|Leistung|12.5||-|0|||"});

    addRow("single meterpoint two and four fields, UTC", sample("singlemeterpoint_csv/meter42.csv"), true, QString(),
           single,
           {"2024-01-01T00:15:00Z|meter42|1.25||+|0|||", "2024-01-01T00:30:00Z|meter42|2.5||+|0|||",
            "2024-01-01T00:45:00Z|meter42|3||+|0|||"});
    addRow("single meterpoint keeps a name without .csv", sample("singlemeterpoint_csv/meter42.dat"), true, QString(),
           single, {"2024-01-01T00:15:00Z|meter42.dat|1.25||+|0|||"});
    addRow("single meterpoint upper-case extension", inlineData("01.01.2024 00:15:00;1\n", "Meter7.CSV"), true,
           QString(), single, {"2024-01-01T00:15:00Z|Meter7|1||+|0|||"});
    addRow("single meterpoint later line with three fields", sample("singlemeterpoint_csv/meter43_bad_second_line.csv"),
           false, "Invalid format on line 2 :01.01.2024 00:30:00;1;2", single,
           {"2024-01-01T00:15:00Z|meter43_bad_second_line|1.25||+|0|||"});

    // Three ";" fields fit none of the five: the generic text with the head of the file.
    addRow("three fields fall through the chain", sample("singlemeterpoint_csv/three_fields_unknown.csv"), false,
           "Unknown data format: alpha;beta;gamma\n", 0, {});
    addRow("eon first line with a bad date declines", inlineData("P;1.8.0;kWh;15;20241301;1;W\n"), false,
           "Unknown data format: P;1.8.0;kWh;15;20241301;1;W\n", 0, {});
    addRow("mpo01 first line without a dot in the code declines", inlineData("7,18,kWh,20240101000000,1,W\n"), false,
           "Unknown data format: 7,18,kWh,20240101000000,1,W\n", 0, {});
    addRow("only blank lines", inlineData("\r\n\r\n"), false, "Unknown data format: \r\n\r\n", 0, {});
}

void TestFormatFamilies::xmlFormats_data()
{
    addColumns();
    const int lertes = DataParser::IMPTYPE_LERTESBOX;
    const int ebix = DataParser::IMPTYPE_EBIX_VSE;
    const QString k1 = QStringLiteral("||-|%1|Zähler Hauptverteilung||");

    // STATUS before any record is ignored, STATUS after E applies to that E record only.
    addRow("lertesbox ILC in latin-1", sample("lertesbox_xml/lertesbox_ilc_latin1.xml"), true, QString(), lertes,
           {"2024-01-01T00:15:00Z|LB0815:K1:P|1.5" + k1.arg(0), "2024-01-01T00:15:00Z|LB0815:K1:E|1234.5" + k1.arg(3),
            "2024-01-01T00:30:00Z|LB0815:K1:P|1.75" + k1.arg(0), "2024-01-01T00:30:00Z|LB0815:K1:E|1235" + k1.arg(3),
            "2024-01-01T01:00:00Z|LB0815:K2:Temp|21.5||-|0|Wärme||"});
    addRow("lertesbox rmcu with ID element", sample("lertesbox_xml/lertesbox_rmcu.xml"), true, QString(), lertes,
           {"2024-06-01T10:00:00Z|RM-77:C1:W|42||-|0|||"});
    addRow("lertesbox mixed-case root goes to ebIX", sample("lertesbox_xml/lertesbox_mixed_case_root.xml"), false,
           "Wrong namespaceURI ", 0, {});
    addRow("lertesbox without device", sample("lertesbox_xml/lertesbox_no_device_id.xml"), false, "AKS1 not found",
           lertes, {});
    addRow("lertesbox channel without id",
           inlineData("<?xml version=\"1.0\"?><ILC ID=\"A\"><C><VALUE DATETIME=\"2024-01-01T00:15Z\"><P>1</P></VALUE></C></ILC>"),
           false, "AKS2 not found", lertes, {});
    addRow("lertesbox value not a number", sample("lertesbox_xml/lertesbox_bad_value.xml"), false,
           "Could not convert eins", lertes, {"2024-01-01T00:15:00Z|LB1:1:P|1.5||-|0|||"});
    addRow("lertesbox decimal comma",
           inlineData("<?xml version=\"1.0\"?><ILC ID=\"A\"><C ID=\"1\"><VALUE DATETIME=\"2024-01-01T00:15Z\"><P>1,5</P></VALUE></C></ILC>"),
           false, "Could not convert 1,5", lertes, {});
    addRow("lertesbox value without time",
           inlineData("<?xml version=\"1.0\"?><ILC ID=\"A\"><C ID=\"1\"><VALUE><P>1</P></VALUE></C></ILC>"), false,
           "DATETIME not found", lertes, {});
    addRow("lertesbox unreadable time",
           inlineData("<?xml version=\"1.0\"?><ILC ID=\"A\"><C ID=\"1\"><VALUE DATETIME=\"gestern\"><P>1</P></VALUE></C></ILC>"),
           false, "Could not parse DATETIME gestern", lertes, {});
    addRow("lertesbox without values", inlineData("<?xml version=\"1.0\"?><ILC ID=\"A\"><C ID=\"1\"><NAME>x</NAME></C></ILC>"),
           false, "No data found", lertes, {});
    addRow("xml not well-formed", sample("lertesbox_xml/lertesbox_truncated.xml"), false,
           "Parsing XML input failed with '*", 0, {});

    const QString point = QStringLiteral("CH1234512345012345678901234567890:");
    addRow("ebix sequence gap", sample("ebix_vse_xml/ebix_sequence_gap.xml"), true, QString(), ebix,
           {"2024-01-01T00:00:00Z|" + point + "Volume|1.5|kWh|-|0|Energy active||",
            "2024-01-01T00:15:00Z|" + point + "Volume|2.5|kWh|-|0|Energy active||",
            "2024-01-01T00:45:00Z|" + point + "Volume|4.5|kWh|-|0|Energy active||",
            "2024-01-01T01:00:00Z|" + point + "Volume|5.5|kWh|-|0|Energy active||"},
           {"Sequence mismatch, expected 3, is 4"});
    addRow("ebix two quantities", sample("ebix_vse_xml/ebix_two_quantities.xml"), true, QString(), ebix,
           {"2024-01-01T00:00:00Z|" + point + "Volume|1.5|kWh|-|0|Energy active||",
            "2024-01-01T00:00:00Z|" + point + "Condition|21|kWh|-|0|Energy active||"});
    addRow("ebix wrong namespace", sample("ebix_vse_xml/ebix_wrong_namespace.xml"), false,
           "Wrong namespaceURI urn:example:metering", 0, {});
    addRow("xml with another root", sample("ebix_vse_xml/other_root.xml"), false, "Wrong namespaceURI ", 0, {});
    addRow("ebix without MeteringData", sample("ebix_vse_xml/ebix_no_meteringdata.xml"), false,
           "MeteringData not found", 0, {});
    addRow("ebix bad start", sample("ebix_vse_xml/ebix_bad_start.xml"), false,
           "Invalid StartDateTime / Resolution '01.01.2024 00:00' '15'", ebix, {});
    QByteArray zeroResolution = readSample("ebix_vse_xml/ebix_two_quantities.xml");
    zeroResolution.replace("<rsm:Resolution>15<", "<rsm:Resolution>0<");
    addRow("ebix resolution zero", inlineData(zeroResolution), false,
           "Invalid StartDateTime / Resolution '2024-01-01T00:00:00Z' '0'", ebix, {});
    QByteArray noPoint = readSample("ebix_vse_xml/ebix_two_quantities.xml");
    noPoint.replace("VSENationalID", "EAN");
    addRow("ebix without metering point", inlineData(noPoint), false, "VSENationalID not found", ebix, {});
    addRow("ebix without observations", sample("ebix_vse_xml/ebix_no_observation.xml"), false, "No data found", ebix, {});
}

void TestFormatFamilies::columnTables_data()
{
    addColumns();
    const int simple1 = DataParser::IMPTYPE_SIMPLE_CSV_1;
    const int simple2 = DataParser::IMPTYPE_SIMPLE_CSV_2;
    const int pchart = DataParser::IMPTYPE_PCHART_CSV;

    addRow("simple1 warns and skips", sample("simple_csv_1/simplecsv1_latin1.csv"), true, QString(), simple1,
           {"2024-01-01T00:15:00Z|Zähler Süd|1.5||-|0|Zähler Süd||", "2024-01-01T00:15:00Z|Wärme Nord|2.5||-|0|Wärme Nord||",
            "2024-01-01T00:30:00Z|Zähler Süd|1.75||-|0|Zähler Süd||", "2024-01-01T00:30:00Z|Gas|0.5||-|0|Gas||"},
           {"Could not parse timestamp: 2024/13/01 00:30:00",
            "Could not parse value 'kaputt' for 'Wärme Nord': 2024/01/01; 00:30:00 ;1,75;kaputt;0,5"});
    addRow("simple1 value beyond the header", sample("simple_csv_1/simplecsv1_out_of_range.csv"), false,
           "Field # out of range: 2024/01/01;00:30:00;1;2;3", simple1,
           {"2024-01-01T00:15:00Z|A|1||-|0|A||", "2024-01-01T00:15:00Z|B|2||-|0|B||",
            "2024-01-01T00:30:00Z|A|1||-|0|A||", "2024-01-01T00:30:00Z|B|2||-|0|B||"});
    addRow("simple1 line without time", sample("simple_csv_1/simplecsv1_no_timestamp.csv"), false,
           "No timestamp: nur ein Feld", simple1, {"2024-01-01T00:15:00Z|A|1||-|0|A||"});
    addRow("simple1 header only", inlineData("Datum;Zeit;A\n"), false, "No data found", simple1, {});

    addRow("simple2 with and without milliseconds", sample("simple_csv_2/simplecsv2_mixed_millis.csv"), true, QString(),
           simple2,
           {"2024-01-01T00:15:00.250Z|Zähler 1|1.5||-|0|Zähler 1||", "2024-01-01T00:15:00.250Z|Zähler 2|2||-|0|Zähler 2||",
            "2024-01-01T00:30:00Z|Zähler 2|3||-|0|Zähler 2||", "2024-01-01T00:30:00Z|Zähler 3|4||-|0|Zähler 3||"});
    addRow("simple2 unreadable value fails", sample("simple_csv_2/simplecsv2_bad_value.csv"), false,
           "Could not parse value: zwei", simple2,
           {"2024-01-01T00:15:00Z|A|1||-|0|A||", "2024-01-01T00:15:00Z|B|2||-|0|B||",
            "2024-01-01T00:30:00Z|A|1||-|0|A||"});
    addRow("simple2 unreadable time fails", sample("simple_csv_2/simplecsv2_bad_timestamp.csv"), false,
           "Could not parse timestamp: 01.01.2024 00:30", simple2, {"2024-01-01T00:15:00Z|A|1||-|0|A||"});
    addRow("simple2 value beyond the header", inlineData("DatumUhrzeit;A\n2024-01-01 00:15:00;1; ;2\n"), false,
           "Field # out of range: 2024-01-01 00:15:00;1; ;2", simple2, {"2024-01-01T00:15:00Z|A|1||-|0|A||"});

    addRow("pchart unit line and two-digit years", sample("pchart_csv/pchart_units.csv"), true, QString(), pchart,
           {"2023-12-31T22:45:00Z|Bezug|1.5||-|0|kWh||", "2023-12-31T22:45:00Z|Leistung|2||-|0|kW||",
            "2023-12-31T23:00:00Z|Bezug|1.75||-|0|kWh||"});
    addRow("pchart without unit line", sample("pchart_csv/pchart_no_second_header.csv"), true, QString(), pchart,
           {"2024-02-01T11:00:00Z|Temperatur Außen|-3.5||-|0|Temperatur Außen||"});
    addRow("pchart unreadable time fails", sample("pchart_csv/pchart_bad_timestamp.csv"), false,
           "Could not parse timestamp: 2024-02001 12:15:00", pchart, {"2024-02-01T11:00:00Z|A|1||-|0|A||"});
    addRow("pchart unreadable value fails", inlineData("Date;Time;A\n01.02.24;12:00:00;x\n"), false,
           "Could not parse value: x", pchart, {});
    addRow("pchart short line", inlineData("Date;Time;A\n01.02.24\n"), false, "No timestamp: 01.02.24", pchart, {});
    addRow("pchart header only", sample("pchart_csv/pchart_header_only.csv"), false, "No data found", pchart, {});
}

void TestFormatFamilies::weatherAndHeat_data()
{
    addColumns();
    const int meteo = DataParser::IMPTYPE_MS_WETTERDATEN;
    const int heat = DataParser::IMPTYPE_VATTENFALL_WAERME;

    addRow("meteo legend before the header, hourly", sample("meteoschweiz_csv/meteo_hourly_legend_latin1.txt"), true,
           QString(), meteo,
           {"2024-01-01T00:00:00Z|BER:tre200h0|-1.2|°C|-|0|tre200h0||", "2024-01-01T00:00:00Z|BER:gre000h0|0|W/m2|-|0|gre000h0||",
            "2024-01-01T00:00:00Z|BER:rre150h0|0||-|0|rre150h0||", "2024-01-01T01:00:00Z|BER:tre200h0|-1.5|°C|-|0|tre200h0||",
            "2024-01-01T01:00:00Z|BER:rre150h0|0.1||-|0|rre150h0||"});
    addRow("meteo ten-minute times", sample("meteoschweiz_csv/meteo_tenminute.csv"), true, QString(), meteo,
           {"2024-06-01T12:10:00Z|SMA:tre200s0|18.4||-|0|tre200s0||", "2024-06-01T12:10:00Z|SMA:xno000d0|12|°C|-|0|xno000d0||",
            "2024-06-01T12:20:00Z|SMA:tre200s0|18.6||-|0|tre200s0||"});
    addRow("meteo column beyond the header", sample("meteoschweiz_csv/meteo_out_of_range.csv"), false,
           "Field # out of range: BER;2024010100;1;2", meteo, {"2024-01-01T00:00:00Z|BER:tre200h0|1|°C|-|0|tre200h0||"});
    addRow("meteo unreadable time", sample("meteoschweiz_csv/meteo_bad_time.csv"), false,
           "Could not parse timestamp: 24010101 (BER;24010101;2)", meteo,
           {"2024-01-01T00:00:00Z|BER:tre200h0|1|°C|-|0|tre200h0||"});
    addRow("meteo unreadable value", inlineData("stn;time;xno012d0\nBER;2024010100;warm\n"), false,
           "Could not parse value: warm (BER;2024010100;warm)", meteo, {});
    addRow("meteo only missing values", inlineData("stn;time;tre200h0\nBER;2024010100;-\n"), false, "No data found", meteo, {});

    addRow("vattenfall codes and unit conversion", sample("vattenfall_csv/vattenfall_bom.csv"), true, QString(), heat,
           {"2024-01-01T00:00:00Z|A100:EE|12.345|kWh|-|0||71234567|", "2024-01-01T00:00:00Z|A100:VO|1.5|l|-|0||71234567|",
            "2024-01-01T00:00:00Z|A100:TR|41.5|°C|-|0||71234567|", "2024-01-01T00:00:00Z|A100:FW|0.25|l/h|-|0||71234567|",
            "2024-01-01T00:00:00Z|A100:PO|5|kW|-|0||71234567|", "2024-01-01T00:00:00Z|A100:Zusatz, extern|7|bar|-|0||71234567|"});
    addRow("vattenfall latin-1 umlauts, other column order", sample("vattenfall_csv/vattenfall_latin1.csv"), true,
           QString(), heat,
           {"2024-01-01T01:00:00Z|B7:TR|39.25|°C|-|0||9988|", "2024-01-01T01:00:00Z|B7:FW|1|l/h|-|0||9988|",
            "2024-01-01T01:00:00Z|B7:TF|70|°C|-|0||9988|"});
    addRow("vattenfall without ANLAGENUMMER", sample("vattenfall_csv/vattenfall_missing_column.csv"), false,
           "Missing header field (ID,TIME,NAME,VALUE,UNIT,IDENT)", heat, {});
    addRow("vattenfall short line", sample("vattenfall_csv/vattenfall_short_line.csv"), false,
           "Not enough data fields: 2,1704067200,\"WMZ Arbeit\",1", heat, {"2024-01-01T00:00:00Z|A100:EE|12.345|kWh|-|0||71234567|"});
    addRow("vattenfall time not an integer",
           inlineData("ID,TIME,NAME,VALUE,UNIT,IDENT,ANLAGENUMMER\n1,2024-01-01,WMZ Arbeit,1,Wh,9,A\n"), false,
           "Could not parse timestamp: 2024-01-01 (1,2024-01-01,WMZ Arbeit,1,Wh,9,A)", heat, {});
    addRow("vattenfall value not a number",
           inlineData("ID,TIME,NAME,VALUE,UNIT,IDENT,ANLAGENUMMER\n1,1704067200,WMZ Arbeit,\"1,5\",Wh,9,A\n"), false,
           "Could not parse value: 1,5 (1,1704067200,WMZ Arbeit,\"1,5\",Wh,9,A)", heat, {});
    addRow("vattenfall header only", inlineData("ID,TIME,NAME,VALUE,UNIT,IDENT,ANLAGENUMMER\n"), false, "No data found",
           heat, {});
}

int main(int argc, char **argv)
{
    // Central European time with its daylight saving rule, independent of the machine's zone.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    QCoreApplication app(argc, argv);
    TestFormatFamilies test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_formatfamilies.moc"
