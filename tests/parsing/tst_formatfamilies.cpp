// The fallback line formats (Eon CSV, MPO CSV 01 and 02, TREND CSV, SingleMeterpoint CSV), the
// XML formats (LertesBox, ebIX VSE), the column tables (Simple CSV 1 and 2, pChart CSV) and the
// weather and heat-meter files, always through DataParser::parse so that the detection and the
// fallback chain take part in every case. The sample files live in tests/data/<format>/. The
// local zone is fixed to Central European time, so a time read as local time and one read as
// UTC differ in every expectation.

#include "ParsingTestSupport.h"
#include "parsing/DataParser.h"

#include <QCoreApplication>
#include <QTest>

namespace {

using namespace ParsingTestSupport;

struct Row {
    QByteArray input;
    QString fileName = QStringLiteral("-");
};

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

void addRow(const char *tag, const Row &row, bool ok, const QString &error, int type, const QStringList &records)
{
    QTest::newRow(tag) << row.input << row.fileName << ok << error << type << records;
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

    void sampleFiles_data();
    void sampleFiles();

private:
    static void addColumns();
    static void checkParse();
};

void TestFormatFamilies::initTestCase()
{
    QCOMPARE(QDateTime(QDate(2024, 1, 1), QTime(0, 15)).offsetFromUtc(), 3600);
}

void TestFormatFamilies::addColumns()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("records");
}

void TestFormatFamilies::checkParse()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, fileName);
    QFETCH(bool, ok);
    QFETCH(QString, error);
    QFETCH(int, type);
    QFETCH(QStringList, records);
    compareParse(input, fileName, ok, error, type, records);
}

void TestFormatFamilies::fallbackChain_data()
{
    addColumns();
    const int eon = DataParser::IMPTYPE_EON_CSV;
    const int mpo2 = DataParser::IMPTYPE_MPO_CSV_02;
    const int single = DataParser::IMPTYPE_SINGLEMETERPT_CSV;

    addRow("eon interval counts elapsed seconds across the clock change", inlineData("P;1.8.0;kWh;1440;20240330;1;W;2;W\n"), true,
           QString(), eon,
           {"2024-03-30T23:00:00Z|P:1.8.0|1||-|0|||1-0:1.8.0", "2024-03-31T23:00:00Z|P:1.8.0|2||-|0|||1-0:1.8.0"});
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
    addRow("single meterpoint upper-case extension", inlineData("01.01.2024 00:15:00;1\n", "Meter7.CSV"), true,
           QString(), single, {"2024-01-01T00:15:00Z|Meter7|1||+|0|||"});
    // First lines that fit none of the chain: the generic text with the head of the file.
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

    addRow("lertesbox channel without id",
           inlineData("<?xml version=\"1.0\"?><ILC ID=\"A\"><C><VALUE DATETIME=\"2024-01-01T00:15Z\"><P>1</P></VALUE></C></ILC>"),
           false, "AKS2 not found", lertes, {});
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

    // Two faults written into a good sample.
    QByteArray zeroResolution = readSample("ebix_vse_xml/ebix_two_quantities.xml");
    zeroResolution.replace("<rsm:Resolution>15<", "<rsm:Resolution>0<");
    addRow("ebix resolution zero", inlineData(zeroResolution), false,
           "Invalid StartDateTime / Resolution '2024-01-01T00:00:00Z' '0'", ebix, {});
    QByteArray noPoint = readSample("ebix_vse_xml/ebix_two_quantities.xml");
    noPoint.replace("VSENationalID", "EAN");
    addRow("ebix without metering point", inlineData(noPoint), false, "VSENationalID not found", ebix, {});
}

void TestFormatFamilies::columnTables_data()
{
    addColumns();
    const int simple1 = DataParser::IMPTYPE_SIMPLE_CSV_1;
    const int simple2 = DataParser::IMPTYPE_SIMPLE_CSV_2;
    const int pchart = DataParser::IMPTYPE_PCHART_CSV;

    addRow("simple1 header only", inlineData("Datum;Zeit;A\n"), false, "No data found", simple1, {});

    addRow("simple2 value beyond the header", inlineData("DatumUhrzeit;A\n2024-01-01 00:15:00;1; ;2\n"), false,
           "Field # out of range: 2024-01-01 00:15:00;1; ;2", simple2, {"2024-01-01T00:15:00Z|A|1||-|0|A||"});

    addRow("pchart unreadable value fails", inlineData("Date;Time;A\n01.02.24;12:00:00;x\n"), false,
           "Could not parse value: x", pchart, {});
    addRow("pchart short line", inlineData("Date;Time;A\n01.02.24\n"), false, "No timestamp: 01.02.24", pchart, {});
}

void TestFormatFamilies::weatherAndHeat_data()
{
    addColumns();
    const int meteo = DataParser::IMPTYPE_MS_WETTERDATEN;
    const int heat = DataParser::IMPTYPE_VATTENFALL_WAERME;

    addRow("meteo unreadable value", inlineData("stn;time;xno012d0\nBER;2024010100;warm\n"), false,
           "Could not parse value: warm (BER;2024010100;warm)", meteo, {});
    addRow("meteo only missing values", inlineData("stn;time;tre200h0\nBER;2024010100;-\n"), false, "No data found", meteo, {});

    addRow("vattenfall time not an integer",
           inlineData("ID,TIME,NAME,VALUE,UNIT,IDENT,ANLAGENUMMER\n1,2024-01-01,WMZ Arbeit,1,Wh,9,A\n"), false,
           "Could not parse timestamp: 2024-01-01 (1,2024-01-01,WMZ Arbeit,1,Wh,9,A)", heat, {});
    addRow("vattenfall value not a number",
           inlineData("ID,TIME,NAME,VALUE,UNIT,IDENT,ANLAGENUMMER\n1,1704067200,WMZ Arbeit,\"1,5\",Wh,9,A\n"), false,
           "Could not parse value: 1,5 (1,1704067200,WMZ Arbeit,\"1,5\",Wh,9,A)", heat, {});
    addRow("vattenfall header only", inlineData("ID,TIME,NAME,VALUE,UNIT,IDENT,ANLAGENUMMER\n"), false, "No data found",
           heat, {});
}

// The sample files, each with its expected records beside it.
void TestFormatFamilies::sampleFiles_data()
{
    addSampleRows({"eon_csv", "mpo_csv_01", "mpo_csv_02", "trend_csv", "singlemeterpoint_csv", "lertesbox_xml",
                   "ebix_vse_xml", "simple_csv_1", "simple_csv_2", "pchart_csv", "meteoschweiz_csv", "vattenfall_csv"});
}

void TestFormatFamilies::sampleFiles()
{
    QFETCH(QString, file);
    checkSample(file);
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
