// The operator tool quillon-parse, run as a process: CSV output, gzip input, error lines and
// exit codes.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QStringList out;
    QString err;
};

Run runTool(const QStringList &arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("CET-1CEST,M3.5.0,M10.5.0/3"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QUILLON_BINARY_DIR "/src/App/cli/quillon-parse"), arguments);
    Run run;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = p.exitCode();
    run.out = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QString sample(const char *relative)
{
    return QStringLiteral(QUILLON_SOURCE_DIR "/tests/data/") + QLatin1String(relative);
}

const QString header = QStringLiteral("timestamp,iaks,importType,value,unit,state,increment,obis,description,serialNumber");
const QString firstLoadProfileLine = QStringLiteral(
    "2018-01-01T00:15:00+01:00,DE0001234567890000000000000012345_1.1.1.29.0,MSCONS,1.234,kWh,0,true,1-1:1.29.0,"
    "9900000000001-9900000000002,DE0001234567890000000000000012345");

} // namespace

class TestQuillonParse : public QObject
{
    Q_OBJECT

private slots:
    void files_data();
    void files();
    void quoting();
    void usage();
};

void TestQuillonParse::files_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("firstRecord");  // exact, or a regular expression starting with ^
    QTest::addColumn<QString>("errorStart");   // the start of standard error, empty: no output

    QTest::newRow("one interchange") << QStringList{sample("mscons/mscons_load_profile.edi")} << 0 << 7
                                     << firstLoadProfileLine << QString();
    QTest::newRow("gzip file is unpacked") << QStringList{sample("mscons/mscons_load_profile.edi.gz")} << 0 << 7
                                           << firstLoadProfileLine << QString();
    QTest::newRow("faulty file: text on stderr with its name")
        << QStringList{sample("mscons/mscons_wrong_message_count.edi")} << 1 << 0 << QString()
        << sample("mscons/mscons_wrong_message_count.edi") + QStringLiteral(": Wrong message count: 1/2\n");
    QTest::newRow("good and faulty: records of the good one, exit 1")
        << QStringList{sample("mscons/mscons_not_original.edi"), sample("mscons/mscons_load_profile.edi")} << 1 << 7
        << firstLoadProfileLine << sample("mscons/mscons_not_original.edi") + QStringLiteral(": No data found\n");
    QTest::newRow("missing file") << QStringList{QStringLiteral("no-such-file.edi")} << 1 << 0 << QString()
                                  << QStringLiteral("no-such-file.edi: Could not open file: ");
    QTest::newRow("value with two-digit year and other zone")
        << QStringList{sample("mscons/mscons_own_service_chars.edi")} << 0 << 2
        << QStringLiteral("2018-01-01T00:00:00+01:00,CH1008801234500000000000000012345_1.1.1.8.0,MSCONS,12345.678,"
                          "kWh,0,false,1-1:1.8.0,SENDER*A-RECEIVER~B,CH1008801234500000000000000012345")
        << QString();
    // The file's own name reaches the parser: the TREND format takes identifier and unit from it.
    QTest::newRow("file name reaches the parser") << QStringList{sample("trend_csv/Leistung in kW.TXT")} << 0 << -1
                                                  << QStringLiteral("^[^,]+,Leistung,TREND_CSV,[^,]+,kW,0,false,,,$")
                                                  << QString();
}

void TestQuillonParse::files()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(int, records);
    QFETCH(QString, firstRecord);
    QFETCH(QString, errorStart);

    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(!run.out.isEmpty());
    QCOMPARE(run.out.first(), header);
    if (records >= 0)
        QCOMPARE(run.out.size() - 1, records);
    if (!firstRecord.isEmpty()) {
        QVERIFY(run.out.size() > 1);
        if (firstRecord.startsWith(u'^'))
            QVERIFY2(QRegularExpression(firstRecord).match(run.out.at(1)).hasMatch(), qPrintable(run.out.at(1)));
        else
            QCOMPARE(run.out.at(1), firstRecord);
    }
    if (errorStart.isEmpty())
        QCOMPARE(run.err, QString());
    else
        QVERIFY2(run.err.startsWith(errorStart), qPrintable(run.err));
}

// Fields with commas, quotes or line breaks are quoted, quotes doubled.
void TestQuillonParse::quoting()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quoted.edi"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("UNB+UNOC:3+S,1+R\"2+1'UNH+1+MSCONS'BGM+7+1+9'LOC+172+A,\"B'PIA+5+1-1?:1.8.0:SRW'QTY+220:0.1'"
            "DTM+164:201801010015:203'QTY+220:123456789.123456789'DTM+164:201801010030:203'UNT+9+1'UNZ+1+1'");
    f.close();

    const Run run = runTool({path});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, (QStringList{
                          header,
                          QStringLiteral("2018-01-01T00:15:00+01:00,\"A,\"\"B_1.1.1.8.0\",MSCONS,0.1,kWh,0,false,"
                                         "1-1:1.8.0,\"S,1-R\"\"2\",\"A,\"\"B\""),
                          QStringLiteral("2018-01-01T00:30:00+01:00,\"A,\"\"B_1.1.1.8.0\",MSCONS,123456789.123457,"
                                         "kWh,0,false,1-1:1.8.0,\"S,1-R\"\"2\",\"A,\"\"B\""),
                      }));
}

void TestQuillonParse::usage()
{
    const Run run = runTool({});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.err.startsWith(QStringLiteral("Usage: quillon-parse FILE...")));
}

QTEST_GUILESS_MAIN(TestQuillonParse)
#include "tst_quillon_parse.moc"
