// links: quillon_parsing
// The offline tools on generated meter data, run as quillon-tool processes the way an operator
// runs them (build quillon-tool first; it is looked for next to this program's build folder):
//   1. export to SQLite of 1 million records, side by side with "sqlite3 .import" of the same
//      rows into a database of the same schema: rows/s of both and their ratio;
//   2. import of 10 million records (MSCONS and Simple CSV files) into history files with direct
//      write: records/s and the tool's peak resident memory;
//   3. search over the same files: MB/s;
//   4. search over the MSCONS files alone, beside the in-process parse of the same files: MB per
//      processor second of both and their ratio.
// Each figure is printed with its goal and the load average at the time.
// bench_tools [million records of the import, default 10]

#include "MsconsLoadProfile.h"
#include "parsing/DataParser.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {

// One MSCONS interchange: meters [firstMeter, firstMeter + meters), quarter-hour values of days
// [firstDay, firstDay + days) of January 2018 and on.
QByteArray mscons(int firstMeter, int meters, int firstDay, int days)
{
    QByteArray out = "UNA:+.? '\r\nUNB+UNOC:3+9900000000001:500+9900000000002:500+180105:0800+BENCH++TL'\r\n";
    const QDateTime start = QDateTime(QDate(2018, 1, 1), QTime(0, 0), Qt::UTC).addDays(firstDay);
    for (int m = firstMeter; m < firstMeter + meters; ++m)
        out += msconsMessage(m, start, days);
    return out + "UNZ+" + QByteArray::number(meters) + "+BENCH'\r\n";
}

// One Simple CSV 1 file: columns of one group, quarter-hour rows from a start day of 2024.
QByteArray simpleCsv(int group, int columns, int firstDay, int rows)
{
    QByteArray out = "Datum;Zeit";
    for (int c = 0; c < columns; ++c)
        out += ";CSV:G" + QByteArray::number(group) + ":C" + QByteArray::number(c);
    out += '\n';
    const QDateTime start = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC).addDays(firstDay);
    for (int r = 0; r < rows; ++r) {
        out += start.addSecs(r * 900).toString(QStringLiteral("yyyy/MM/dd;HH:mm:ss")).toLatin1();
        for (int c = 0; c < columns; ++c)
            out += ';' + QByteArray::number((r * 31 + c * 17) % 10000) + ",25";
        out += '\n';
    }
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// Writes files of about `records` values, half MSCONS (20 meters x 5 days per file), half CSV
// (10 columns x 1000 rows per file); returns the bytes written.
qint64 generate(const QString &folder, qint64 records)
{
    QDir().mkpath(folder + "/mscons");
    QDir().mkpath(folder + "/csv");
    qint64 bytes = 0;
    const qint64 msconsFiles = records / 2 / 9600;
    for (qint64 f = 0; f < msconsFiles; ++f) {
        const QByteArray data = mscons(int(f % 100) * 20, 20, int(f / 100) * 5, 5);
        writeFile(QStringLiteral("%1/mscons/f%2.edi").arg(folder).arg(f), data);
        bytes += data.size();
    }
    const qint64 csvFiles = (records - msconsFiles * 9600) / 10000;
    for (qint64 f = 0; f < csvFiles; ++f) {
        const QByteArray data = simpleCsv(int(f % 50), 10, int(f / 50) * 11, 1000);
        writeFile(QStringLiteral("%1/csv/f%2.csv").arg(folder).arg(f), data);
        bytes += data.size();
    }
    return bytes;
}

struct Run
{
    double seconds = 0;    // wall time
    double cpuSeconds = 0; // processor time of the child (user and system)
    QByteArray output;
    int exitCode = -1;
};

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// Runs a child to its end. The machine may be shared: the child's processor time says more
// than the wall time then, so both are reported.
Run run(const QString &program, const QStringList &args, const QString &stdoutFile = QString())
{
    const double cpuBefore = childrenCpuSeconds();
    QProcess p;
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    p.waitForFinished(-1);
    Run r;
    r.seconds = t.nsecsElapsed() / 1e9;
    r.cpuSeconds = childrenCpuSeconds() - cpuBefore;
    r.output = p.readAllStandardOutput();
    r.exitCode = p.exitCode();
    return r;
}

QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').mid(0, 3).join(' ') : QByteArray("?");
}

double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// MB per processor second of parsing every file of folder in this process (reading not counted).
double parseMBps(const QString &folder)
{
    double seconds = 0;
    qint64 bytes = 0;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files)) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray data = file.readAll();
        QString error;
        QList<DataParser::ValueRec> values;
        const double start = threadSeconds();
        DataParser::parse(data, error, values, info.fileName());
        seconds += threadSeconds() - start;
        bytes += data.size();
    }
    return bytes / 1e6 / seconds;
}

qint64 folderBytes(const QString &folder)
{
    qint64 bytes = 0;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files))
        bytes += info.size();
    return bytes;
}

QByteArray lastLine(const QByteArray &text)
{
    const QByteArrayList lines = text.trimmed().split('\n');
    return lines.isEmpty() ? QByteArray() : lines.last();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 importRecords = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 10) * 1000000;
    const QString tool = QCoreApplication::applicationDirPath() + "/../src/App/cli/quillon-tool";
    if (!QFile::exists(tool)) {
        std::fprintf(stderr, "quillon-tool not found at %s: build it first\n", qPrintable(tool));
        return 1;
    }
    QTemporaryDir dir;
    const QString project = dir.filePath("project");
    QDir().mkpath(project + "/cfg");

    // 1. Export to SQLite, and sqlite3 .import of the same rows into the same schema.
    generate(dir.filePath("src1m"), 1000000);
    const Run exported = run(tool, {"export-sqlite", "-p", project, "--email-path", dir.filePath("src1m"), "--output", dir.filePath("export.db")});
    const QString db = dir.filePath("export.db");
    const qint64 rows = run("sqlite3", {db, "SELECT COUNT(*) FROM measurement"}).output.trimmed().toLongLong();
    run("sqlite3", {"-csv", db, "SELECT ts, value, status, rfid_file, rfid_rds FROM measurement"}, dir.filePath("rows.csv"));
    const QString schema = QStringLiteral(
        "CREATE TABLE file(id INTEGER PRIMARY KEY,file_name TEXT,type TEXT,ts_file INTEGER,ts_processed INTEGER,cnt_values INTEGER,result TEXT);"
        "CREATE TABLE rds(id INTEGER PRIMARY KEY,import TEXT,dms TEXT,type TEXT);"
        "CREATE TABLE measurement(ts INTEGER,value DOUBLE PRECISION,status INTEGER,rfid_file INTEGER,rfid_rds INTEGER,FOREIGN KEY(rfid_file) REFERENCES file(id),FOREIGN KEY(rfid_rds) REFERENCES rds(id));"
        "CREATE INDEX idx_file_rds_ts ON measurement (rfid_file, rfid_rds, ts);"
        "CREATE INDEX idx_ts ON measurement (ts);"
        "CREATE INDEX idx_rds_ts ON measurement (rfid_rds, ts);");
    run("sqlite3", {dir.filePath("peer.db"), schema});
    const Run peer = run("sqlite3", {dir.filePath("peer.db"), ".import --csv " + dir.filePath("rows.csv") + " measurement"});
    const qint64 peerRows = run("sqlite3", {dir.filePath("peer.db"), "SELECT COUNT(*) FROM measurement"}).output.trimmed().toLongLong();
    std::printf("SQLite export: %lld rows in %.2f s (%.2f s processor), %.0f rows/s, %.0f rows per processor second "
                "(parsing, naming and inserting; %s)\n", rows, exported.seconds, exported.cpuSeconds, rows / exported.seconds,
                rows / exported.cpuSeconds, lastLine(exported.output).constData());
    std::printf("sqlite3 .import: %lld rows in %.2f s (%.2f s processor), %.0f rows/s, %.0f rows per processor second\n",
                peerRows, peer.seconds, peer.cpuSeconds, peerRows / peer.seconds, peerRows / peer.cpuSeconds);
    std::printf("export / .import: %.2f by wall time, %.2f by processor time (goal >= 1.2; load %s)\n",
                (rows / exported.seconds) / (peerRows / peer.seconds), (rows / exported.cpuSeconds) / (peerRows / peer.cpuSeconds),
                loadAverage().constData());
    QDir(dir.filePath("src1m")).removeRecursively();

    // 2. Import into history files; the tool's peak resident memory from the kernel's account of
    //    the child (getrusage reports the largest child waited for).
    const qint64 bytes = generate(dir.filePath("src"), importRecords);
    const Run imported = run(tool, {"import", "-p", project, "--import-path", dir.filePath("src"), "--temp-path",
                                    dir.filePath("tmp"), "--direct-write", "--backup-path", dir.filePath("hist")});
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    std::printf("Import: %lld records in %.2f s (%.2f s processor), %.0f records/s, %.0f records per processor second, "
                "peak resident memory %.0f MiB (%s)\n", importRecords, imported.seconds, imported.cpuSeconds,
                importRecords / imported.seconds, importRecords / imported.cpuSeconds, usage.ru_maxrss / 1024.0, lastLine(imported.output).constData());

    // 3. Search the same files for one identifier.
    const Run searched = run(tool, {"search", "-p", project, "--search-path", dir.filePath("src"), "--output",
                                    dir.filePath("hits.csv"), "--imp-rds", "CSV:G7:C3"});
    std::printf("Search: %.1f MB in %.2f s (%.2f s processor), %.1f MB/s, %.1f MB per processor second (%s)\n", bytes / 1e6,
                searched.seconds, searched.cpuSeconds, bytes / 1e6 / searched.seconds, bytes / 1e6 / searched.cpuSeconds,
                lastLine(searched.output).constData());

    // 4. Search over the MSCONS files for one meter's identifier, beside parsing them in process.
    const QString msconsFolder = dir.filePath("src/mscons");
    const Run msconsSearch = run(tool, {"search", "-p", project, "--search-path", msconsFolder, "--output",
                                        dir.filePath("mscons_hits.csv"), "--imp-rds", "DE00012345678900000000000100007_1.1.1.29.0"});
    const double searchMBps = folderBytes(msconsFolder) / 1e6 / msconsSearch.cpuSeconds;
    const double parsedMBps = parseMBps(msconsFolder);
    std::printf("MSCONS search: %.1f MB per processor second; in-process parse of the same files: %.1f MB per processor "
                "second; search / parse: %.2f (goal >= 0.8; load %s) (%s)\n", searchMBps, parsedMBps, searchMBps / parsedMBps,
                loadAverage().constData(), lastLine(msconsSearch.output).constData());
    return 0;
}
