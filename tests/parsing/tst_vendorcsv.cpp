// The vendor CSV exports (IMMO Box, PVSS, Simple CSV 3, MSD, Froeschl, Innosolv, SILOVEDA,
// Pirel-Portal data rows), always through DataParser::parse so that the detection is part of
// every case. The local zone is fixed to Central European time, so a value read as local time
// and one read as UTC differ.

#include "ParsingTestSupport.h"
#include "parsing/DataParser.h"

#include <QCoreApplication>
#include <QTest>

namespace {

using namespace ParsingTestSupport;
using Records = QList<DataParser::ValueRec>;

} // namespace

class TestVendorCsv : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void detection_data();
    void detection();

    void immoBox_data();
    void immoBox() { checkParse(); }
    void immoBoxWarnings();

    void pvss_data();
    void pvss() { checkParse(); }

    void simpleCsv3_data();
    void simpleCsv3() { checkParse(); }

    void msd_data();
    void msd() { checkParse(); }

    void froeschl_data();
    void froeschl() { checkParse(); }

    void innosolv_data();
    void innosolv() { checkParse(); }

    void siloveda_data();
    void siloveda() { checkParse(); }

    void pirelPortal_data();
    void pirelPortal() { checkParse(); }

    void sampleFiles_data();
    void sampleFiles();

private:
    static void addColumns();
    static void checkParse();
};

void TestVendorCsv::initTestCase()
{
    QCOMPARE(QDateTime(QDate(2025, 4, 1), QTime(0, 15)).offsetFromUtc(), 7200);
}

void TestVendorCsv::addColumns()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("records");
}

void TestVendorCsv::checkParse()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, ok);
    QFETCH(QString, error);
    QFETCH(int, type);
    QFETCH(QStringList, records);
    compareParse(input, QStringLiteral("-"), ok, error, type, records);
}

// ---------------------------------------------------------------------------------------------
// Which parser the head selects: the first record's type, or the error text of the parser.

void TestVendorCsv::detection_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("error");

    QTest::newRow("blank lines before PVSS") << QByteArray("\r\n  \n\tSourceName:;x\nDPName:;A\n2025-04-01 00:15:00;1\n")
                                             << 9 << QString();
    QTest::newRow("Project: selects Simple CSV 3") << QByteArray("Project: Nord;A\nx\n01.04.2025 00:00;1\n") << 7 << QString();
    QTest::newRow("Tageswerte; selects Simple CSV 3") << QByteArray("Tageswerte;A\n01.04.2025 00:00;1\n") << 7 << QString();
    QTest::newRow("IMMO-Box inside the title") << QByteArray("Export der IMMO-Box 7\nDatum: 1.4.2025\nh\nC,00:15:00,1,0\n")
                                               << 15 << QString();
    QTest::newRow("blank inside the keyword of Innosolv")
        << QByteArray("Version ;1\nCreation;x\n\n\n\n\n;M\n;O\n;U\n01.04.2025 00:15;1\n") << 25 << QString();
    QTest::newRow("spaces before Kanal-Information")
        << QByteArray("   Kanal-Information\nBeschreibung;P\nBeschreibung;Q\nGer\xe4tenummer;1\n01.04.2025;00:15;1\n")
        << 10 << QString();
    QTest::newRow("semicolon and another layout reaches Pirel-Portal")
        << QByteArray(";just a note\nsecond line\n") << 0 << QStringLiteral("Can not be IMPTYPE_PIRELPORTAL_DATAROW_CSV");
    QTest::newRow("semicolon with one line reaches Pirel-Portal")
        << QByteArray(";") << 0 << QStringLiteral("Can not be IMPTYPE_PIRELPORTAL_DATAROW_CSV");
    QTest::newRow("empty first title goes to MSD, not Pirel-Portal")
        << QByteArray(";;Pump\n;kWh;kWh\n2025-04-01T00:15:00;1;2\n") << 0 << QStringLiteral("UNKNOWN");
    QTest::newRow("quoted Kanal-Information is no Froeschl head")
        << QByteArray("\"Kanal-Information\"\nBeschreibung;P\nBeschreibung;Q\nGer\xe4tenummer;1\n01.04.2025;00:15;1\n")
        << 0 << QStringLiteral("UNKNOWN");
    QTest::newRow("Latin-1 head after a blank line: detected, but the header is line 0")
        << QByteArray("\n Datum;Z\xe4hlerstand [MWh];V [m3];E9 [kWh];a;b\n31.03.2025;1;2;3;a;M\n") << 0
        << QStringLiteral("Not enough fields");
}

void TestVendorCsv::detection()
{
    QFETCH(QByteArray, input);
    QFETCH(int, type);
    QFETCH(QString, error);

    DataParser parser;
    QString errorText;
    Records out;
    const bool ok = parser.parse(input, errorText, out, QStringLiteral("-"));
    if (type != 0) {
        QVERIFY2(ok, qPrintable(errorText));
        QVERIFY(!out.isEmpty());
        QCOMPARE(int(out.first().importType), type);
    } else {
        QVERIFY(!ok);
        QVERIFY(out.isEmpty());
        compareError(errorText, error, input);
    }
}

// ---------------------------------------------------------------------------------------------

void TestVendorCsv::immoBox_data()
{
    addColumns();
    const QByteArray head = "IMMO-Box Export\nDatum: 1.4.2025\nKanal,Zeit,Wert,Status\n";

    QTest::newRow("day and time read as local time")
        << head + "1-1:1.8.0,00:15:00,12.5,0\n" << true << QString() << 15
        << QStringList{"2025-03-31T22:15:00Z|1-1:1 :8:0:|12.5||-|0|1-1:1.8.0||"};
    QTest::newRow("long code cut into three pieces")
        << head + "8-0:1.0.0*255,00:15:00,1,0\n" << true << QString() << 15
        << QStringList{"2025-03-31T22:15:00Z|8-0:1 :0:0*2:55|1||-|0|8-0:1.0.0*255||"};
    QTest::newRow("status compared after trimming, other status texts")
        << head + "C,00:15:00,1, 0 \nC,00:30:00,2,E\nC,00:45:00,3,00\n" << true << QString() << 15
        << QStringList{"2025-03-31T22:15:00Z|C :|1||-|0|C||", "2025-03-31T22:30:00Z|C :|2||-|6001|C||",
                       "2025-03-31T22:45:00Z|C :|3||-|6001|C||"};
    QTest::newRow("three fields without status are normal")
        << head + "C,00:15:00,7\n" << true << QString() << 15
        << QStringList{"2025-03-31T22:15:00Z|C :|7||-|0|C||"};
    QTest::newRow("blanks around the day, CRLF, blank lines")
        << QByteArray("IMMO-Box\r\nDatum:   1.4.2025  \r\nh\r\n\r\n  C,00:15:00,7,0  \r\n") << true << QString() << 15
        << QStringList{"2025-03-31T22:15:00Z|C :|7||-|0|C||"};
    QTest::newRow("no blank after Datum:") << QByteArray("IMMO-Box Export\nDatum:1.4.2025\nh\nC,00:15:00,1,0\n") << false
                                           << QStringLiteral("UNKNOWN") << 0 << QStringList();
    QTest::newRow("two lines are not this format") << QByteArray("IMMO-Box Export\nDatum: 1.4.2025") << false
                                                   << QStringLiteral("UNKNOWN") << 0 << QStringList();
    QTest::newRow("header only") << head << false << QStringLiteral("No data found") << 15 << QStringList();
}

void TestVendorCsv::immoBoxWarnings()
{
    warnings(true);
    DataParser parser;
    QString errorText;
    Records out;
    QVERIFY(parser.parse("IMMO-Box\nDatum: 1.4.2025\nh\nC,00:15\nC,25:00:00,1,0\nC,00:30:00,,0\nC,00:45:00,x,0\n"
                         "C,01:00:00,2,0\n",
                         errorText, out, QStringLiteral("-")));
    QCOMPARE(out.size(), 1);
    const QStringList expected = {"Not enough data: C,00:15", "Could not parse timestamp: 1.4.2025 - C,25:00:00,1,0",
                                  "Empty value: C,00:30:00,,0", "Could not parse value: C,00:45:00,x,0"};
    const QStringList logLines = warnings();
    QCOMPARE(logLines.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(logLines.at(i).endsWith(expected.at(i)), qPrintable(logLines.at(i)));
}

// ---------------------------------------------------------------------------------------------

void TestVendorCsv::pvss_data()
{
    addColumns();
    const QByteArray head = "SourceName:;x\nDPName:;A_B;C\nUnit:;kWh\n";

    QTest::newRow("descriptions by column, CRLF and indented lines")
        << QByteArray("SourceName:;x\r\n DPName:;P_1;P_2 \r\nDescription:;Pump 1\r\n  2025-04-01 00:15:00;1;2  \r\n")
        << true << QString() << 9
        << QStringList{"2025-03-31T22:15:00Z|P:1|1||-|0|Pump 1||", "2025-03-31T22:15:00Z|P:2|2||-|0|||"};
    QTest::newRow("later header replaces the list")
        << QByteArray("SourceName:;x\nDPName:;X\n2025-04-01 00:15:00;1\nDPName:;Y\n2025-04-01 00:30:00;2\n") << true
        << QString() << 9 << QStringList{"2025-03-31T22:15:00Z|X|1||-|0|||", "2025-03-31T22:30:00Z|Y|2||-|0|||"};
    QTest::newRow("more values than names")
        << head + "2025-04-01 00:15:00;1;2;3\n" << false
        << QStringLiteral("Field # out of range (no RDS): 2025-04-01 00:15:00;1;2;3") << 9
        << QStringList{"2025-03-31T22:15:00Z|A:B|1|kWh|-|0|||", "2025-03-31T22:15:00Z|C|2||-|0|||"};
    QTest::newRow("bad value skips one field, last fault is reported")
        << head + "2025-04-01 00:15:00;x;2\n2025-04-01 00:30:00;3;\n" << false
        << QStringLiteral("Could not parse value: 2025-04-01 00:30:00;3;") << 9
        << QStringList{"2025-03-31T22:15:00Z|C|2||-|0|||", "2025-03-31T22:30:00Z|A:B|3|kWh|-|0|||"};
    QTest::newRow("only faulty data lines keep their own text")
        << QByteArray("SourceName:;x\nDPName:;A\n2025-04-01;1\n") << false
        << QStringLiteral("Could not parse timestamp: 2025-04-01;1") << 9 << QStringList();
}

// ---------------------------------------------------------------------------------------------

void TestVendorCsv::simpleCsv3_data()
{
    addColumns();
    QTest::newRow("apostrophe in the title, blanks trimmed")
        << QByteArray("Project: ; Meter'1 ;B\nx\ny\nz\n; m3 \n 01.04.2025 00:15 ; 4 ;\n") << true << QString() << 7
        << QStringList{"2025-03-31T22:15:00Z|Meter:1|4|m3|-|0|Meter'1||"};
    QTest::newRow("unit line is counted with empty lines")
        << QByteArray("Tageswerte;A\n\nx\ny\n;MWh\n01.04.2025 00:00;1\n") << true << QString() << 7
        << QStringList{"2025-03-31T22:00:00Z|A|1|MWh|-|0|A||"};
    QTest::newRow("no unit line when line 4 holds data")
        << QByteArray("Tageswerte;A\n;kWh\n01.04.2025 00:00;1\n01.04.2025 00:15;2\n") << true << QString() << 7
        << QStringList{"2025-03-31T22:00:00Z|A|1||-|0|A||", "2025-03-31T22:15:00Z|A|2||-|0|A||"};
    QTest::newRow("bad time stamp before line 4 is ignored")
        << QByteArray("Tageswerte;A\n32.03.2025 00:00;9\nx\ny\n;kWh\n01.04.2025 00:00;1\n") << true << QString() << 7
        << QStringList{"2025-03-31T22:00:00Z|A|1|kWh|-|0|A||"};
    QTest::newRow("bad value keeps later columns of the line, then stops")
        << QByteArray("Tageswerte;A;B\n01.04.2025 00:00;x;2\n01.04.2025 00:15;3;4\n") << false
        << QStringLiteral("Could not parse value: 01.04.2025 00:00;x;2") << 7
        << QStringList{"2025-03-31T22:00:00Z|B|2||-|0|B||"};
    QTest::newRow("empty values store nothing")
        << QByteArray("Tageswerte;A;B\n01.04.2025 00:00; ;2\n") << true << QString() << 7
        << QStringList{"2025-03-31T22:00:00Z|B|2||-|0|B||"};
    QTest::newRow("titles only") << QByteArray("Tageswerte;A;B\n\n") << false << QStringLiteral("No data found") << 7
                                 << QStringList();
    QTest::newRow("only question marks") << QByteArray("Tageswerte;A\n01.04.2025 00:00;?\n") << false
                                         << QStringLiteral("No data found") << 7 << QStringList();
}

// ---------------------------------------------------------------------------------------------

void TestVendorCsv::msd_data()
{
    addColumns();
    const QByteArray head = ";;Z42\n;;Boiler house\n;;x\n;;x\n;;1.8.0\n";

    QTest::newRow("UTC time that local time skips, blanks trimmed")
        << QByteArray(" ;; Z42 ;;\r\n;;Boiler house\r\n;;x\r\n;;x\r\n;;1.8.0\r\n\r\n 30.03.2025 ; 02:15:00 ; 1 \r\n") << true
        << QString() << 11 << QStringList{"2025-03-30T02:15:00Z|Z42:1.8.0|1|kWh|+|0|Boiler house|Z42|"};
    QTest::newRow("line 3 without two semicolons is not this format")
        << QByteArray(";;Z42\n;;Boiler house\n;;x\n;x\n;;1.8.0\n01.04.2025;00:15:00;1\n") << false
        << QStringLiteral("UNKNOWN") << 0 << QStringList();
    QTest::newRow("empty meter: success without records")
        << QByteArray(";;\n;;Boiler house\n;;x\n;;x\n;;1.8.0\n01.04.2025;00:15:00;1\n") << true << QString() << 11
        << QStringList();
    QTest::newRow("bad time stamp stops") << head + "01.04.2025;00:15;1\n" << false
                                          << QStringLiteral("Could not parse timestamp: 01.04.2025;00:15;1") << 11
                                          << QStringList();
    QTest::newRow("empty value stops") << head + "01.04.2025;00:15:00; \n" << false
                                       << QStringLiteral("Empty value: 01.04.2025;00:15:00;") << 11 << QStringList();
    QTest::newRow("bad value stops") << head + "01.04.2025;00:15:00;1,5,0\n" << false
                                     << QStringLiteral("Could not parse value: 01.04.2025;00:15:00;1,5,0") << 11
                                     << QStringList();
    QTest::newRow("header only") << head << false << QStringLiteral("No data found") << 11 << QStringList();
}

// ---------------------------------------------------------------------------------------------

void TestVendorCsv::froeschl_data()
{
    addColumns();
    // Written the way a Latin-1 system writes it: the "ä" is the single byte E4.
    const QByteArray latin1Head =
        "Kanal-Information\nBeschreibung;Heat North\nBeschreibung;School\nGer\xe4tenummer;77\nEinheit;kWh\nNachname;Muster\n";

    QTest::newRow("power unit is not an interval amount, empty texts become ?")
        << QByteArray("Kanal-Information\nBeschreibung;\nBeschreibung; \nGer\xe4tenummer;\nEinheit;kW\nNachname;\n"
                      "01.04.2025;00:15;7\n")
        << true << QString() << 10 << QStringList{"2025-04-01T00:15:00Z|?:?:?|7|kW|-|0||?|"};
    QTest::newRow("keys are case-sensitive, third description is the location")
        << latin1Head + "beschreibung;ignored\nBeschreibung;Gym\n01.04.2025;00:15;1\n" << true << QString() << 10
        << QStringList{"2025-04-01T00:15:00Z|Gym:77:Heat North|1|kWh|+|0|Muster|77|"};
    QTest::newRow("text after a reading stops")
        << latin1Head + "01.04.2025;00:15;1\nSumme;2\n01.04.2025;00:30;1\n" << false
        << QStringLiteral("Could not parse timestamp: Summe;2") << 10
        << QStringList{"2025-04-01T00:15:00Z|School:77:Heat North|1|kWh|+|0|Muster|77|"};
    QTest::newRow("short lines are skipped, reading without value stops")
        << latin1Head + "Ende\n01.04.2025;00:15\n" << false << QStringLiteral("No value field: 01.04.2025;00:15") << 10
        << QStringList();
    QTest::newRow("empty value stops") << latin1Head + "01.04.2025;00:15; \n" << false
                                       << QStringLiteral("Empty value: 01.04.2025;00:15;") << 10 << QStringList();
    QTest::newRow("bad value stops") << latin1Head + "01.04.2025;00:15;n/a\n" << false
                                     << QStringLiteral("Could not parse value: 01.04.2025;00:15;n/a") << 10
                                     << QStringList();
    QTest::newRow("bad value overrides the missing-field text")
        << QByteArray("Kanal-Information\nBeschreibung;P\n01.04.2025;00:15;x\n") << false
        << QStringLiteral("Could not parse value: 01.04.2025;00:15;x") << 10 << QStringList();
    QTest::newRow("header only") << latin1Head << false << QStringLiteral("No data found") << 10 << QStringList();
}

// ---------------------------------------------------------------------------------------------

void TestVendorCsv::innosolv_data()
{
    addColumns();
    const QByteArray head = "Version;1\nCreation;x\n2\n3\n4\n5\n";

    QTest::newRow("interval units by ending and by slash")
        << head + ";A;B;C\n;o;o;o\n;MWH;m3/h;kW\n01.04.2025 00:15;1;2;3\n" << true << QString() << 25
        << QStringList{"2025-03-31T22:15:00Z|A|1|MWH|+|0|||o", "2025-03-31T22:15:00Z|B|2|m3/h|+|0|||o",
                       "2025-03-31T22:15:00Z|C|3|kW|-|0|||o"};
    QTest::newRow("short and headless data lines are skipped")
        << head + ";A\n;o\n;kWh\n01.04.2025 00:15\n;5\n\n01.04.2025 00:30;2\n" << true << QString() << 25
        << QStringList{"2025-03-31T22:30:00Z|A|2|kWh|+|0|||o"};
    QTest::newRow("one line") << QByteArray("Version;1") << false << QStringLiteral("Not enough lines") << 0
                              << QStringList();
    QTest::newRow("OBIS titles too short")
        << head + ";A;B\n;o\n;u;u\n01.04.2025 00:15;1;2\n" << false
        << QStringLiteral("Field index (2) out of range (obis): 01.04.2025 00:15;1;2") << 25
        << QStringList{"2025-03-31T22:15:00Z|A|1|u|-|0|||o"};
    QTest::newRow("unit titles too short")
        << head + ";A\n;o\n\n01.04.2025 00:15;1\n" << false
        << QStringLiteral("Field index (1) out of range (units): 01.04.2025 00:15;1") << 25 << QStringList();
    QTest::newRow("bad time stamp stops")
        << head + ";A\n;o\n;u\n01.04.2025;1\n" << false
        << QStringLiteral("Could not parse timestamp (01.04.2025): 01.04.2025;1") << 25 << QStringList();
    QTest::newRow("bad value stops")
        << head + ";A;B\n;o;o\n;u;u\n01.04.2025 00:15;1;x\n01.04.2025 00:30;1;2\n" << false
        << QStringLiteral("Could not parse value (x) on field index 2: 01.04.2025 00:15;1;x") << 25
        << QStringList{"2025-03-31T22:15:00Z|A|1|u|-|0|||o"};
    QTest::newRow("titles only") << head + ";A\n;o\n;u\n" << false << QStringLiteral("No data found") << 25
                                 << QStringList();
}

// ---------------------------------------------------------------------------------------------

void TestVendorCsv::siloveda_data()
{
    addColumns();
    const QByteArray head = "Datum;Z\xe4hlerstand [MWh];Volumen [m3];E9 [kWh];x;Z\xe4hler\n";

    QTest::newRow("unit between the last bracket pair, none without brackets")
        << QByteArray("Datum;Z\xe4hlerstand [kWh] [MWh];Volumen;E9 [a]b];x;y\n31.03.2025;1;2;3;x;M\n") << true
        << QString() << 23
        << QStringList{"2025-03-31T21:45:00Z|SILOVEDA:M:ENERGIE|1|MWh|-|0||M|",
                       "2025-03-31T21:45:00Z|SILOVEDA:M:VOLUMEN|2||-|0||M|",
                       "2025-03-31T21:45:00Z|SILOVEDA:M:E9|3|a]b|-|0||M|"};
    QTest::newRow("five data fields stop") << head + "31.03.2025;12,5;3;0;M7A\n" << false
                                           << QStringLiteral("Not enough data fields: 31.03.2025;12,5;3;0;M7A") << 23
                                           << QStringList();
    QTest::newRow("trailing separator leaves five fields") << head + "31.03.2025;1;2;3;x;\n" << false
                                                           << QStringLiteral("Not enough data fields: 31.03.2025;1;2;3;x;")
                                                           << 23 << QStringList();
    QTest::newRow("bad day stops")
        << head + "31.3.2025;1;2;3;x;M\n" << false
        << QStringLiteral("Could not parse timestamp on line '31.3.2025;1;2;3;x;M' (31.3.2025)") << 23 << QStringList();
    QTest::newRow("header only") << head << false << QStringLiteral("No data found") << 23 << QStringList();
}

// ---------------------------------------------------------------------------------------------

void TestVendorCsv::pirelPortal_data()
{
    addColumns();

    QTest::newRow("zone designators, quoted titles and values, empty value")
        << QByteArray(";\"Boiler; North\";Pump\n;m3/h\n2025-04-01T00:15:00Z;\"1,5\";\n"
                      "2025-04-01T00:15:00+02:00;; 2 \n")
        << true << QString() << 20
        << QStringList{"2025-04-01T00:15:00Z|Boiler; North|1.5|m3/h|+|0|Boiler; North||",
                       "2025-03-31T22:15:00Z|Pump|2||-|0|Pump||"};
    QTest::newRow("bad time stamp stops")
        << QByteArray(";Boiler\n;kWh\n2025-04-01T00:15:00;1\n01.04.2025 00:30;2\n") << false
        << QStringLiteral("Could not parse timestamp: *01.04.2025 00:30*)") << 20
        << QStringList{"2025-03-31T22:15:00Z|Boiler|1|kWh|+|0|Boiler||"};
    QTest::newRow("bad value keeps the line's good columns, then stops")
        << QByteArray(";A;B\n;u;u\n2025-04-01T00:15:00;x;2\n2025-04-01T00:30:00;3;4\n") << false
        << QStringLiteral("Could not parse value: *x*)") << 20 << QStringList{"2025-03-31T22:15:00Z|B|2|u|-|0|B||"};
    QTest::newRow("lines with one field are skipped")
        << QByteArray(";A\n;u\n2025-04-01T00:15:00\n\n2025-04-01T00:30:00;3\n") << true << QString() << 20
        << QStringList{"2025-03-31T22:30:00Z|A|3|u|-|0|A||"};
    QTest::newRow("titles only") << QByteArray(";A\n;u") << false << QStringLiteral("No data found") << 20
                                 << QStringList();
}

// ---------------------------------------------------------------------------------------------
// The sample exports under tests/data, each with its expected records beside it.

void TestVendorCsv::sampleFiles_data()
{
    addSampleRows({"immobox_csv", "pvss_csv", "simple_csv_3", "msd_csv", "froeschl_csv", "innosolv_csv", "siloveda_csv",
                   "pirelportal_csv"});
}

void TestVendorCsv::sampleFiles()
{
    QFETCH(QString, file);
    checkSample(file);
}

int main(int argc, char **argv)
{
    // Central European time with its daylight saving rule, independent of the machine's zone.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    QCoreApplication app(argc, argv);
    TestVendorCsv test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_vendorcsv.moc"
