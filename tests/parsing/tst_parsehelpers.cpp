// The helpers shared by the format parsers: CSV and EDIFACT splitting, the unit and product
// tables, the fast number and time readers, gunzip, and the road from file bytes to records.

#include "ParsingTestSupport.h"
#include "parsing/DataFileReader.h"
#include "parsing/FieldReaders.h"
#include "parsing/Gunzip.h"
#include "parsing/HeldRecords.h"
#include "parsing/ParseHelpers.h"
#include "parsing/RecordCsvWriter.h"
#include "parsing/formats/SegmentPieces.h"
#include "parsing/formats/SegmentScanner.h"

#include <QProcess>
#include <QTemporaryFile>
#include <QTimeZone>
#include <QTest>

#include <cmath>
#include <limits>

using TextFunction = QString (*)(const QString &);
Q_DECLARE_METATYPE(TextFunction)

// A data file as the mail hands it over, and what the reader makes of it.
struct RoadCase
{
    QString name;
    QByteArray bytes;
    bool convert;        // the part's charset is to be converted
    QString charset;
    qint64 limit;        // bytes at most after unpacking
    bool parsed;
    QString problem;     // gunzip, tail (data after the last member), codec or the error text
    QByteArray dataHas;  // bytes the parser must have seen
};
Q_DECLARE_METATYPE(RoadCase)

class TestParseHelpers : public QObject
{
    Q_OBJECT

private slots:
    void splitQuoted_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");

        QTest::newRow("plain") << "a;b;c" << QStringList{"a", "b", "c"};
        QTest::newRow("empty fields in the middle stay") << ";a;;b" << QStringList{"", "a", "", "b"};
        QTest::newRow("trailing separator gives no field") << "a;b;" << QStringList{"a", "b"};
        QTest::newRow("trailing empty quotes give no field") << "a;\"\"" << QStringList{"a"};
        QTest::newRow("separator inside quotes") << "\"a;b\";c" << QStringList{"a;b", "c"};
        QTest::newRow("doubled quote") << "\"say \"\"hi\"\"\";x" << QStringList{"say \"hi\"", "x"};
        QTest::newRow("quotes in the middle of a field") << "ab\"c;d\"e;f" << QStringList{"abc;de", "f"};
        QTest::newRow("unclosed quote runs to the end") << "\"a;b" << QStringList{"a;b"};
        QTest::newRow("empty line") << "" << QStringList{};
    }

    void splitQuoted()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        QCOMPARE(ParseHelpers::splitQuoted(line, u';', u'"'), fields);
    }

    void splitEdifact_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("start");
        QTest::addColumn<char>("separator");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<bool>("clean");

        const auto row = [](const char *name, const QByteArray &data, char separator, const QStringList &pieces, bool clean,
                            int start = 0) { QTest::newRow(name) << data << start << separator << pieces << clean; };
        row("segments", "UNB+1'UNZ+1'", '\'', {"UNB+1", "UNZ+1"}, true);
        row("from an offset", "UNA:+.? 'A'B'", '\'', {"A", "B"}, true, 9);
        row("line breaks skipped anywhere", "\r\nA\r\nB'\nC'\r\n", '\'', {"AB", "C"}, true);
        row("rest after the last separator", "A'B", '\'', {"A", "B"}, false);
        row("empty pieces are kept", "A''B'", '\'', {"A", "", "B"}, true);
        row("released separator", "A?'B'C'", '\'', {"A'B", "C"}, true);
        row("released release ends the piece", "A?" "?'B'", '\'', {"A??", "B"}, true);
        row("other levels stay escaped", "A?+B?:C'", '\'', {"A?+B?:C"}, true);
        row("elements", "DTM+164:2018?+01:303", '+', {"DTM", "164:2018+01:303"}, false);
        row("trailing separator", "BGM+7+", '+', {"BGM", "7"}, true);
        row("release before a line break", "A?\r\n'B'", '\'', {"A'B"}, true);
        row("only line breaks", "\r\n\r\n", '\'', {}, true);
        row("Latin-1 bytes", "Z\xE4hler'", '\'', {"Z\u00E4hler"}, true);
        row("line feed as separator", "A\r\nB\n", '\n', {"A", "B"}, true);
        row("release, line break, release", "A?\r\n?'B'", '\'', {"A??", "B"}, true);
        row("release as the last byte", "A'?", '\'', {"A", "?"}, false);
        row("released separators of both levels", "QTY+1?+2:3?:4+5::+", '+', {"QTY", "1+2:3?:4", "5::"}, true);
        row("more elements than one pass holds", QByteArray("A+").repeated(33), '+', QStringList(33, "A"), true);
    }

    void splitEdifact()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, start);
        QFETCH(char, separator);
        QFETCH(QStringList, pieces);
        QFETCH(bool, clean);

        QStringList got;
        QCOMPARE(ParseHelpers::splitEdifact(data, start, separator, '?', got), clean);
        QCOMPARE(got, pieces);

        // The MSCONS reader's segment scanner gives the same pieces.
        std::string cleaned;
        got.clear();
        QCOMPARE(SegmentScanner::forEach(data, start, separator, '?', cleaned,
                                         [&got](QByteArrayView piece) { got.append(QString::fromLatin1(piece)); }),
                 clean);
        QCOMPARE(got, pieces);

        // So does its search for the last segment from the end of the data.
        if (!SegmentScanner::needsGeneralSplitter(separator, '?')) {
            const SegmentScanner::LastSegment last = SegmentScanner::lastSegment(data, start, separator, '?');
            QCOMPARE(last.endsCleanly, clean);
            if (clean && !pieces.isEmpty()) {
                QCOMPARE(last.first, pieces.size() == 1);
                got.clear();
                SegmentScanner::forEach(QByteArrayView(data).first(last.end + 1), last.begin, separator, '?', cleaned,
                                        [&got](QByteArrayView piece) { got.append(QString::fromLatin1(piece)); });
                QCOMPARE(got, pieces.mid(pieces.size() - 1));
            }
        }

        // The segment pieces give the same elements, and for each the same components, as the
        // general splitter at either level.
        if (separator == ':')
            return;
        SegmentPieces::Splitter splitter;
        splitter.setServiceCharacters(separator, ':', '?');
        splitter.split(QByteArrayView(data).sliced(start));
        QCOMPARE(splitter.elementCount(), pieces.size());
        for (qsizetype e = 0; e < splitter.elementCount(); ++e) {
            QStringList components;
            ParseHelpers::splitEdifact(splitter.elementAt(e), 0, ':', '?', components);
            QStringList gotComponents;
            for (const QByteArrayView component : splitter.components(e))
                gotComponents.append(QString::fromLatin1(component));
            QCOMPARE(gotComponents, components);
            QCOMPARE(QString::fromLatin1(splitter.elementAt(e)), pieces[e]);
        }
    }

    void obisUnit_data()
    {
        QTest::addColumn<QString>("obis");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("increment");
        // Codes of the MSCONS and MPO CSV 02 samples (1-1:1.8.0, 1-1:1.29.0, 6-0:1.0.0 ...) are checked there.

        QTest::newRow("D 9 is an amount") << "1-0:2.9.0" << "kWh" << true;
        QTest::newRow("reactive") << "1-1:3.8.0" << "kvarh" << false;
        QTest::newRow("apparent") << "1-1:9.8.0" << "kVA" << false;
        QTest::newRow("current") << "1-0:31.7.0" << "A" << false;
        QTest::newRow("voltage") << "1-0:92.7.0" << "V" << false;
        QTest::newRow("frequency") << "1-0:34.7.0" << "Hz" << false;
        QTest::newRow("heat volume") << "6-0:2.0.0" << "m³" << false;
        QTest::newRow("cooling mass") << "5-0:7.0.0" << "kg" << false;
        QTest::newRow("heat temperature") << "6-0:11.0.0" << "°C" << false;
        QTest::newRow("heat other") << "6-0:8.0.0" << "" << false;
        QTest::newRow("gas calorific value") << "7-0:54.0.0" << "kWh/m³" << false;
        QTest::newRow("gas energy interval") << "7-0:33.33.0" << "kWh" << true;
        QTest::newRow("gas temperature") << "7-0:41.0.0" << "°C" << false;
        QTest::newRow("gas volume D 21") << "7-20:3.21.0" << "m³" << true;
        QTest::newRow("water litres") << "16-0:128.0.0" << "l" << false;
        QTest::newRow("water") << "16-0:1.0.0" << "m³" << false;
        QTest::newRow("unknown medium") << "8-0:1.29.0" << "" << false;
        QTest::newRow("four parts only") << "1-1:1.29" << "" << false;
        // Also the electricity default: C too big for an int is read as 0, not wrapped to 1.
        QTest::newRow("too big counts as 0") << "1-1:4294967297.8.0" << "" << false;
    }

    void obisUnit()
    {
        QFETCH(QString, obis);
        QFETCH(QString, unit);
        QFETCH(bool, increment);
        bool inc = !increment;
        QCOMPARE(ParseHelpers::obisUnit(obis, inc), unit);
        QCOMPARE(inc, increment);
    }

    // Texts looked up or picked out of a text: EDIFACT unit codes, product codes and the charset
    // of a MIME part's Content-Type attributes.
    void textLookups_data()
    {
        QTest::addColumn<TextFunction>("function");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");

        const TextFunction unit = &ParseHelpers::ediUnit;
        QTest::newRow("unit K3") << unit << "K3" << "kvarh";
        QTest::newRow("unit KWT") << unit << "KWT" << "kW";
        QTest::newRow("unit KVR") << unit << "KVR" << "kvar";
        QTest::newRow("unit MIN") << unit << "MIN" << "min";
        QTest::newRow("unit codes are case-sensitive") << unit << "kwh" << "";
        const TextFunction product = &ParseHelpers::productName;
        QTest::newRow("product: first in the table") << product << "8716867000016" << "Power active";
        QTest::newRow("product: last in the table") << product << "8716867000146" << "Energy reactive inductive";
        QTest::newRow("unknown product stays") << product << "8716867000999" << "8716867000999";
        const TextFunction charset = &DataFileReader::charsetFromAttributes;
        QTest::newRow("charset quoted, before a name") << charset << "charset=\"us-ascii\"; name=\"a.csv\"" << "US-ASCII";
        QTest::newRow("charset as the last entry") << charset << "name=a.csv; Charset=iso-8859-1" << "ISO-8859-1";
        QTest::newRow("charset as the only entry") << charset << "CHARSET=windows-1252" << "WINDOWS-1252";
        QTest::newRow("charset without value: the search goes on") << charset << "charset=; charset=utf-16" << "UTF-16";
        QTest::newRow("no charset") << charset << "name=a.csv" << "";
    }

    void textLookups()
    {
        QFETCH(TextFunction, function);
        QFETCH(QString, text);
        QFETCH(QString, result);
        QCOMPARE(function(text), result);
    }

    // The fast readers of the line-oriented format parsers must accept exactly the texts Qt's own
    // readers accept, with the same result: numbers against QByteArray::toDouble (with the decimal
    // comma read as a point), times against QDateTime::fromString with the same pattern.
    void numbersAsQtReadsThem_data()
    {
        QTest::addColumn<QByteArray>("text");
        for (const char *text : {"1.5", "1,5", "-0,25", "0", "-0", "12345678.125", " 2.5 ", "+3", "1e3", "1E-3", "1.", ".5",
                                 "-.5", "-", "", ".", ",", "abc", "1.2.3", "1,2,3", "0x10", "inf", "-inf", "nan", "1e400",
                                 "1e-400", "12345678901234567890123", "1 5", "5kWh", "007", "1e", "--1"})
            QTest::newRow(text[0] ? text : "(empty)") << QByteArray(text);
        QTest::newRow("64 digits") << QByteArray(64, '7');
        QTest::newRow("63 digits and a comma") << QByteArray(62, '1') + ",5";
    }

    void numbersAsQtReadsThem()
    {
        QFETCH(QByteArray, text);
        QByteArray reference = text;
        reference.replace(',', '.');
        bool expectedOk = false;
        const double expected = reference.toDouble(&expectedOk);
        expectedOk = expectedOk && std::isfinite(expected); // "nan" and "inf" are no meter values

        double value = 0.0;
        QCOMPARE(FieldReaders::parseCDouble(QByteArrayView(text), value), expectedOk);
        QVERIFY2(!expectedOk || value == expected, qPrintable(QStringLiteral("%1 != %2").arg(value).arg(expected)));

        // Without the decimal comma a "," makes the text unreadable.
        bool strictOk = false;
        const double strict = text.toDouble(&strictOk);
        strictOk = strictOk && std::isfinite(strict);
        QCOMPARE(FieldReaders::parseCDouble(QByteArrayView(text), value, FieldReaders::DecimalComma::NotANumber), strictOk);
        QVERIFY2(!strictOk || value == strict, qPrintable(QStringLiteral("%1 != %2").arg(value).arg(strict)));
    }

    // The CSV writer's own number and time formatting against Qt's text of the same value and
    // time: ties at the 15th digit, signed zero, values past 15 digits, times on both clock-change
    // nights, at negative offsets and outside four-digit years.
    void csvLinesAsQtWritesThem_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QDateTime>("time");
        const QDateTime winter(QDate(2024, 1, 1), QTime(0, 15));
        const QTimeZone cet("Europe/Berlin");
        for (const double value : {1.234, 0.0, -0.0, 19.99298095703125, 123456789.123456789, 1e15, 1e16, 1e-5, 1e-4,
                                   -2.5e300, 1.0 / 3, std::numeric_limits<double>::infinity(), std::nan("")})
            QTest::newRow(qPrintable(QStringLiteral("value %1").arg(value, 0, 'g', 17))) << value << winter;
        const QList<QDateTime> times{
            QDateTime(QDate(2024, 3, 31), QTime(1, 59, 59), cet), QDateTime(QDate(2024, 3, 31), QTime(3, 0), cet),
            QDateTime(QDate(2024, 10, 27), QTime(2, 30), cet),
            QDateTime(QDate(2024, 10, 27), QTime(2, 30), cet).addSecs(3600),
            QDateTime(QDate(2024, 10, 27), QTime(2, 30), Qt::LocalTime),
            QDateTime(QDate(2018, 1, 1), QTime(0, 15), Qt::OffsetFromUTC, -(3 * 3600 + 1800)),
            QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 500), Qt::UTC),
            QDateTime(QDate(999, 5, 1), QTime(12, 0), Qt::UTC), QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC),
            QDateTime()};
        for (const QDateTime &time : times)
            QTest::newRow(qPrintable(QStringLiteral("time %1").arg(time.toString(Qt::ISODateWithMs)))) << 1.0 << time;
    }

    void csvLinesAsQtWritesThem()
    {
        QFETCH(double, value);
        QFETCH(QDateTime, time);
        DataParser::ValueRec rec;
        rec.timestamp = time;
        rec.value = value;
        rec.iaks = QStringLiteral("Z\u00e4hler \"1\", Halle");
        rec.unit = QStringLiteral("m\u00b3");
        rec.importType = DataParser::IMPTYPE_EON_CSV;
        QTemporaryFile file;
        QVERIFY(file.open());
        {
            RecordCsvWriter writer(file.handle());
            writer.write(rec);
        }
        const int offset = time.offsetFromUtc();
        const QString timeText = time.isValid()
            ? time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+')
                + QTime(0, 0).addSecs(std::abs(offset)).toString(QStringLiteral("HH:mm"))
            : QString();
        const QString expected = timeText + QStringLiteral(",\"Z\u00e4hler \"\"1\"\", Halle\",EON_CSV,")
            + QString::number(value, 'g', 15) + QStringLiteral(",m\u00b3,0,false,,,\n");
        QVERIFY(file.seek(0)); // the writer moved the descriptor, not QFile
        QCOMPARE(QString::fromUtf8(file.readAll()), expected);
    }

    // A sink with a consumer hands the records on in batches of at most its size, the last one
    // when the parser is done, also after a failure; together they are the records the holding
    // road gives, in the same order, also when the file is read from disk into a spool (a gzip file
    // unpacked as a stream into it).
    // Records held compactly give back every field and kind of time they came with, oldest first and
    // in their order within the same time: the records of a sample file, then three that share no
    // text with them (an offset time, a zone's time, no valid time).
    void heldRecordsGiveBackEveryRecord_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("MSCONS: local times from offsets") << QStringLiteral("mscons/mscons_load_profile.edi");
        QTest::newRow("ebIX: UTC times") << QStringLiteral("ebix_vse_xml/ebix_two_quantities.xml");
    }

    void heldRecordsGiveBackEveryRecord()
    {
        QFETCH(QString, file);
        QList<DataParser::ValueRec> records;
        QString error;
        QVERIFY(DataParser::parse(ParsingTestSupport::readSample(file), error, records, QStringLiteral("-")));
        DataParser::ValueRec odd = records.first();
        odd.iaks = QStringLiteral("other");
        odd.ipAddress = QStringLiteral("10.0.0.1");
        odd.flagList = {3};
        for (const QDateTime &t : {QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::OffsetFromUTC, 3600),
                                   QDateTime(QDate(2024, 10, 27), QTime(2, 30), QTimeZone("Europe/Zurich")), QDateTime()}) {
            odd.timestamp = t;
            records.append(odd);
        }
        HeldRecords held;
        held.append(records);
        held.sortByTime();
        std::stable_sort(records.begin(), records.end(),
                         [](const DataParser::ValueRec &a, const DataParser::ValueRec &b) { return a.timestamp < b.timestamp; });
        const auto full = [](const DataParser::ValueRec &r) {
            return ParsingTestSupport::describe(r) + QStringLiteral("|%1|%2|%3|%4|%5|%6")
                .arg(r.timestamp.timeSpec()).arg(r.timestamp.offsetFromUtc()).arg(QString::fromLatin1(r.timestamp.timeZone().id()))
                .arg(r.ipAddress).arg(r.importType).arg(r.flagList.value(0));
        };
        QCOMPARE(held.size(), records.size());
        for (qsizetype i = 0; i < records.size(); ++i)
            QCOMPARE(full(held.at(i)), full(records.at(i)));
    }

    void recordsLeaveInBatches_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("parsed");
        QTest::newRow("whole file") << QStringLiteral("mscons/mscons_load_profile.edi") << true;
        QTest::newRow("fault after records") << QStringLiteral("mscons/mscons_wrong_message_count.edi") << false;
        QTest::newRow("gzip file") << QStringLiteral("mscons/mscons_load_profile.edi.gz") << true;
    }

    void recordsLeaveInBatches()
    {
        QFETCH(QString, file);
        QFETCH(bool, parsed);
        QFile in(QStringLiteral(QUILLON_SOURCE_DIR "/tests/data/") + file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        DataFileInput input;
        input.name = file;
        input.bytes = in.readAll();
        const DataFileResult held = DataFileReader::read(input);
        QVERIFY(!held.records.isEmpty());
        // The file read piece by piece into a spool of 100 bytes in memory: the rest goes to a
        // mapped temporary file, whose pages are given back after every batch.
        input.bytes.clear();
        input.device = &in;
        input.memoryBytes = 100;

        QList<qsizetype> batchSizes;
        QStringList batched;
        RecordSink sink([&](const RecordSink::Batch &batch) {
            batchSizes.append(batch.size());
            for (const DataParser::ValueRec &r : batch)
                batched.append(r.timestamp.toString(Qt::ISODate) + r.iaks + QString::number(r.value));
        }, 2);
        const DataFileResult streamed = DataFileReader::read(input, sink);
        QVERIFY(streamed.spool && streamed.spool->spilled());
        QCOMPARE(streamed.data, held.data);
        QCOMPARE(streamed.parsed, parsed);
        QCOMPARE(streamed.errorText, held.errorText);
        QStringList expected;
        for (const DataParser::ValueRec &r : held.records)
            expected.append(r.timestamp.toString(Qt::ISODate) + r.iaks + QString::number(r.value));
        QCOMPARE(batched, expected);
        QCOMPARE(batchSizes.size(), (expected.size() + 1) / 2);
        QVERIFY(std::all_of(batchSizes.begin(), batchSizes.end(), [](qsizetype n) { return n >= 1 && n <= 2; }));
    }

    void timesAsQtReadsThem_data()
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

    void timesAsQtReadsThem()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, pattern);
        const QDateTime reference = QDateTime::fromString(QString::fromLatin1(text), QString::fromLatin1(pattern));
        const QDateTime utc = FieldReaders::parseDateTime(QByteArrayView(text), pattern.constData(), Qt::UTC);
        QCOMPARE(utc.isValid(), reference.isValid());
        if (reference.isValid()) {
            QCOMPARE(utc.timeSpec(), Qt::UTC);
            QCOMPARE(utc.date(), reference.date());
            QCOMPARE(utc.time(), reference.time());
        }
    }

    void decodeText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("Zaehler 1") << QStringLiteral("Zaehler 1");
        QTest::newRow("utf-8") << QByteArray("Z\xc3\xa4hler") << QStringLiteral("Zähler");
        QTest::newRow("latin-1") << QByteArray("Z\xe4hler") << QStringLiteral("Zähler");
        QTest::newRow("utf-8 with byte-order mark") << QByteArray("\xef\xbb\xbfID") << QStringLiteral("ID");
        QTest::newRow("cut utf-8 sequence is latin-1") << QByteArray("Gr\xc3") << QStringLiteral("Gr\u00c3");
    }

    void decodeText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(FieldReaders::decodeText(QByteArrayView(bytes)), text);
    }

    // A large input with no temporary folder to spool it into fails with a text that names the folder.
    void spoolWithoutTemporaryFolder()
    {
        const QByteArray before = qgetenv("TMPDIR");
        qputenv("TMPDIR", "/nonexistent-quillon-folder");
        DataFileInput input;
        input.name = QStringLiteral("a.edi.gz");
        input.bytes = ParsingTestSupport::readSample(QStringLiteral("mscons/mscons_load_profile.edi.gz"));
        input.memoryBytes = 100;
        const DataFileResult result = DataFileReader::read(input);
        qputenv("TMPDIR", before);
        QVERIFY(!result.parsed);
        QVERIFY2(result.errorText.startsWith(QStringLiteral("Could not create a temporary file in /nonexistent-quillon-folder: ")),
                 qPrintable(result.errorText));
    }

    void gunzip_data()
    {
        QTest::addColumn<QByteArray>("packed");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<Gunzip::Result>("result");
        QTest::addColumn<QByteArray>("plain");

        const QByteArray packed = ParsingTestSupport::readSample(QStringLiteral("mscons/mscons_load_profile.edi.gz"));
        const QByteArray plain = ParsingTestSupport::readSample(QStringLiteral("mscons/mscons_load_profile.edi"));
        const qint64 noLimit = std::numeric_limits<qint64>::max();
        using R = Gunzip::Result;

        QTest::newRow("gzip file") << packed << noLimit << R::Ok << plain;
        QTest::newRow("empty input") << QByteArray() << noLimit << R::Ok << QByteArray();
        QTest::newRow("truncated") << packed.left(packed.size() / 2) << noLimit << R::Damaged << QByteArray();
        QByteArray damaged = packed;
        damaged[damaged.size() / 2] = char(damaged.at(damaged.size() / 2) ^ 0x55);
        QTest::newRow("damaged") << damaged << noLimit << R::Damaged << QByteArray();
        // A zlib stream without the gzip wrapper is not accepted (as no other text without it).
        QTest::newRow("zlib wrapper") << qCompress(plain).mid(4) << noLimit << R::Damaged << QByteArray();
        // Concatenated members unpack to the concatenated contents; trailing zeros are ignored.
        QTest::newRow("two members") << packed + packed + QByteArray(8, '\0') << noLimit << R::Ok << plain + plain;
        QTest::newRow("other data after the last member") << packed + QByteArray(8, '\0') + "x" << noLimit << R::TrailingData << plain;
        QTest::newRow("one byte over the limit") << packed << qint64(plain.size() - 1) << R::TooLarge << QByteArray();
        QTest::newRow("exactly the limit") << packed << qint64(plain.size()) << R::Ok << plain;

        // More than one input piece and output buffer of 32 KiB.
        QByteArray big;
        for (int i = 0; big.size() < 300000; ++i)
            big += QByteArray::number(i * 7919) + ';';
        QTest::newRow("large") << QByteArray() << noLimit << R::Ok << big;
    }

    void gunzip()
    {
        QFETCH(QByteArray, packed);
        QFETCH(qint64, limit);
        QFETCH(Gunzip::Result, result);
        QFETCH(QByteArray, plain);

        if (packed.isEmpty() && !plain.isEmpty()) {
            // Pack the large text with the gzip tool, so that the reader is tested against it.
            QProcess gzip;
            gzip.start(QStringLiteral("gzip"), {QStringLiteral("-nc")});
            gzip.write(plain);
            gzip.closeWriteChannel();
            QVERIFY(gzip.waitForFinished(60000));
            QCOMPARE(gzip.exitCode(), 0);
            packed = gzip.readAllStandardOutput();
            QVERIFY(packed.size() > 32768 || plain.size() > 32768);
        }
        QByteArray out;
        QCOMPARE(Gunzip::gunzip(packed, out, limit), result);
        if (result == Gunzip::Result::Ok || result == Gunzip::Result::TrailingData)
            QCOMPARE(out, plain);
    }

    void dataFileRoad_data()
    {
        QTest::addColumn<RoadCase>("c");
        const QByteArray packed = ParsingTestSupport::readSample(QStringLiteral("mscons/mscons_load_profile.edi.gz"));
        // Latin-1 umlauts in its head
        const QByteArray latin1 = ParsingTestSupport::readSample(QStringLiteral("simple_csv_1/simplecsv1_latin1.csv"));
        const QByteArray utf8 = "Z\xc3\xa4hler S\xc3\xbc" "d";
        const QByteArray raw = "Z\xe4hler S\xfc" "d";
        const qint64 big = DataLimits::MaxUnpackedBytes;

        QTest::newRow("gz by name") << RoadCase{"a.edi.gz", packed, false, "", big, true, "", "UNH+"};
        QTest::newRow("GZ is no gzip name") << RoadCase{"a.edi.GZ", packed, false, "", big, false, "", packed.left(10)};
        QTest::newRow("data after the last member: the members parsed") << RoadCase{"a.edi.gz", packed + "junk", false, "", big, true, "tail", "UNH+"};
        QTest::newRow("damaged gzip goes on packed") << RoadCase{"a.gz", packed.left(40), false, "", big, false, "gunzip", packed.left(40)};
        QTest::newRow("unpacked past the limit") << RoadCase{"a.gz", packed, false, "", 1000, false, DataFileReader::tooLargeText(1000), ""};
        QTest::newRow("Latin-1 part") << RoadCase{"a.csv", latin1, true, "ISO-8859-1", big, true, "", utf8};
        QTest::newRow("US-ASCII read as Latin-1") << RoadCase{"a.csv", latin1, true, "US-ASCII", big, true, "", utf8};
        QTest::newRow("plain file keeps its bytes") << RoadCase{"a.csv", latin1, false, "ISO-8859-1", big, true, "", raw};
        QTest::newRow("unknown set leaves the bytes") << RoadCase{"a.csv", latin1, true, "NO-SUCH-SET", big, true, "codec", raw};
    }

    void dataFileRoad()
    {
        QFETCH(RoadCase, c);
        DataFileInput input;
        input.name = c.name;
        input.bytes = c.bytes;
        input.convertCharset = c.convert;
        input.charsetName = c.charset;
        input.maxUnpackedBytes = c.limit;
        const DataFileResult result = DataFileReader::read(input);
        QCOMPARE(result.parsed, c.parsed);
        QCOMPARE(result.gunzipFailed, c.problem == QLatin1String("gunzip"));
        QCOMPARE(result.gunzipTrailingData, c.problem == QLatin1String("tail"));
        QCOMPARE(result.codecMissing, c.problem == QLatin1String("codec"));
        if (c.problem.size() > 6)
            QCOMPARE(result.errorText, c.problem);
        QVERIFY(result.data.contains(c.dataHas));
        QCOMPARE(result.records.isEmpty(), !c.parsed);
    }
};

QTEST_GUILESS_MAIN(TestParseHelpers)
#include "tst_parsehelpers.moc"
