// links: Qt6::Core
// One large data file per family (MSCONS load profile, Eon CSV), of a size given in MiB, run
// through quillon-parse and through quillon-tool import, search and export-sqlite the way an
// operator runs them (build both first; they are looked for next to this program's build folder).
// For each run: wall time, lines or records per second and the child's peak resident memory as
// the kernel accounts it (wait4), beside the goal of staying below 256 MiB.
// bench_large_file [MiB per file, default 512] [mscons|eon|both, default both]

#include "MsconsLoadProfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr double GoalPeakMiB = 256;
constexpr double GoalParseLinesPerSecond = 1e6;

// One Eon CSV line: a meter's 96 quarter-hour values of one day.
QByteArray eonLine(int meter, const QDate &day)
{
    QByteArray line = "DE00012345678000000000000" + QByteArray::number(10000000 + meter)
        + ";1.29.0 Wirkenergie Bezug;kWh;15;" + day.toString(QStringLiteral("yyyyMMdd")).toLatin1();
    for (int i = 0; i < 96; ++i)
        line += ';' + QByteArray::number((meter * 7919 + i * 104729) % 100000) + ",125;W";
    return line + '\n';
}

// Writes a file of at most `bytes` bytes, filled as far as whole messages or lines allow (the
// largest file the tools take is exactly 512 MiB); answers the number of values in it.
qint64 generate(const QString &path, bool mscons, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    qint64 values = 0;
    if (mscons) {
        const QDateTime msconsStart(QDate(2018, 1, 1), QTime(0, 0), Qt::UTC);
        file.write("UNA:+.? '\r\nUNB+UNOC:3+9900000000001:500+9900000000002:500+180105:0800+BENCH++TL'\r\n");
        const QByteArray end = "UNZ+0000000+BENCH'\r\n";
        int meter = 0;
        for (QByteArray message = msconsMessage(0, msconsStart, 30); file.size() + message.size() + end.size() <= bytes;
             message = msconsMessage(++meter, msconsStart, 30), values += 30 * 96)
            file.write(message);
        file.write("UNZ+" + QByteArray::number(meter) + "+BENCH'\r\n");
    } else {
        for (int day = 0;; ++day) {
            for (int meter = 0; meter < 1000; ++meter, values += 96) {
                const QByteArray line = eonLine(meter, QDate(2020, 1, 1).addDays(day));
                if (file.size() + line.size() > bytes)
                    return values;
                file.write(line);
            }
        }
    }
    return values;
}

struct Run
{
    double seconds = 0;
    double cpuSeconds = 0; // the child's processor time: on a shared machine it says more than the wall time
    double peakMiB = 0;
    int exitCode = -1;
};

// Runs a child to its end with standard output to stdoutPath; its own peak resident memory comes
// from wait4, not the maximum over all children that getrusage gives.
Run run(const QString &program, const QStringList &args, const QString &stdoutPath)
{
    QList<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString &a : args)
        bytes.append(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, QFile::encodeName(stdoutPath).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Run r;
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        r.peakMiB = usage.ru_maxrss / 1024.0;
        r.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
            + usage.ru_stime.tv_usec / 1e6;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    r.seconds = t.nsecsElapsed() / 1e9;
    posix_spawn_file_actions_destroy(&actions);
    return r;
}

void report(const char *what, const Run &r, qint64 count, const char *unit)
{
    std::printf("  %-14s %7.2f s (%.2f s processor), %10.0f %s/s, %10.0f per processor second, peak resident %7.1f MiB "
                "(goal < %.0f MiB)%s\n", what, r.seconds, r.cpuSeconds, count / r.seconds, unit, count / r.cpuSeconds,
                r.peakMiB, GoalPeakMiB, r.exitCode == 0 ? "" : " [FAILED]");
}

void benchFamily(const QString &cli, const QTemporaryDir &dir, bool mscons, qint64 bytes)
{
    const QString family = mscons ? QStringLiteral("mscons") : QStringLiteral("eon");
    const QString folder = dir.filePath(family);
    QDir().mkpath(folder);
    const QString file = folder + (mscons ? "/large.edi" : "/large.csv");
    const qint64 values = generate(file, mscons, bytes);
    std::printf("%s: %.1f MiB, %lld values\n", qPrintable(family), QFileInfo(file).size() / 1048576.0, values);

    const QString project = dir.filePath("project");
    QDir().mkpath(project + "/cfg");
    const QString out = dir.filePath("out.txt");
    const QString tool = cli + "/quillon-tool";
    const Run parsed = run(cli + "/quillon-parse", {file}, out);
    report("quillon-parse", parsed, values, "lines");
    std::printf("  %-14s goal %.0f lines/s\n", "", GoalParseLinesPerSecond);
    QFile::remove(out);
    report("import", run(tool, {"import", "-p", project, "--import-path", folder, "--temp-path", dir.filePath("tmp"),
                                "--direct-write", "--backup-path", dir.filePath("hist")}, out),
           values, "records");
    QDir(dir.filePath("hist")).removeRecursively();
    report("search", run(tool, {"search", "-p", project, "--search-path", folder, "--output", dir.filePath("hits.csv"),
                                "--imp-rds", "no such identifier"}, out),
           values, "records");
    report("export-sqlite", run(tool, {"export-sqlite", "-p", project, "--email-path", folder, "--output",
                                       dir.filePath("export.db")}, out),
           values, "records");
    QFile::remove(dir.filePath("export.db"));
    QFile::remove(file);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? QByteArray(argv[1]).toLongLong() : 512;
    const QByteArray families = argc > 2 ? QByteArray(argv[2]) : QByteArray("both");
    const QString cli = QCoreApplication::applicationDirPath() + "/../src/App/cli";
    for (const char *program : {"/quillon-parse", "/quillon-tool"}) {
        if (!QFile::exists(cli + program)) {
            std::fprintf(stderr, "%s not found in %s: build it first\n", program + 1, qPrintable(cli));
            return 1;
        }
    }
    QTemporaryDir dir;
    if (families != "eon")
        benchFamily(cli, dir, true, mib * 1048576);
    if (families != "mscons")
        benchFamily(cli, dir, false, mib * 1048576);
    return 0;
}
