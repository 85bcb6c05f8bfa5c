// Every meter-data format through DataParser::parse, so that the detection and the fallback
// chain take part in every case: MSCONS, the XML formats (LertesBox, ebIX VSE), the vendor CSV
// exports, the column tables, the weather and heat-meter files and the fallback line formats.
// Most cases are sample files under tests/data/<format>/ with their expected records beside
// them. The local zone is fixed to Central European time, so a time read as local time and one
// read as UTC differ in every expectation.

#include "ParsingTestSupport.h"
#include "parsing/formats/FormatParsers.h"

#include <QCoreApplication>
#include <QTest>

using namespace ParsingTestSupport;

namespace {

// One MSCONS value at 00:15 written with a zone part of +03.
const QByteArray msconsAtPlusThree = "UNB+UNOC:3+S+R'UNH+1+MSCONS'BGM+7+1+9'LOC+172+MP'PIA+5+1-1?:1.29.0:SRW'QTY+220:1'"
                                     "DTM+164:201801010015?+03:303'UNT+7+1'UNZ+1+1'";

} // namespace

class TestFormatFamilies : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void immoBoxWarnings();
    void msconsResultCodes();
    void msconsTimestampIsLocalTime();
    void sampleFiles_data();
    void sampleFiles();
};

void TestFormatFamilies::initTestCase()
{
    QCOMPARE(QDateTime(QDate(2024, 1, 1), QTime(0, 15)).offsetFromUtc(), 3600);
    QCOMPARE(QDateTime(QDate(2025, 4, 1), QTime(0, 15)).offsetFromUtc(), 7200);
}

// Every skipped IMMO Box line is logged with its own text, in file order, and nothing else.
void TestFormatFamilies::immoBoxWarnings()
{
    logged().clear();
    QString errorText;
    QList<DataParser::ValueRec> out;
    QVERIFY(DataParser::parse("IMMO-Box\nDatum: 1.4.2025\nh\nC,00:15\nC,25:00:00,1,0\nC,00:30:00,,0\nC,00:45:00,x,0\n"
                              "C,01:00:00,2,0\n",
                              errorText, out, QStringLiteral("-")));
    QCOMPARE(out.size(), 1);
    const QStringList expected = {"Not enough data: C,00:15", "Could not parse timestamp: 1.4.2025 - C,25:00:00,1,0",
                                  "Empty value: C,00:30:00,,0", "Could not parse value: C,00:45:00,x,0"};
    const QStringList logLines = logged().joined(Kyr::LogWarning).split(u'\n');
    QCOMPARE(logLines.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(logLines.at(i).endsWith(expected.at(i)), qPrintable(logLines.at(i)));
}

// "No data found" is result 2, every other fault result 1 (a good file is parsed in the next case).
void TestFormatFamilies::msconsResultCodes()
{
    QString errorText;
    QList<DataParser::ValueRec> out;
    QCOMPARE(FormatParsers::parseMscons("UNB+UNOC:3+S+R'UNZ+0+1'", errorText, out), FormatParsers::ParseResult::NoData);
    QCOMPARE(errorText, QStringLiteral("No data found"));
    QCOMPARE(FormatParsers::parseMscons("UNB+UNOC:3+S+R'UNZ+1+1'", errorText, out), FormatParsers::ParseResult::Faulty);
    QCOMPARE(errorText, QStringLiteral("Wrong message count: 0/1"));
}

// A time stamp read with a zone part is kept as local time, not as a time at that offset.
void TestFormatFamilies::msconsTimestampIsLocalTime()
{
    QString errorText;
    QList<DataParser::ValueRec> out;
    QVERIFY(DataParser::parse(msconsAtPlusThree, errorText, out, QStringLiteral("-")));
    QCOMPARE(out.first().timestamp.timeSpec(), Qt::LocalTime);
    QCOMPARE(out.first().timestamp, QDateTime(QDate(2017, 12, 31), QTime(22, 15), Qt::LocalTime));
}

// Each sample with its expected results beside it; the name of a sample says which layout or
// fault it carries. "hostile" holds files no meter writes (XML nested without end, "nan" and
// "inf" values, years outside 1990..2100, steps of zero or less): each is refused with its text.
void TestFormatFamilies::sampleFiles_data()
{
    addSampleRows({"mscons", "lertesbox_xml", "ebix_vse_xml", "immobox_csv", "pvss_csv", "simple_csv_3", "msd_csv",
                   "froeschl_csv", "innosolv_csv", "siloveda_csv", "pirelportal_csv", "simple_csv_1", "simple_csv_2",
                   "pchart_csv", "meteoschweiz_csv", "vattenfall_csv", "eon_csv", "mpo_csv_01", "mpo_csv_02", "trend_csv",
                   "singlemeterpoint_csv", "hostile"});
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
