// Every meter-data format through DataParser::parse, so that the detection and the fallback
// chain take part in every case: MSCONS, the XML formats (LertesBox, ebIX VSE), the vendor CSV
// exports, the column tables, the weather and heat-meter files and the fallback line formats.
// Most cases are sample files under tests/data/<format>/ with their expected records beside
// them. The local zone is fixed to Central European time, so a time read as local time and one
// read as UTC differ in every expectation. Also here: the format detection itself, the import
// type names, the record reset, and time stamps on the two clock-change nights.

#include "ParsingTestSupport.h"
#include "parsing/FormatDetection.h"
#include "parsing/FormatTable.h"
#include "parsing/formats/FormatParsers.h"

#include <QCoreApplication>
#include <QTest>

using namespace ParsingTestSupport;

class TestFormatFamilies : public QObject
{
    Q_OBJECT

private slots:
    // "No data found" is result 2, every other fault result 1 (a good file is parsed in the next case).
    void msconsResultCodes()
    {
        QString errorText;
        FormatParsers::Records out;
        QCOMPARE(FormatParsers::parseMscons("UNB+UNOC:3+S+R'UNZ+0+1'", errorText, out), FormatParsers::ParseResult::NoData);
        QCOMPARE(errorText, QStringLiteral("No data found"));
        QCOMPARE(FormatParsers::parseMscons("UNB+UNOC:3+S+R'UNZ+1+1'", errorText, out), FormatParsers::ParseResult::Faulty);
        QCOMPARE(errorText, QStringLiteral("Wrong message count: 0/1"));
    }

    // A time stamp read with a zone part (here 00:15 at +03) is kept as local time, not as a time at
    // that offset.
    void msconsTimestampIsLocalTime()
    {
        QString errorText;
        QList<DataParser::ValueRec> out;
        QVERIFY(DataParser::parse("UNB+UNOC:3+S+R'UNH+1+MSCONS'BGM+7+1+9'LOC+172+MP'PIA+5+1-1?:1.29.0:SRW'QTY+220:1'"
                                  "DTM+164:201801010015?+03:303'UNT+7+1'UNZ+1+1'",
                                  errorText, out, QStringLiteral("-")));
        QCOMPARE(out.first().timestamp.timeSpec(), Qt::LocalTime);
        QCOMPARE(out.first().timestamp, QDateTime(QDate(2017, 12, 31), QTime(22, 15), Qt::LocalTime));
    }

    // Each sample with its expected results beside it; the name of a sample says which layout or
    // fault it carries. "hostile" holds files no meter writes (XML nested without end, "nan" and
    // "inf" values, years outside 1990..2100, steps of zero or less): each is refused with its text.
    void sampleFiles_data()
    {
        addSampleRows({"mscons", "lertesbox_xml", "ebix_vse_xml", "immobox_csv", "pvss_csv", "simple_csv_3", "msd_csv",
                       "froeschl_csv", "innosolv_csv", "siloveda_csv", "pirelportal_csv", "simple_csv_1", "simple_csv_2",
                       "pchart_csv", "meteoschweiz_csv", "vattenfall_csv", "eon_csv", "mpo_csv_01", "mpo_csv_02", "trend_csv",
                       "singlemeterpoint_csv", "hostile"});
    }

    void sampleFiles()
    {
        QFETCH(QString, file);
        checkSample(file);
    }

    // That the parser a rule selects really gets the file is shown by the sample files of
    // tst_formatfamilies, which all go through DataParser::parse and name the import type of their
    // records (or fail with the selected parser's own text): every rule with samples, each alternative
    // text of a rule, and the Latin-1 SILOVEDA signature against the same text in UTF-8. That every
    // signature text can be met at all is everySignatureCanMatch. The rules here are the order of
    // overlapping rules and the edges of the head (an IMMO-Box title not at the start is the
    // sample immobox_name_inside_the_title.csv).
    void head_data()
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

    void head()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, head);
        QCOMPARE(FormatDetection::head(data), head);
    }

    void rules_data()
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
        row("case-sensitive", "unb+unoc:3'", DataParser::IMPTYPE_NA);
        row("20 nothing matches", "a;b;c\n", DataParser::IMPTYPE_NA);
    }

    void rules()
    {
        QFETCH(QByteArray, data);
        QFETCH(DataParser::ImportType, type);
        QCOMPARE(FormatDetection::detect(FormatDetection::head(data)), type);
    }

    // A signature can only match what the head keeps, and only when no row before it takes the
    // same text: every alternative of every row, written as a file, comes back unchanged from the
    // head and selects its own row.
    void everySignatureCanMatch()
    {
        for (const FormatTable::Format &format : FormatTable::formats()) {
            for (const char16_t *text : format.signature.texts) {
                const QString signature = QStringView(text).toString();
                const QString head = FormatDetection::head(signature.toUtf8());
                QVERIFY2(head == signature, qPrintable(signature + QStringLiteral(" can never match, the head is ") + head));
                QCOMPARE(FormatDetection::detect(head), format.type);
            }
        }
    }

    void unknownFormat_data()
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

    void unknownFormat()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, error);

        QString errorText = QStringLiteral("left over from before");
        QList<DataParser::ValueRec> values;
        QVERIFY(!DataParser::parse(data, errorText, values, QStringLiteral("-")));
        QCOMPARE(errorText, error);
        QVERIFY(values.isEmpty());
    }

    void names_data()
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

    void names()
    {
        QFETCH(int, type);
        QFETCH(QString, configName);
        QFETCH(QString, displayName);
        QCOMPARE(DataParser::configName(type), configName);
        QCOMPARE(DataParser::displayName(type), displayName);
        QCOMPARE(DataParser::displayNames().size(), 26);
        QCOMPARE(DataParser::displayNames().value(type, QStringLiteral("?")), displayName);
    }

    void resetRecord()
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

    // Time stamps on the two clock-change nights of 2024: on 31 March local 02:00 to 03:00 does not
    // exist, on 27 October it happens twice. A time with a zone (or read as UTC) is an instant and is
    // read exactly; a local time the clock skips is moved past the gap.
    void clockChangeNights_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("utc");

        // One file text per format, each with a reading at 02:30 of the night.
        const QString table = QString::fromUtf8(readSample(QStringLiteral("clock_change/readings.txt")));
        for (const QString &line : table.split(u'\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(u'#'))
                continue;
            const QStringList fields = line.split(u'|'); // name, "zoned" or "local", text
            QVERIFY2(fields.size() == 3 && (fields.at(1) == QLatin1String("zoned") || fields.at(1) == QLatin1String("local")),
                     qPrintable(line));
            const bool zoned = fields.at(1) == QLatin1String("zoned");
            for (const bool spring : {true, false}) {
                QString text = fields.at(2);
                text.replace(QLatin1String("\\n"), QLatin1String("\n"));
                text.replace(QLatin1String("{M}"), QLatin1String(spring ? "03" : "10"));
                text.replace(QLatin1String("{D}"), QLatin1String(spring ? "31" : "27"));
                // A zoned reading is 02:30 UTC. A local 02:30 that the clock skips is read at the
                // winter offset (03:30 summer time); one that happens twice is taken at its first
                // occurrence (summer time), as Qt takes it.
                const QString night = QLatin1String(spring ? "2024-03-31T" : "2024-10-27T");
                const QString utc = night + QLatin1String(zoned ? "02:30:00Z" : spring ? "01:30:00Z" : "00:30:00Z");
                QTest::addRow("%s, %s", qPrintable(fields.at(0)), spring ? "spring" : "autumn") << text.toLatin1() << utc;
            }
        }
    }

    void clockChangeNights()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, utc);
        QString errorText;
        QList<DataParser::ValueRec> values;
        QVERIFY2(DataParser::parse(data, errorText, values, QStringLiteral("-")), qPrintable(errorText));
        QCOMPARE(values.first().timestamp.toUTC().toString(Qt::ISODate), utc);
    }
};

int main(int argc, char **argv)
{
    // Central European time with its daylight saving rule, independent of the machine's zone.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    QCoreApplication app(argc, argv);
    TestFormatFamilies test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_formatfamilies.moc"
