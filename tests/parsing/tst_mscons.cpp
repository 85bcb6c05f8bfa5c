// MSCONS interchanges through DataParser::parse: envelope and control counts, service
// characters, the segment walk, identifiers, time stamps and every failure text. The local zone
// is fixed to Central European time, so local time and UTC differ.

#include "ParsingTestSupport.h"
#include "parsing/DataParser.h"
#include "parsing/formats/FormatParsers.h"

#include <QTest>

namespace {

using namespace ParsingTestSupport;
using Records = QList<DataParser::ValueRec>;

const QByteArray defaultUna = "UNA:+.? '";

// An interchange from sender S to recipient R with the given messages (segments without
// terminator, between UNH and UNT); the UNT and UNZ counts are computed unless overridden.
QByteArray interchange(const QList<QByteArrayList> &messages, const QByteArray &una = defaultUna)
{
    QByteArray out = una + "UNB+UNOC:3+S:500+R:500+180102:0805+REF1'";
    int n = 0;
    for (const QByteArrayList &body : messages) {
        ++n;
        out += "UNH+M" + QByteArray::number(n) + "+MSCONS:D:04B:UN:2.2e'";
        for (const QByteArray &segment : body)
            out += segment + '\'';
        out += "UNT+" + QByteArray::number(body.size() + 2) + "+M" + QByteArray::number(n) + '\'';
    }
    return out + "UNZ+" + QByteArray::number(messages.size()) + "+REF1'";
}

// A message body with one metering point and one OBIS code, followed by the given segments.
QByteArrayList lineItem(const QByteArrayList &values)
{
    return QByteArrayList{"BGM+7+DOC1+9", "UNS+D", "LOC+172+MP1", "LIN+1", "PIA+5+1-1?:1.29.0:SRW"} + values;
}

const QString mp1 = QStringLiteral("MP1_1.1.1.29.0|%1|kWh|+|%2|S-R|MP1|1-1:1.29.0");

} // namespace

class TestMscons : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void failures_data();
    void failures();
    void resultCodes();
    void recordsBeforeFailureStay();
    void timestampIsLocalTime();
    void samples_data();
    void samples();
};

void TestMscons::values_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("records");

    const QString v15 = mp1.arg(QStringLiteral("1.5"));
    QTest::newRow("zone part 303 with released plus")
        << interchange({lineItem({"QTY+220:1.5", "DTM+164:201801010015?+01:303"})})
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|") + v15.arg(0)};
    QTest::newRow("line breaks between and inside segments")
        << QByteArray("UNA:+.? '\r\nUNB+UNOC:3+S+R+1'\r\nUNH+1+MSCONS'\nBGM+7+1+9'\nLOC+172+MP1'\r\n"
                      "PIA+5+1-1?:1.29.0:SRW'\nQTY+220:1\r\n.5'\nDTM+164:2018010100\n15?+01:303'\nUNT+7+1'\nUNZ+1+1'\r\n\r\n")
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|") + v15.arg(0)};
    QTest::newRow("leading blank lines before UNB")
        << "\r\n\n" + interchange({lineItem({"QTY+220:1.5", "DTM+164:201801010015?+01:303"})}, QByteArray())
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|") + v15.arg(0)};
    QTest::newRow("DTM 9 counts, 163 is ignored, the last one wins")
        << interchange({lineItem({"QTY+220:1.5", "DTM+163:201801010000?+01:303", "DTM+9:201801010030?+01:303",
                                  "DTM+164:201801010045?+01:303", "DTM+163:201801010100?+01:303"})})
        << QStringList{QStringLiteral("2017-12-31T23:45:00Z|") + v15.arg(0)};
    QTest::newRow("DTM outside a value is not read, whatever its format")
        << interchange({QByteArrayList{"BGM+7+1+9", "DTM+137:garbage:999", "LOC+172+MP1", "PIA+5+1-1?:1.29.0:SRW",
                                       "DTM+164:201801010000?+01:303", "QTY+220:1.5", "DTM+164:201801010015?+01:303"}})
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|") + v15.arg(0)};

    // Time stamp formats; the local zone is CET/CEST.
    const auto at = [](const char *dtm) {
        return interchange({lineItem({"QTY+220:1.5", QByteArray("DTM+164:") + dtm})});
    };
    const auto utc = [&](const char *iso) { return QStringList{QLatin1String(iso) + u'|' + v15.arg(0)}; };
    QTest::newRow("102 local midnight") << at("20180101:102") << utc("2017-12-31T23:00:00Z");
    QTest::newRow("203 local winter") << at("201801010015:203") << utc("2017-12-31T23:15:00Z");
    QTest::newRow("203 local summer") << at("201807010015:203") << utc("2018-06-30T22:15:00Z");
    QTest::newRow("204 with seconds") << at("20180101001530:204") << utc("2017-12-31T23:15:30Z");
    QTest::newRow("205 plus hours and minutes") << at("201801010015?+0130:205") << utc("2017-12-31T22:45:00Z");
    QTest::newRow("205 minus") << at("201801010015-0200:205") << utc("2018-01-01T02:15:00Z");
    QTest::newRow("304 zero offset is UTC") << at("20180101001530?+00:304") << utc("2018-01-01T00:15:30Z");
    QTest::newRow("303 minus hours") << at("201801010015-05:303") << utc("2018-01-01T05:15:00Z");
    // Two-digit years are read as Qt's "yy" reads them: years of the 1900s (before 1990 refused).
    QTest::newRow("201 two-digit year") << at("9801010015:201") << utc("1997-12-31T23:15:00Z");
    QTest::newRow("202 two-digit year, seconds") << at("980101001530:202") << utc("1997-12-31T23:15:30Z");
    QTest::newRow("301 hours offset") << at("9801010015?+02:301") << utc("1997-12-31T22:15:00Z");
    QTest::newRow("302 minus hours") << at("980101001530-03:302") << utc("1998-01-01T03:15:30Z");
    QTest::newRow("text longer than the pattern") << at("2018010100159999:203") << utc("2017-12-31T23:15:00Z");

    // States: QTY 20 gives 1001, a listed STS 8 code after it 1002, the next value starts at 0.
    QTest::newRow("states")
        << interchange({lineItem({"QTY+20:1.5", "DTM+164:201801010015?+01:303", "QTY+20:1.5",
                                  "DTM+164:201801010030?+01:303", "STS+8::293:Z74", "QTY+220:1.5",
                                  "DTM+164:201801010045?+01:303", "STS+8::293:ZB9", "QTY+220:1.5",
                                  "DTM+164:201801010100?+01:303", "STS+8::293:ZZZ", "STS+8::Z74",
                                  "STS+7::293:Z74"})})
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|") + v15.arg(1001),
                       QStringLiteral("2017-12-31T23:30:00Z|") + v15.arg(1002),
                       QStringLiteral("2017-12-31T23:45:00Z|") + v15.arg(1002),
                       QStringLiteral("2018-01-01T00:00:00Z|") + v15.arg(0)};
    // STS 6 T<n> appends _<n> for n above 1, only to its own value.
    QTest::newRow("sequence suffix")
        << interchange({lineItem({"QTY+220:1", "DTM+164:201801010015?+01:303", "STS+6:T2::Z01", "QTY+220:2",
                                  "DTM+164:201801010015?+01:303", "STS+6:T1::Z01", "QTY+220:3",
                                  "DTM+164:201801010015?+01:303", "STS+6:T3"})})
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|MP1_1.1.1.29.0_2|1|kWh|+|0|S-R|MP1|1-1:1.29.0"),
                       QStringLiteral("2017-12-31T23:15:00Z|MP1_1.1.1.29.0|2|kWh|+|0|S-R|MP1|1-1:1.29.0"),
                       QStringLiteral("2017-12-31T23:15:00Z|MP1_1.1.1.29.0|3|kWh|+|0|S-R|MP1|1-1:1.29.0")};

    // Identifier: metering point, else meter number, else both locations, else the partners.
    const auto ident = [](const QByteArrayList &refs) {
        return interchange({QByteArrayList{"BGM+7+1+9"} + refs
                            + QByteArrayList{"LIN+1", "PIA+5+6-0?:1.0.0:SRW", "QTY+220:7", "DTM+164:20180101:102"}});
    };
    const auto rec = [](const char *base) {
        return QStringList{QStringLiteral("2017-12-31T23:00:00Z|%1_6.0.1.0.0|7|kWh|+|0|S-R|%1|6-0:1.0.0")
                               .arg(QLatin1String(base))};
    };
    QTest::newRow("metering point before meter number") << ident({"RFF+MG:M42", "LOC+172+MP9"}) << rec("MP9");
    QTest::newRow("meter number") << ident({"RFF+MG:M42", "LOC+237++L237", "LOC+107+L107"}) << rec("M42");
    QTest::newRow("both locations") << ident({"LOC+237++L237", "LOC+107+L107"}) << rec("L237_L107");
    QTest::newRow("one location only") << ident({"LOC+237++L237"}) << rec("S-R");
    QTest::newRow("nothing but the partners") << ident({"RFF+AGI:M42", "LOC+172"}) << rec("S-R");
    QTest::newRow("release sequences of other levels stay")
        << ident({"LOC+172+A?'B?+C?:D??"}) << rec("A'B+C:D??");
    QTest::newRow("PIA without SRW or not 5 is ignored")
        << interchange({QByteArrayList{"BGM+7+1+9", "LOC+172+MP1", "PIA+5+1-1?:1.29.0:SRW", "LIN+2",
                                       "PIA+1+1-1?:2.8.0:SRW", "PIA+5+1-1?:2.8.0:MP", "PIA+5+1-1?:2.8.0",
                                       "QTY+220:1.5", "DTM+164:201801010015?+01:303"}})
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|") + v15.arg(0)};
    QTest::newRow("no OBIS code: no identifier of its own")
        << interchange({QByteArrayList{"BGM+7+1+9", "LOC+172+MP1", "QTY+220:2", "DTM+164:20180101:102"}})
        << QStringList{QStringLiteral("2017-12-31T23:00:00Z||2||-|0|S-R|MP1|")};

    // Identifier parts and the accept flag carry over to the next message.
    QTest::newRow("parts and BGM carry over messages")
        << interchange({lineItem({"QTY+220:1.5", "DTM+164:201801010015?+01:303"}),
                        QByteArrayList{"BGM+7", "QTY+220:2.5", "DTM+164:201801010015?+01:303"}})
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|") + v15.arg(0),
                       QStringLiteral("2017-12-31T23:15:00Z|") + mp1.arg(QStringLiteral("2.5")).arg(0)};
    QTest::newRow("only messages with function 9 deliver")
        << interchange({QByteArrayList{"BGM+7+1+7", "LOC+172+MP1", "PIA+5+1-1?:1.29.0:SRW", "QTY+220:9",
                                       "DTM+164:201801010015?+01:303"},
                        lineItem({"QTY+220:1.5", "DTM+164:201801010015?+01:303"})})
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|") + v15.arg(0)};

    // Own service characters: component ^, element *, decimal mark ",", release #, terminator ~.
    QTest::newRow("own service characters")
        << QByteArray("UNA^*,# ~UNB*UNOC^3*S#*1^14*R#~2*180101^0100*7~UNH*1*MSCONS^D~BGM*7*1*9~LOC*172*M#^P~"
                      "PIA*5*1-1:1.8.0^SRW~QTY*220^1,5~DTM*164^201801010015?+01^303~QTY*220^2.5~"
                      "DTM*164^201801010015#*01^303~UNT*9*1~UNZ*1*7~")
        << QStringList{QStringLiteral("2017-12-31T23:15:00Z|M^P_1.1.1.8.0|1.5|kWh|-|0|S*1-R~2|M^P|1-1:1.8.0"),
                       // "*01" is no signed number of hours: the offset is 0
                       QStringLiteral("2018-01-01T00:15:00Z|M^P_1.1.1.8.0|2.5|kWh|-|0|S*1-R~2|M^P|1-1:1.8.0")};
}

void TestMscons::values()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, records);

    QString errorText = QStringLiteral("left over");
    Records out;
    QVERIFY2(DataParser::parse(input, errorText, out, QStringLiteral("-")), qPrintable(errorText));
    QCOMPARE(errorText, QString());
    QStringList got;
    for (const DataParser::ValueRec &r : std::as_const(out)) {
        QCOMPARE(r.importType, DataParser::IMPTYPE_MSCONS);
        QVERIFY(r.aks.isEmpty() && r.ipAddress.isEmpty() && r.flagList.isEmpty());
        got.append(describe(r));
    }
    QCOMPARE(got, records);
}

void TestMscons::failures_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("error");

    const QByteArray unb = "UNB+UNOC:3+S+R+1'";
    const QByteArrayList value{"QTY+220:1.5", "DTM+164:201801010015?+01:303"};
    const auto fail = [](const char *name, const QByteArray &input, const char *error) {
        QTest::newRow(name) << input << QString::fromLatin1(error);
    };

    fail("UNA too short", "UNA:+.? ", "Size for UNA does not fit");
    fail("UNA alone", "UNA:+.? '", "Not enough segments");
    fail("one segment", "UNB+UNOC:3+S+R+1'", "Not enough segments");
    fail("last segment unterminated", defaultUna + unb + "UNZ+0+1", "Invalid end of file");
    fail("text after the last terminator", defaultUna + unb + "UNZ+0+1'\r\nx\r\n", "Invalid end of file");
    fail("released last terminator", defaultUna + unb + "UNZ+0+1?'", "Invalid end of file");
    fail("short UNB", "UNB+UNOC:3+S'UNZ+0+1'", "Not enough elements for UNB: UNB+UNOC:3+S");
    fail("no UNB after UNA", "UNA:+.? 'UNX+UNOC:3+S+R'UNZ+0+1'", "No UNB: UNX+UNOC:3+S+R");
    // The service string advice counts only at the very start of the data.
    fail("blank line before UNA", "\r\nUNA:+.? 'UNB+UNOC:3+S+R'UNZ+0+1'", "Not enough elements for UNB: UNA:+.? ");
    fail("spaces before UNB", "  UNB+UNOC:3+S+R'UNZ+0+1'", "No UNB:   UNB+UNOC:3+S+R");
    fail("other character set", "UNB+UNOA:3+S+R'UNZ+0+1'", "No UNOC charset: UNB+UNOA:3+S+R");
    fail("short UNZ", unb + "UNZ'", "Not enough elements for UNZ: UNZ");
    fail("last segment not UNZ", unb + "UNH+1+MSCONS'UNT+2+1'", "No UNZ: UNT+2+1");
    fail("empty segment", unb + "UNH+1+MSCONS''UNT+3+1'UNZ+1+1'", "Not enough elements: ");
    fail("segment before UNH", unb + "BGM+7+1+9'UNH+1+MSCONS'UNT+3+1'UNZ+1+1'", "UNH is not first segment");
    fail("short UNH", unb + "UNH+1'UNT+2+1'UNZ+1+1'", "Not enough UNH elements: UNH+1");
    fail("other message type", unb + "UNH+1+INVOIC:D:96A'UNT+2+1'UNZ+1+1'",
         "Invalid INH message type: UNH+1+INVOIC:D:96A");
    fail("value not a number", interchange({lineItem({"QTY+220:1.2.3"})}), "Could not parse value: 1.2.3");
    fail("value not finite", interchange({lineItem({"QTY+220:nan"})}), "Could not parse value: nan");
    fail("year before 1990", interchange({lineItem({"QTY+220:1", "DTM+164:1801010015:201"})}),
         "Could not parse timestamp: 164:1801010015:201");
    fail("year after 2100", interchange({lineItem({"QTY+220:1", "DTM+164:210101010015?+00:303"})}),
         "Could not parse timestamp: 164:210101010015+00:303");
    fail("decimal comma shown replaced", interchange({lineItem({"QTY+220:1,5,5"})}, "UNA:+,? '"),
         "Could not parse value: 1.5.5");
    fail("unknown time format", interchange({lineItem({"QTY+220:1", "DTM+164:201801010015:999"})}),
         "Unknown timestamp: 164:201801010015:999");
    fail("month 13", interchange({lineItem({"QTY+220:1", "DTM+164:20181301:102"})}),
         "Could not parse timestamp: 164:20181301:102");
    fail("date text too short", interchange({lineItem({"QTY+220:1", "DTM+164:2018010100:203"})}),
         "Could not parse timestamp: 164:2018010100:203");
    fail("no time stamp before UNT", interchange({lineItem({"QTY+220:1", "DTM+163:20180101:102"})}),
         "No valid timestamp");
    fail("no time stamp before LIN", interchange({lineItem({"QTY+220:1", "LIN+2"})}), "No valid timestamp");
    fail("no time stamp before QTY", interchange({lineItem(QByteArrayList{"QTY+220:1", "QTY+220:2"} + value)}),
         "No valid timestamp");
    fail("short UNT", unb + "UNH+1+MSCONS'UNT'UNZ+1+1'", "Not enough UNT elements: UNT");
    fail("UNT count: UNT's figure first", unb + "UNH+1+MSCONS'BGM+7+1+9'UNT+2+1'UNZ+1+1'",
         "UNT control counter does not match: 2/3");
    fail("segments after the last UNT", unb + "UNH+1+MSCONS'UNT+2+1'BGM+7+1+9'UNZ+1+1'",
         "Additional records after UNT");
    fail("UNZ count: counted messages first", unb + "UNH+1+MSCONS'UNT+2+1'UNZ+3+1'", "Wrong message count: 1/3");
    fail("walk fault before count fault", unb + "UNH+1+MSCONS'UNT+3+1'UNZ+3+1'",
         "UNT control counter does not match: 3/2");
    fail("no original message", interchange({QByteArrayList{"BGM+7+1+7", "LOC+172+MP1"} + value}), "No data found");
    fail("no values", interchange({QByteArrayList{"BGM+7+1+9", "LOC+172+MP1"}}), "No data found");
}

void TestMscons::failures()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, error);

    QString errorText;
    Records out;
    QVERIFY(!DataParser::parse(input, errorText, out, QStringLiteral("-")));
    QCOMPARE(errorText, error);
}

// "No data found" is result 2, every other fault result 1.
void TestMscons::resultCodes()
{
    QString errorText;
    Records out;
    QCOMPARE(FormatParsers::parseMscons("UNB+UNOC:3+S+R'UNZ+0+1'", errorText, out), FormatParsers::ParseResult::NoData);
    QCOMPARE(errorText, QStringLiteral("No data found"));
    QCOMPARE(FormatParsers::parseMscons("UNB+UNOC:3+S+R'UNZ+1+1'", errorText, out), FormatParsers::ParseResult::Faulty);
    QCOMPARE(errorText, QStringLiteral("Wrong message count: 0/1"));
    QCOMPARE(FormatParsers::parseMscons(interchange({lineItem({"QTY+220:1", "DTM+164:20180101:102"})}), errorText, out), FormatParsers::ParseResult::Parsed);
}

void TestMscons::recordsBeforeFailureStay()
{
    const QByteArray input = interchange({lineItem({"QTY+220:1.5", "DTM+164:201801010015?+01:303"}),
                                          lineItem({"QTY+220:x"})});
    QString errorText;
    Records out;
    QVERIFY(!DataParser::parse(input, errorText, out, QStringLiteral("-")));
    QCOMPARE(errorText, QStringLiteral("Could not parse value: x"));
    QCOMPARE(out.size(), 1);
    QCOMPARE(out.first().value, 1.5);
}

// A time stamp read with a zone part is kept as local time, not as a time at that offset.
void TestMscons::timestampIsLocalTime()
{
    QString errorText;
    Records out;
    QVERIFY(DataParser::parse(interchange({lineItem({"QTY+220:1", "DTM+164:201801010015?+03:303"})}), errorText, out,
                              QStringLiteral("-")));
    QCOMPARE(out.first().timestamp.timeSpec(), Qt::LocalTime);
    QCOMPARE(out.first().timestamp, QDateTime(QDate(2017, 12, 31), QTime(22, 15), Qt::LocalTime));
}

// Each sample interchange with its expected records beside it.
void TestMscons::samples_data()
{
    addSampleRows({"mscons"});
}

void TestMscons::samples()
{
    QFETCH(QString, file);
    checkSample(file);
}

int main(int argc, char **argv)
{
    // Central European time with its summer time rule, for every year.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    QCoreApplication app(argc, argv);
    TestMscons test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mscons.moc"
