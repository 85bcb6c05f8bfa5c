// The offline tools as an operator runs them: quillon-tool processes over files in a temporary
// project, with a real configuration file, real SQLite databases and real history files.

#include "../common/JsonCases.h"
#include "../common/SqliteQuery.h"
#include "../common/ProcessRunner.h"
#include "../common/TestFiles.h"
#include "config/ConfigFile.h"
#include "fixtures/MeterMails.h"
#include "tools/HistoryFile.h"
#include "tools/TemporaryPointFiles.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Data = QStringLiteral(QUILLON_SOURCE_DIR "/tests/data/");
const QString kCases = QStringLiteral("tests/tools/data/tools.json");

// A Simple CSV 1 file: local times, one column per identifier.
QByteArray simpleCsv(const QString &names, const QStringList &rows)
{
    return (QStringLiteral("Datum;Zeit;") + names + u'\n' + rows.join(u'\n') + u'\n').toLatin1();
}

// A mail with one attachment per (name, content) pair.
QByteArray mailWithAttachments(const QByteArray &headers, const QList<QPair<QString, QByteArray>> &attachments)
{
    QByteArray mail = headers + "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                                "--b\r\nContent-Type: text/plain\r\n\r\nValues attached.\r\n";
    for (const auto &[name, content] : attachments)
        mail += "--b\r\nContent-Type: application/octet-stream; name=\"" + name.toLatin1() + "\"\r\n"
                "Content-Disposition: attachment; filename=\"" + name.toLatin1() + "\"\r\n"
                "Content-Transfer-Encoding: base64\r\n\r\n" + content.toBase64() + "\r\n";
    return mail + "--b--\r\n";
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
    QString sql(const QString &db, const QString &query) const { return sqliteValue(path(db), query).toString(); }

private:
    QTemporaryDir m_dir;
};

qint64 countIn(const QString &text, const QString &pattern)
{
    const QRegularExpressionMatch m = QRegularExpression(pattern).match(text);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

} // namespace

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
        const QJsonArray samples = JsonCases::load(kCases, QStringLiteral("roundTripSamples"));
        QCOMPARE(samples.size(), 18);
        for (const QString &sample : JsonCases::strings(samples))
            p.copy(sample, QStringLiteral("src/") + sample);
        p.write(QStringLiteral("src/mail/saved.eml"),
                mailWithAttachments("Subject: values\r\n", {{QStringLiteral("mpo.csv"), readBytes(Data + "mpo_csv_01/mpo01_values.csv")}}));

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

    // A file exported into SQLite, and the first value a query on the database gives. The file holds
    // the row's text, or a mail with one attachment (and a second one that the parser refuses when
    // the row says so); both hold a Simple CSV 1 value of Gas unless the row gives other text.
    void exportToSqlite_data() { JsonCases::addRows(kCases, QStringLiteral("exportToSqlite")); }

    void exportToSqlite()
    {
        QFETCH(const QJsonObject, row);
        const auto text = [&](const char *key, const QString &otherwise = {}) {
            return row[QLatin1String(key)].toString(otherwise);
        };
        const QString csv = QString::fromLatin1(simpleCsv(QStringLiteral("Gas"), {QStringLiteral("2024/01/01;00:15:00;1,5")}));
        QByteArray content = text("text", csv).toLatin1();
        if (row.contains(QStringLiteral("attachment"))) {
            QList<QPair<QString, QByteArray>> attachments{{text("attachment"), text("attachmentText", csv).toLatin1()}};
            if (row[QStringLiteral("badAttachment")].toBool())
                attachments.append({QStringLiteral("odd.txt"), QByteArray("hello\n")});
            content = mailWithAttachments(text("headers", "Subject: x\r\n").toLatin1(), attachments);
        }
        Project p(text("prefix"), {MappingEntry{true, QStringLiteral("*Gas"), QString(), QString()}});
        p.write("src/" + text("file"), content);
        const ProcessResult r = p.exportSqlite("x.db", text("zone", "UTC"));
        QVERIFY2(r.finished, qPrintable(r.standardError));
        QCOMPARE(p.sql("x.db", text("query")), text("expected"));
    }

    // A saved mail's parts as the export reads them: the attachment (four MSCONS values) inside
    // `wraps` nested multiparts, the last with a multipart that does not decode beside it when the
    // row names its kind; the file's result and value count, and the log line of a failure.
    void savedMailParts_data() { JsonCases::addRows(kCases, QStringLiteral("savedMailParts")); }

    void savedMailParts()
    {
        QFETCH(const QJsonObject, row);
        using namespace MeterMails;
        const QByteArray values = attachment("v.edi", mscons("WALK", 4, 1, QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC)));
        const QByteArray beside = row[QStringLiteral("beside")].toString().toLatin1();
        QByteArray entity = multipart("mixed", beside.isEmpty() ? QList{values} : QList{multipartWithoutBoundary(beside), values});
        for (int wrap = 1; wrap < row[QStringLiteral("wraps")].toInt(1); ++wrap)
            entity = multipart("mixed", {entity});
        Project p;
        p.write("src/saved.eml", mail(QStringLiteral("saved"), QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100"), entity));
        const ProcessResult r = p.exportSqlite("x.db");
        QCOMPARE(p.sql("x.db", "SELECT result || '|' || cnt_values FROM file"), row[QStringLiteral("expected")].toString());
        const QString log = "Export EMail " + p.path("src/saved.eml") + row[QStringLiteral("log")].toString();
        QVERIFY2(!row.contains(QStringLiteral("log")) || r.standardError.contains(log), qPrintable(r.standardError));
    }

    // A value at 00:30 local time on 1 February in Zurich is still January in UTC (the Simple CSV 1
    // times are UTC): the import files
    // it by local month, the export from SQLite by UTC month. Point names keep their characters in the
    // header and lose \ / * ? " < > | : in the file name.
    void monthFolders_data() { JsonCases::addRows(kCases, QStringLiteral("monthFolders")); }

    void monthFolders()
    {
        QFETCH(const QJsonObject, row);
        const QString month = row[QStringLiteral("month")].toString();
        Project p;
        const QString longName = QString(200, u'L');
        p.write("src/v.csv", simpleCsv("A:B/C*1;" + longName, {"2024/01/31;23:30:00;1,5;2"}));
        const QString zone = QStringLiteral("Europe/Zurich");
        if (row[QStringLiteral("viaSqlite")].toBool()) {
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

    // Points whose file names start with "." (and the source file too) are files like any other: every
    // record reaches its history file, without or with direct write, and the verification compares
    // them. A point whose file name the file system refuses drops its records: the run names them and
    // ends with exit code 2. No temporary file stays behind either way.
    void importPointFiles_data() { JsonCases::addRows(kCases, QStringLiteral("importPointFiles")); }

    void importPointFiles()
    {
        QFETCH(const QJsonObject, row);
        const QString point = row[QStringLiteral("point")].toString().replace("%L", QString(300, u'L'));
        Project p;
        p.write("src/.saved.csv", simpleCsv("A;" + point, {"2024/01/01;00:15:00;1,5;2", "2024/01/01;00:30:00;2,5;3"}));
        const bool direct = row[QStringLiteral("directWrite")].toBool();
        const ProcessResult r = direct ? p.importDirect("h")
                                       : p.tool("import", {"--import-path", p.path("src"), "--temp-path", p.path("t")});
        QCOMPARE(r.exitCode, row[QStringLiteral("exitCode")].toInt());
        QVERIFY2(r.standardOutput.contains(row[QStringLiteral("counts")].toString()), qPrintable(r.standardOutput));
        QVERIFY2(r.standardError.contains(row[QStringLiteral("log")].toString()), qPrintable(r.standardError));
        QCOMPARE(QDir(p.path("t")).entryList({"*.mitmp"}, QDir::Files | QDir::Hidden), QStringList());
        const QString folder = direct ? QStringLiteral("h/HDADATA_202401/") : QStringLiteral("t/");
        const HistoryFile::ReadResult written = HistoryFile::read(p.path(folder + HistoryFile::safeName(point) + ".hdbx"));
        QCOMPARE(written.records.size(), row[QStringLiteral("pointRecords")].toInt());
        QCOMPARE(HistoryFile::read(p.path(folder + "A.hdbx")).records.size(), 2);
        if (row.contains(QStringLiteral("verifyTotal"))) {
            QCOMPARE(p.importDirect("old").exitCode, 0);
            QCOMPARE(p.tool("export-hdbx", {"--backup-path", p.path("h"), "--verify-against", p.path("old")}).exitCode, 0);
            const QString total = row[QStringLiteral("verifyTotal")].toString();
            QVERIFY2(readBytes(p.path("h/VerifyHdbx.csv")).contains(";" + total.toUtf8() + ";0;0;0;0;0;;;;"), readBytes(p.path("h/VerifyHdbx.csv")));
        }
    }

    // An existing month file with a damaged header costs only its month: it is set aside as ".bad"
    // and counted as failed, the point's other month is written.
    void importDamagedMonthFile()
    {
        Project p;
        const QByteArray damaged(100, '\0');
        p.write("h/HDADATA_202401/A.hdbx", damaged);
        p.write("src/v.csv", simpleCsv("A", {"2024/01/01;00:15:00;5", "2024/02/01;00:15:00;6"}));
        const ProcessResult r = p.importDirect("h");
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.standardOutput.contains(QStringLiteral("== End import, 1 files, 1 failed;")), qPrintable(r.standardOutput));
        QCOMPARE(readBytes(p.path("h/HDADATA_202401/A.hdbx.bad")), damaged);
        QVERIFY(!QFile::exists(p.path("h/HDADATA_202401/A.hdbx")));
        QCOMPARE(readBytes(p.path("h/HDADATA_202402/A.hdbx")), historyFile("A", {{1706746500, 6.0}}));
    }

    // A source list (%1 the folder src) walks its folders and nothing else: entries are trimmed,
    // empty ones skipped, and a list without a folder is refused. A file beside src must never be read.
    void sourceLists_data() { JsonCases::addRows(kCases, QStringLiteral("sourceLists")); }

    void sourceLists()
    {
        QFETCH(const QJsonObject, row);
        Project p;
        p.write("src/a.csv", simpleCsv("A", {"2024/01/01;00:15:00;5"}));
        p.write("beside.csv", simpleCsv("B", {"2024/01/01;00:15:00;6"}));
        const QString sources = row[QStringLiteral("sources")].toString().replace("%1", p.path("src"));
        const bool search = row[QStringLiteral("command")].toString() == QLatin1String("search");
        const ProcessResult r = search ? p.tool("search", {"--search-path", sources, "--output", p.path("hits.csv")})
                                       : p.tool("import", {"--import-path", sources, "--temp-path", p.path("t")});
        QCOMPARE(r.exitCode, row[QStringLiteral("exitCode")].toInt());
        const QString expected = row[QStringLiteral("output")].toString();
        QVERIFY2((r.standardOutput + r.standardError).contains(expected), qPrintable(r.standardOutput + r.standardError));
    }

    // Rows of one point at the same time, as a query without grouping gives them: an equal value is
    // dropped silently, another value replaces the first and is logged.
    void exportSameTime_data() { JsonCases::addRows(kCases, QStringLiteral("exportSameTime")); }

    void exportSameTime()
    {
        QFETCH(const QJsonObject, row);
        Project p;
        p.write("src/a.csv", simpleCsv("A", {"2024/01/01;00:15:00;1,5"}));
        p.write("src/b.csv", simpleCsv("A", {"2024/01/01;00:15:00;" + row[QStringLiteral("second")].toString()}));
        QCOMPARE(p.exportSqlite("x.db").exitCode, 0);
        const ProcessResult r = p.tool("export-hdbx", {"--input-db", p.path("x.db"), "--backup-path", p.path("h"), "--query",
                                                       "SELECT ts, value FROM measurement WHERE rfid_rds IN (%1) ORDER BY ts, value"});
        QCOMPARE(r.exitCode, 0);
        const HistoryFile::ReadResult a = HistoryFile::read(p.path("h/HDADATA_202401/A.hdbx"));
        QCOMPARE(a.records.size(), 1);
        QCOMPARE(a.records[0].value, row[QStringLiteral("stored")].toDouble());
        QCOMPARE(r.standardError.contains("Multiple values for 'A' at '2024-01-01T00:15:00.000Z' (1704068100000) - 1.5 / 2.5 - using second value"),
                 row[QStringLiteral("logged")].toBool());
    }

    // A history file of point P checked against the old one of the same month (none when the row
    // has no old records), the counts of its line in the result file, and a text the check logs
    // (%1 the new file, %2 the old one). The new file may end in a torn record or be all zeros.
    void verification_data() { JsonCases::addRows(kCases, QStringLiteral("verification")); }

    void verification()
    {
        QFETCH(const QJsonObject, row);
        const auto file = [&](const char *key) {
            QList<QPair<quint32, double>> records;
            for (const QJsonValue &record : row[QLatin1String(key)].toArray())
                records.append(qMakePair(quint32(record[0].toInteger()), record[1].toDouble()));
            return historyFile("P", records);
        };
        Project p;
        if (row.contains(QStringLiteral("old")))
            p.write("old/HDADATA_197001/P.hdbx", file("old"));
        const int zeros = row[QStringLiteral("freshZeros")].toInt();
        const QByteArray tail(row[QStringLiteral("freshTail")].toInt(), '\1');
        p.write("new/HDADATA_197001/P.hdbx", zeros ? QByteArray(zeros, '\0') : file("fresh") + tail);
        const ProcessResult r = p.tool("export-hdbx", {"--backup-path", p.path("new") + ";" + p.path("old")});
        QCOMPARE(r.exitCode, row[QStringLiteral("exitCode")].toInt());
        const QStringList lines = QString::fromUtf8(readBytes(p.path("new/VerifyHdbx.csv"))).split(u'\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1], QDir(p.path("new/HDADATA_197001")).absolutePath() + u';' + row[QStringLiteral("counts")].toString());
        const QString message = row[QStringLiteral("message")].toString().replace("%1", p.path("new/HDADATA_197001/P.hdbx"))
                                    .replace("%2", p.path("old/HDADATA_197001/P.hdbx"));
        QVERIFY2(r.standardError.contains(message), qPrintable(r.standardError));
    }

    // A hit whose file name holds a line break and whose names hold ";" and quotes stays one record of
    // seven fields: those fields are quoted, their quotes doubled.
    void searchResultQuoting()
    {
        Project p(QStringLiteral("P;\"1\""));
        p.write("src/odd\nname.csv", simpleCsv("Gas", {"2024/01/01;00:15:00;1,5"}));
        const ProcessResult r = p.tool("search", {"--search-path", p.path("src"), "--output", p.path("hits.csv")});
        QCOMPARE(r.exitCode, 0);
        const QString path = QDir(p.path("src")).absolutePath() + "/odd\nname.csv";
        QCOMPARE(QString::fromUtf8(readBytes(p.path("hits.csv"))),
                 "Filename;Format;ImportRds;DmsRds;Timestamp;Value;Unit\n\"" + path
                     + "\";Simple CSV 1;\"P;\"\"1\"\":Gas\";;2024-01-01T00:15:00;1.5;\n");
    }

    // What files and mails carry reaches the log escaped and cut short, never as raw bytes: no forged
    // line, at most 20 lines of one kind of attachment failure per mail, then their count. A gzip file
    // with other data after its member is warned about and its records are kept.
    void logHygiene()
    {
        Project p;
        const QByteArray hostile = "\x1b[2J\nFORGED ERROR line\r\n\x07\xff" + QByteArray(400, 'z');
        QList<QPair<QString, QByteArray>> attachments;
        for (int i = 0; i < 25; ++i)
            attachments.append({QStringLiteral("bad%1.txt").arg(i), hostile});
        p.write("src/many.eml", mailWithAttachments("Subject: many\r\n", attachments));
        p.write("src/hostile.txt", hostile);
        p.write("src/tail.edi.gz", readBytes(Data + "mscons/mscons_load_profile.edi.gz") + "junk");
        const ProcessResult r = p.tool("search", {"--search-path", p.path("src"), "--output", p.path("hits.csv")});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.standardOutput.contains(QStringLiteral("3 files, 2 failed, 0 skipped; 7 records (7 found")), qPrintable(r.standardOutput));
        const QStringList lines = r.standardError.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.filter(QStringLiteral("Could not parse attachment bad")).size(), 20);
        QCOMPARE(lines.filter(QStringLiteral("many.eml - 5 more lines of 'Could not parse attachment' not logged")).size(), 1);
        QCOMPARE(lines.filter(QStringLiteral("Unknown data format: \\x1b[2J\\nFORGED ERROR line\\r\\n\\x07")).size(), 21);
        for (const QString &line : lines)
            QVERIFY2(!line.startsWith(QLatin1String("FORGED")), qPrintable(r.standardError));
        QVERIFY2(r.standardError.contains("Data after the last gzip member of file " + p.path("src/tail.edi.gz") + " left out"), qPrintable(r.standardError));
    }

    // The import's temporary files take back what a failed source file appended, also after it was
    // spilled there: a point's file goes back to its earlier length, a file the unit made goes, and
    // records appended outside the unit (those buffered before the source file) stay.
    void temporaryFilesTakeBackAUnit()
    {
        QTemporaryDir dir;
        const QByteArray one = historyFile(QString(), {{1000, 1.5}}).mid(HistoryFile::HeaderSize);
        TemporaryPointFiles files(dir.path() + u'/');
        QVERIFY(files.append(QStringLiteral("A"), one + one));
        files.beginUnit();
        QVERIFY(files.append(QStringLiteral("A"), one + one + one, true));
        QVERIFY(files.append(QStringLiteral("B"), one, true));
        QVERIFY(files.append(QStringLiteral("C"), one));
        files.takeBackUnit();
        QCOMPARE(files.files().size(), std::size_t(2));
        QCOMPARE(files.files().at(QStringLiteral("A")).records, 2);
        QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("A.mitmp"))).size(), HistoryFile::HeaderSize + 2 * HistoryFile::RecordSize);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("B.mitmp"))));
        QCOMPARE(files.files().at(QStringLiteral("C")).records, 1);
    }

    // A file that fails at its end, after its first batches of records have left the parser, leaves
    // nothing in any tool; a mail keeps in the export the rows of its attachment that parsed. Sources:
    // good.csv (one value), bad.edi (9,000 MSCONS values, then a wrong message count), mixed.eml (an
    // attachment of four values and one like bad.edi). Args name folders and files of the project.
    void failedFilesLeaveNothing_data() { JsonCases::addRows(kCases, QStringLiteral("failedFilesLeaveNothing")); }

    void failedFilesLeaveNothing()
    {
        QFETCH(const QJsonObject, row);
        using namespace MeterMails;
        const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
        const QByteArray bad = mscons(QStringLiteral("BAD"), 9000, 1, start).replace("UNZ+1+", "UNZ+2+");
        Project p;
        p.write("src/good.csv", simpleCsv(QStringLiteral("Gas"), {QStringLiteral("2024/01/01;00:15:00;1,5")}));
        p.write("src/bad.edi", bad);
        p.write("src/mixed.eml", mail(QStringLiteral("mixed"), QStringLiteral("Mon, 1 Jan 2024 10:00:00 +0100"),
                                      multipart("mixed", {attachment("v.edi", mscons(QStringLiteral("GOOD"), 4, 1, start)),
                                                          attachment("w.edi", bad)})));
        QStringList args = JsonCases::strings(row[QStringLiteral("args")]);
        for (qsizetype i = 1; i < args.size(); ++i)
            args[i] = args[i].startsWith(u'-') ? args[i] : p.path(args[i]);
        const ProcessResult r = p.tool(args.takeFirst(), args);
        QVERIFY2(r.standardOutput.contains(row[QStringLiteral("counts")].toString()), qPrintable(r.standardOutput));
        if (row.contains(QStringLiteral("hits")))
            QCOMPARE(readBytes(p.path("hits.csv")).count('\n'), row[QStringLiteral("hits")].toInt());
        if (row.contains(QStringLiteral("query")))
            QCOMPARE(p.sql("x.db", row[QStringLiteral("query")].toString()), row[QStringLiteral("expected")].toString());
    }

    // Sources: 2024values.csv (5006:A 1.5 and 1.50000001, X 0 and 7), archive/2024old.csv (5006:A 3),
    // mscons.edi (7 MSCONS values). Each row gives the options, the counts the tool prints, and a line
    // of the result file (%1 the source folder), when it is checked.
    void search_data() { JsonCases::addRows(kCases, QStringLiteral("search")); }

    void search()
    {
        QFETCH(const QJsonObject, row);
        const QString line = row[QStringLiteral("line")].toString();
        Project p({}, {MappingEntry{true, QStringLiteral("5006:*"), QStringLiteral("BLD:%IAKS2%"), QString()}});
        p.write("src/2024values.csv", simpleCsv("5006:A;X", {"2024/01/01;00:15:00;1,5;0", "2024/01/01;00:30:00;1,50000001;7"}));
        p.write("src/archive/2024old.csv", simpleCsv("5006:A", {"2024/02/01;00:15:00;3"}));
        p.copy("mscons/mscons_load_profile.edi", "src/mscons.edi");
        const ProcessResult r = p.tool("search", QStringList{"--search-path", p.path("src"), "--output", p.path("hits.csv")}
                                                     + JsonCases::strings(row[QStringLiteral("args")]));
        QVERIFY2(r.standardOutput.contains(row[QStringLiteral("counts")].toString()), qPrintable(r.standardOutput));
        const QStringList hits = QString::fromUtf8(readBytes(p.path("hits.csv"))).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(hits.value(0), QStringLiteral("Filename;Format;ImportRds;DmsRds;Timestamp;Value;Unit"));
        if (!line.isEmpty())
            QVERIFY2(hits.contains(line.arg(QDir(p.path("src")).absolutePath())), qPrintable(hits.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestTools)
#include "tst_tools.moc"
