// The offline tools as an operator runs them: quillon-tool processes over files in a temporary
// project, with a real configuration file, real SQLite databases and real history files.

#include "../common/ProcessRunner.h"
#include "../common/TestFiles.h"
#include "config/ConfigFile.h"
#include "tools/HistoryFile.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Data = QStringLiteral(QUILLON_SOURCE_DIR "/tests/data/");

// A Simple CSV 1 file: local times, one column per identifier.
QByteArray simpleCsv(const QString &names, const QStringList &rows)
{
    return (QStringLiteral("Datum;Zeit;") + names + u'\n' + rows.join(u'\n') + u'\n').toLatin1();
}

QByteArray mailWithAttachment(const QByteArray &headers, const QString &name, const QByteArray &content)
{
    return headers + "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                     "--b\r\nContent-Type: text/plain\r\n\r\nValues attached.\r\n"
                     "--b\r\nContent-Type: application/octet-stream; name=\"" + name.toLatin1() + "\"\r\n"
                     "Content-Disposition: attachment; filename=\"" + name.toLatin1() + "\"\r\n"
                     "Content-Transfer-Encoding: base64\r\n\r\n" + content.toBase64() + "\r\n--b--\r\n";
}

QByteArray historyFile(const QString &name, const QList<QPair<quint32, double>> &records)
{
    QByteArray out = HistoryFile::header(name);
    for (const auto &[seconds, value] : records) {
        Orvane::DBData r;
        r.seconds = seconds;
        r.state = HistoryFile::StateValue;
        r.value = value;
        HistoryFile::appendRecord(out, r);
    }
    return out;
}

// One project folder with its configuration file; files and tool runs below it.
class Project
{
public:
    explicit Project(const QString &prefix = QString(), const QList<MappingEntry> &mappings = {})
    {
        Configuration config;
        config.dms.prefix = prefix;
        config.dms.mappings = mappings;
        ConfigFile::write(path("p/cfg/Quillon.ini"), config, QString());
    }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    void write(const QString &relative, const QByteArray &bytes) const { QVERIFY(writeBytes(path(relative), bytes)); }
    void copy(const QString &sample, const QString &relative) const { write(relative, readBytes(Data + sample)); }
    ProcessResult tool(const QString &command, const QStringList &args, const QString &zone = QStringLiteral("UTC")) const
    {
        ProcessRunner runner(ProcessRunner::programPath(QStringLiteral("cli/quillon-tool")), m_dir.path());
        runner.setEnv(QStringLiteral("TZ"), zone);
        return runner.run(QStringList{command, QStringLiteral("-p"), path(QStringLiteral("p"))} + args, 120000);
    }
    // The usual runs over the files below src: into a database, and by the import into history files.
    ProcessResult exportSqlite(const QString &db, const QString &zone = QStringLiteral("UTC")) const
    {
        return tool(QStringLiteral("export-sqlite"), {"--email-path", path("src"), "--output", path(db)}, zone);
    }
    ProcessResult importDirect(const QString &backup, const QString &zone = QStringLiteral("UTC")) const
    {
        return tool(QStringLiteral("import"), {"--import-path", path("src"), "--temp-path", path("t"), "--direct-write",
                                               "--backup-path", path(backup)}, zone);
    }
    // The first column of the first row of a query on a database of this project.
    QString sql(const QString &db, const QString &query) const
    {
        QString value;
        {
            QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            d.setDatabaseName(path(db));
            d.open();
            QSqlQuery q(d);
            if (q.exec(query) && q.next())
                value = q.value(0).toString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return value;
    }

private:
    QTemporaryDir m_dir;
};

// A file exported into SQLite, and the first value a query on the database gives.
struct SqliteCase
{
    QString fileName;
    QByteArray content;
    QString prefix, zone, query, expected;
};

// A history file checked against the old one of the same month, and what the check reports.
struct VerifyCase
{
    QByteArray fresh, old; // old empty: no old file
    QString counts;
    QString message = {}; // a text the check logs: %1 the new file, %2 the old one
    int exitCode = 0;
};

qint64 countIn(const QString &text, const QString &pattern)
{
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(text);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

} // namespace

Q_DECLARE_METATYPE(SqliteCase)
Q_DECLARE_METATYPE(VerifyCase)

class TestTools : public QObject
{
    Q_OBJECT
private slots:
    // Sample files of every format and a mail: exported into SQLite and back into history files, they
    // must give the same files as the import tool gives from the same sources (UTC, so that both
    // reckon the same months).
    void roundTripThroughSqlite()
    {
        Project p;
        const QStringList samples{
            "ebix_vse_xml/ebix_two_quantities.xml", "eon_csv/eon_loadprofile.csv", "froeschl_csv/froeschl_latin1.csv",
            "immobox_csv/immobox_badlines.csv", "innosolv_csv/innosolv_export.csv", "lertesbox_xml/lertesbox_ilc_latin1.xml",
            "meteoschweiz_csv/meteo_tenminute.csv", "mpo_csv_02/mpo02_loadprofile.txt", "mscons/mscons_load_profile.edi.gz",
            "msd_csv/msd_export.csv", "pchart_csv/pchart_units.csv", "pirelportal_csv/pirel_two_titles.csv",
            "pvss_csv/pvss_export.csv", "siloveda_csv/siloveda_latin1.csv", "simple_csv_1/simplecsv1_latin1.csv",
            "simple_csv_3/simplecsv3_project.csv", "vattenfall_csv/vattenfall_bom.csv", "trend_csv/Leistung in kW.TXT"};
        for (const QString &sample : samples)
            p.copy(sample, QStringLiteral("src/") + sample);
        p.write(QStringLiteral("src/mail/saved.eml"),
                mailWithAttachment("Subject: values\r\n", QStringLiteral("mpo.csv"), readBytes(Data + "mpo_csv_01/mpo01_values.csv")));

        ProcessResult r = p.exportSqlite("out/values.db");
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.standardOutput.contains(QStringLiteral(", 19 files, 0 failed, 0 skipped;")), qPrintable(r.standardOutput));
        const QString rows = p.sql("out/values.db", "SELECT COUNT(*) FROM measurement");

        r = p.exportSqlite("out/values.db");
        QVERIFY2(r.standardOutput.contains(QStringLiteral(", 0 files, 0 failed, 19 skipped; 0 records")), qPrintable(r.standardOutput));
        QCOMPARE(p.sql("out/values.db", "SELECT COUNT(*) FROM measurement"), rows);

        r = p.tool("export-hdbx", {"--input-db", p.path("out/values.db"), "--backup-path", p.path("exported")});
        QCOMPARE(r.exitCode, 0);
        const qint64 written = countIn(r.standardOutput, QStringLiteral("failed, (\\d+) records"));
        QVERIFY(written > 80);
        QCOMPARE(p.importDirect("imported").exitCode, 0);

        for (const auto &[newTree, oldTree] : {std::pair{"exported", "imported"}, std::pair{"imported", "exported"}}) {
            r = p.tool("export-hdbx", {"--backup-path", p.path(newTree), "--verify-against", p.path(oldTree)});
            QCOMPARE(r.exitCode, 0);
            const QStringList lines = QString::fromUtf8(readBytes(p.path(newTree) + "/VerifyHdbx.csv")).split(u'\n', Qt::SkipEmptyParts);
            qint64 total = 0;
            for (const QString &line : lines.mid(1)) {
                const QStringList f = line.split(u';');
                total += f[1].toLongLong();
                QVERIFY2(f.mid(2).join(u';') == QStringLiteral("0;0;0;0;0;;;;"), qPrintable(line));
            }
            QCOMPARE(total, written);
        }
    }

    void exportToSqlite_data()
    {
        QTest::addColumn<SqliteCase>("row");
        const QByteArray csv = simpleCsv(QStringLiteral("Gas"), {QStringLiteral("2024/01/01;00:15:00;1,5")});
        const QByteArray mail = mailWithAttachment("Subject: x\r\n", "v.csv", csv);
        QTest::newRow("mapping gives no name")
            << SqliteCase{"a.csv", csv, "", "UTC", "SELECT dms FROM rds WHERE import = 'Gas'", "<empty>"};
        QTest::newRow("quotes, % and ; in names")
            << SqliteCase{"it's 100%; \"x\".csv", csv, "O'Neil;\"50%\"", "UTC",
                          "SELECT import || '|' || substr(file_name, length(file_name) - 17) FROM rds, file",
                          "O'Neil;\"50%\":Gas|it's 100%; \"x\".csv"};
        QTest::newRow("mail time from file name")
            << SqliteCase{"saved 2024-01-05 0615 (2).eml", mail, "", "Europe/Zurich", "SELECT ts_file FROM file", "1704431700000"};
        QTest::newRow("mail time in the autumn fold: the first 02:30")
            << SqliteCase{"saved 2024-10-27 0230.eml", mail, "", "Europe/Zurich", "SELECT ts_file FROM file", "1729989000000"};
        QTest::newRow("mail time in the spring gap: the file's own time")
            << SqliteCase{"saved 2024-03-31 0230.eml", mail, "", "Europe/Zurich", "SELECT ts_file > 1711900000000 FROM file", "1"};
        QTest::newRow("mail time from date header")
            << SqliteCase{"saved 2023-01-01 0000.eml", mailWithAttachment("Date: Fri, 5 Jan 2024 06:15:00 +0100\r\n", "v.csv", csv),
                          "", "UTC", "SELECT ts_file FROM file", "1704431700000"};
        QTest::newRow("mail with signature only")
            << SqliteCase{"signed.eml", mailWithAttachment("Subject: x\r\n", "smime.p7s", "x"), "", "UTC",
                          "SELECT result || '|' || type || '|' || cnt_values FROM file", "No file attachment|?|0"};
        QTest::newRow("file the parser refuses")
            << SqliteCase{"odd.txt", "hello\n", "", "UTC", "SELECT result FROM file", "Could not parse file: Unknown data format: hello\n"};
    }

    void exportToSqlite()
    {
        QFETCH(SqliteCase, row);
        Project p(row.prefix, {MappingEntry{true, QStringLiteral("*Gas"), QString(), QString()}});
        p.write("src/" + row.fileName, row.content);
        const ProcessResult r = p.exportSqlite("x.db", row.zone);
        QVERIFY2(r.finished, qPrintable(r.standardError));
        QCOMPARE(p.sql("x.db", row.query), row.expected);
    }

    // A value at 00:30 local time on 1 February in Zurich is still January in UTC (the Simple CSV 1
    // times are UTC): the import files
    // it by local month, the export from SQLite by UTC month. Point names keep their characters in the
    // header and lose \ / * ? " < > | : in the file name.
    void monthFolders_data()
    {
        QTest::addColumn<bool>("viaSqlite");
        QTest::addColumn<QString>("month");
        QTest::newRow("import: local month") << false << "HDADATA_202402";
        QTest::newRow("export: UTC month") << true << "HDADATA_202401";
    }

    void monthFolders()
    {
        QFETCH(bool, viaSqlite);
        QFETCH(QString, month);
        Project p;
        const QString longName = QString(200, u'L');
        p.write("src/v.csv", simpleCsv("A:B/C*1;" + longName, {"2024/01/31;23:30:00;1,5;2"}));
        const QString zone = QStringLiteral("Europe/Zurich");
        if (viaSqlite) {
            QCOMPARE(p.exportSqlite("x.db", zone).exitCode, 0);
            QCOMPARE(p.tool("export-hdbx", {"--input-db", p.path("x.db"), "--backup-path", p.path("h")}, zone).exitCode, 0);
        } else {
            QCOMPARE(p.importDirect("h", zone).exitCode, 0);
        }
        const HistoryFile::ReadResult a = HistoryFile::read(p.path("h/" + month + "/A_B_C_1.hdbx"));
        QCOMPARE(a.pointName, QStringLiteral("A:B/C*1"));
        QCOMPARE(a.records.size(), 1);
        QCOMPARE(a.records[0].seconds, 1706743800u); // 2024-01-31T23:30:00Z
        QCOMPARE(a.records[0].value, 1.5);
        QCOMPARE(HistoryFile::read(p.path("h/" + month + "/" + longName + ".hdbx")).pointName, longName.left(161));
    }

    // Direct write merges into the existing month file; a time imported again keeps one record with
    // the imported value, and a second run gives the same bytes.
    void importMergesExistingFiles()
    {
        Project p;
        p.write("h/HDADATA_202401/A.hdbx", historyFile("A", {{1704067200, 1.0}, {1704068100, 2.0}}));
        p.write("src/v.csv", simpleCsv("A", {"2024/01/01;00:15:00;5", "2024/01/01;00:30:00;6"}));
        QCOMPARE(p.importDirect("h").exitCode, 0);
        const QByteArray first = readBytes(p.path("h/HDADATA_202401/A.hdbx"));
        QCOMPARE(first, historyFile("A", {{1704067200, 1.0}, {1704068100, 5.0}, {1704069000, 6.0}}));
        QCOMPARE(p.importDirect("h").exitCode, 0);
        QCOMPARE(readBytes(p.path("h/HDADATA_202401/A.hdbx")), first);
    }

    // Rows of one point at the same time, as a query without grouping gives them: an equal value is
    // dropped silently, another value replaces the first and is logged.
    void exportSameTime_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<double>("stored");
        QTest::addColumn<bool>("logged");
        QTest::newRow("same value") << "1,5" << 1.5 << false;
        QTest::newRow("other value: the second wins") << "2,5" << 2.5 << true;
    }

    void exportSameTime()
    {
        QFETCH(QString, second);
        QFETCH(double, stored);
        QFETCH(bool, logged);
        Project p;
        p.write("src/a.csv", simpleCsv("A", {"2024/01/01;00:15:00;1,5"}));
        p.write("src/b.csv", simpleCsv("A", {"2024/01/01;00:15:00;" + second}));
        QCOMPARE(p.exportSqlite("x.db").exitCode, 0);
        const ProcessResult r = p.tool("export-hdbx", {"--input-db", p.path("x.db"), "--backup-path", p.path("h"), "--query",
                                                       "SELECT ts, value FROM measurement WHERE rfid_rds IN (%1) ORDER BY ts, value"});
        QCOMPARE(r.exitCode, 0);
        const HistoryFile::ReadResult a = HistoryFile::read(p.path("h/HDADATA_202401/A.hdbx"));
        QCOMPARE(a.records.size(), 1);
        QCOMPARE(a.records[0].value, stored);
        QCOMPARE(r.standardError.contains("Multiple values for 'A' at '2024-01-01T00:15:00.000Z' (1704068100000) - 1.5 / 2.5 - using second value"), logged);
    }

    void verification_data()
    {
        QTest::addColumn<VerifyCase>("row");
        const QByteArray one = historyFile("P", {{1000, 1.0}});
        QTest::newRow("same records") << VerifyCase{one, one, "1;0;0;0;0;0;;;;"};
        QTest::newRow("header only") << VerifyCase{HistoryFile::header("P"), HistoryFile::header("P"), "0;0;0;0;0;0;;;;"};
        QTest::newRow("torn last record") << VerifyCase{one + QByteArray(10, '\1'), one, "1;0;0;0;0;0;;;;", "Invalid data on '%1' (10)"};
        QTest::newRow("short header") << VerifyCase{QByteArray(1000, '\0'), one, "0;0;0;0;0;0;;;;", "Invalid file header on '%1'", 2};
        QTest::newRow("no old file") << VerifyCase{one, {}, "1;1;0;0;0;0;P.hdbx/;;;", "Could not open %2", 2};
        QTest::newRow("other value") << VerifyCase{historyFile("P", {{1000, 2.0}}), one, "1;0;0;0;1;0;;;;P.hdbx/"};
        QTest::newRow("other times") << VerifyCase{historyFile("P", {{2000, 1.0}}), one, "1;0;1;1;0;0;;P.hdbx/;P.hdbx/;"};
    }

    void verification()
    {
        QFETCH(VerifyCase, row);
        Project p;
        if (!row.old.isEmpty())
            p.write("old/HDADATA_197001/P.hdbx", row.old);
        p.write("new/HDADATA_197001/P.hdbx", row.fresh);
        const ProcessResult r = p.tool("export-hdbx", {"--backup-path", p.path("new") + ";" + p.path("old")});
        QCOMPARE(r.exitCode, row.exitCode);
        const QStringList lines = QString::fromUtf8(readBytes(p.path("new/VerifyHdbx.csv"))).split(u'\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1], QDir(p.path("new/HDADATA_197001")).absolutePath() + u';' + row.counts);
        row.message.replace("%1", p.path("new/HDADATA_197001/P.hdbx")).replace("%2", p.path("old/HDADATA_197001/P.hdbx"));
        QVERIFY2(r.standardError.contains(row.message), qPrintable(r.standardError));
    }

    void search_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QString>("line"); // a line of the result file, "" when not checked
        // Sources: 2024values.csv (5006:A 1.5 and 1.50000001, X 0 and 7), archive/2024old.csv
        // (5006:A 3), mscons.edi (7 MSCONS values).
        QTest::newRow("all") << QStringList{} << "3 files, 0 failed, 0 skipped; 12 records (12 found, 0 ignored)" << "";
        QTest::newRow("value 1.5 exactly") << QStringList{"--value", "1.5"} << "(1 found, 0 ignored)"
            << "%1/2024values.csv;Simple CSV 1;5006:A;;2024-01-01T00:15:00;1.5;";
        QTest::newRow("value not a number reads 0") << QStringList{"--value", "abc"} << "(1 found, 0 ignored)" << "";
        QTest::newRow("format MSCONS only") << QStringList{"--format", "MSCONS"} << "(7 found, 5 ignored)" << "";
        QTest::newRow("identifier exactly") << QStringList{"--imp-rds", "^5006"} << "(0 found, 0 ignored)" << "";
        QTest::newRow("identifier regex") << QStringList{"--imp-rds", "^5006", "--imp-rds-regex"} << "(3 found, 0 ignored)" << "";
        QTest::newRow("mapped name") << QStringList{"--mapped-rds", "BLD:A"} << "(3 found, 0 ignored)"
            << "%1/archive/2024old.csv;Simple CSV 1;5006:A;BLD:A;2024-02-01T00:15:00;3;";
        QTest::newRow("name filter skips folders") << QStringList{"--file-filter", "2024"} << "1 files, 0 failed, 2 skipped" << "";
        QTest::newRow("time range, ends included") << QStringList{"--from", "2024-01-01T00:30:00Z", "--to", "2024-02-01T00:15:00Z"}
            << "(3 found, 9 ignored)" << "";
        QTest::newRow("unit") << QStringList{"--unit", "kWh"} << "(7 found, 0 ignored)" << "";
    }

    void search()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, counts);
        QFETCH(QString, line);
        Project p({}, {MappingEntry{true, QStringLiteral("5006:*"), QStringLiteral("BLD:%IAKS2%"), QString()}});
        p.write("src/2024values.csv", simpleCsv("5006:A;X", {"2024/01/01;00:15:00;1,5;0", "2024/01/01;00:30:00;1,50000001;7"}));
        p.write("src/archive/2024old.csv", simpleCsv("5006:A", {"2024/02/01;00:15:00;3"}));
        p.copy("mscons/mscons_load_profile.edi", "src/mscons.edi");
        const ProcessResult r = p.tool("search", QStringList{"--search-path", p.path("src"), "--output", p.path("hits.csv")} + args);
        QVERIFY2(r.standardOutput.contains(counts), qPrintable(r.standardOutput));
        const QStringList hits = QString::fromUtf8(readBytes(p.path("hits.csv"))).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(hits.value(0), QStringLiteral("Filename;Format;ImportRds;DmsRds;Timestamp;Value;Unit"));
        if (!line.isEmpty())
            QVERIFY2(hits.contains(line.arg(QDir(p.path("src")).absolutePath())), qPrintable(hits.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestTools)
#include "tst_tools.moc"
