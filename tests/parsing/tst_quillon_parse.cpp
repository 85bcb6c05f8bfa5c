// The operator tool quillon-parse, run as a process: CSV output, gzip input, error lines and
// exit codes.

#include "../common/ProcessRunner.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The tool run in Central European time.
ProcessResult runTool(const QStringList &arguments)
{
    QTemporaryDir dir;
    ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("cli/quillon-parse")), dir.path());
    runner.setEnv(QStringLiteral("TZ"), QStringLiteral("CET-1CEST,M3.5.0,M10.5.0/3"));
    return runner.run(arguments, 60000);
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
    void files_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("firstRecord");
        QTest::addColumn<QString>("errorStart");   // the start of standard error, empty: no output

        QTest::newRow("one interchange") << QStringList{sample("mscons/mscons_load_profile.edi")} << 0 << 7
                                         << firstLoadProfileLine << QString();
        QTest::newRow("gzip file is unpacked") << QStringList{sample("mscons/mscons_load_profile.edi.gz")} << 0 << 7
                                               << firstLoadProfileLine << QString();
        // The faulty file's parser returns records before its fault; none of them is printed.
        QTest::newRow("faulty and good: records of the good one, text on stderr with its name, exit 1")
            << QStringList{sample("mscons/mscons_wrong_message_count.edi"), sample("mscons/mscons_load_profile.edi")} << 1 << 7
            << firstLoadProfileLine << sample("mscons/mscons_wrong_message_count.edi") + QStringLiteral(": Wrong message count: 1/2\n");
        QTest::newRow("missing file") << QStringList{QStringLiteral("no-such-file.edi")} << 1 << 0 << QString()
                                      << QStringLiteral("no-such-file.edi: Could not open file: ");
        // The file's own name reaches the parser: the TREND format takes identifier and unit from it.
        QTest::newRow("file name reaches the parser") << QStringList{sample("trend_csv/Leistung in kW.TXT")} << 0 << 3
                                                      << QStringLiteral("2024-01-01T00:15:00+01:00,Leistung,TREND_CSV,12.5,kW,0,false,,,")
                                                      << QString();
    }

    void files()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(int, records);
        QFETCH(QString, firstRecord);
        QFETCH(QString, errorStart);

        const ProcessResult run = runTool(arguments);
        QCOMPARE(run.exitCode, exitCode);
        const QStringList out = run.standardOutput.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(out.value(0), header);
        QCOMPARE(out.size() - 1, records);
        if (records > 0)
            QCOMPARE(out.at(1), firstRecord);
        QVERIFY2(errorStart.isEmpty() ? run.standardError.isEmpty() : run.standardError.startsWith(errorStart),
                 qPrintable(run.standardError));
    }

    // Standard output that is a file gets the lines straight and is cut back when a file fails at its
    // end: the faulty file's records do not stay, and a file appended to keeps what it held.
    void outputToFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("append");
        QTest::newRow("new file") << QByteArray() << false;
        QTest::newRow("appended to") << QByteArray("earlier text\n") << true;
    }

    void outputToFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, append);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        file.close();
        QProcess tool;
        tool.setStandardOutputFile(path, append ? QIODevice::Append : QIODevice::Truncate);
        tool.start(ProcessRunner::programPath(QStringLiteral("cli/quillon-parse")),
                   {sample("mscons/mscons_load_profile.edi"), sample("mscons/mscons_wrong_message_count.edi"),
                    sample("mscons/mscons_load_profile.edi")});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), int(before.count('\n')) + 1 + 2 * 7 + 1); // the header, twice 7 records, the empty end
        QVERIFY(lines.first().startsWith(append ? QByteArray("earlier text") : QByteArray("timestamp,")));
    }

    // Fields with commas, quotes or line breaks are quoted, quotes doubled.
    void quoting()
    {
        const ProcessResult run = runTool({sample("mscons/mscons_commas_and_quotes_in_names.edi")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.standardOutput, header + QStringLiteral("\n"
                                                             "2018-01-01T00:15:00+01:00,\"A,\"\"B_1.1.1.8.0\",MSCONS,0.1,kWh,0,false,"
                                                             "1-1:1.8.0,\"S,1-R\"\"2\",\"A,\"\"B\"\n"
                                                             "2018-01-01T00:30:00+01:00,\"A,\"\"B_1.1.1.8.0\",MSCONS,123456789.123457,"
                                                             "kWh,0,false,1-1:1.8.0,\"S,1-R\"\"2\",\"A,\"\"B\"\n"));
    }

    void usage()
    {
        const ProcessResult run = runTool({});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.standardError.startsWith(QStringLiteral("Usage: quillon-parse FILE...")));
    }
};

QTEST_GUILESS_MAIN(TestQuillonParse)
#include "tst_quillon_parse.moc"
