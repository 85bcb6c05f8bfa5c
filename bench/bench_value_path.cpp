// links: quillon_dms KyrIpc
// Throughput of the value path: one mail's records handed to a running DMS handler through
// addMailValue up to the end-of-mail marker, named through a mapping table of 500 wildcard
// entries, written to the embedded store (PDBS trend rows, or DMS points). Prints values per
// second for a first mail (points created, mapping cache cold), a second mail of the same points,
// and for values that carry a value script: before, every script ran in a new engine (measured
// with a script that still does, "Value * 1000;"), and after, with the compiled "Value * 1000"
// called in the handler thread's engine. A last block gives the cost of one evaluation alone.

#include "dms/DmsHandler.h"
#include "naming/NamingScript.h"

#include "KyrIpc/PointStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

constexpr int Points = 1000;
constexpr int MappingEntries = 500;

DmsConfig benchConfig(bool toPdbs, const QString &script)
{
    static int run = 0;
    ++run;
    DmsConfig cfg;
    cfg.dmsConnection = QStringLiteral("bench-dms-%1").arg(run);
    cfg.pdbsConnection = QStringLiteral("bench-pdbs-%1").arg(run);
    cfg.prefix = QStringLiteral("SITE");
    cfg.writeDataToPdbs = toPdbs;
    cfg.maxLastUpdate = 90;
    for (int i = 0; i < MappingEntries; ++i) {
        MappingEntry m;
        m.imported = QStringLiteral("SITE:G%1:*").arg(i);
        m.dmsAks = QStringLiteral("BLD%1:%IAKS3%:%IAKS4%").arg(i);
        m.script = script;
        cfg.mappings.append(m);
    }
    return cfg;
}

QList<DataParser::ValueRec> mailRecords(int values, const QDateTime &start)
{
    QList<DataParser::ValueRec> recs;
    recs.reserve(values);
    const int perPoint = qMax(1, values / Points);
    for (int n = 0; n < perPoint; ++n) {
        for (int p = 0; p < Points && recs.size() < values; ++p) {
            DataParser::ValueRec r;
            r.timestamp = start.addSecs(qint64(n) * 900);
            // Points spread over the whole table: the later entries are found last.
            r.iaks = QStringLiteral("G%1:M%2:1.8.0").arg(p % MappingEntries).arg(p);
            r.value = n + p * 0.001;
            r.importType = DataParser::ImportType(3);
            r.serialNumber = QStringLiteral("SN%1").arg(p);
            recs.append(r);
        }
    }
    return recs;
}

struct Timing
{
    double wall; // seconds until the marker was processed
    double cpu;  // processor seconds of the whole process (feeding thread and handler thread)
};

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Hands one mail to the handler and measures the time until its marker was processed.
Timing runMail(DmsHandler &handler, const QList<DataParser::ValueRec> &recs)
{
    QEventLoop loop;
    const auto connection = QObject::connect(&handler, &DmsHandler::sigDmsInfo, &loop, [&](const QString &info) {
        if (info == QStringLiteral("Idle"))
            loop.quit();
    });
    QElapsedTimer timer;
    const double cpuStart = processCpuSeconds();
    timer.start();
    for (const DataParser::ValueRec &r : recs)
        handler.addMailValue(r);
    DataParser::ValueRec marker;
    marker.timestamp = QDateTime::currentDateTime();
    marker.iaks = marker.aks = QStringLiteral("ENDMAILCHECK");
    handler.addMailValue(marker);
    loop.exec();
    QObject::disconnect(connection);
    return {timer.nsecsElapsed() / 1e9, processCpuSeconds() - cpuStart};
}

void bench(const char *label, bool toPdbs, int values, const QString &script = QString())
{
    const DmsConfig cfg = benchConfig(toPdbs, script);
    DmsTiming timing;
    timing.asyncUpDelayMs = 1;
    DmsHandler handler(cfg, timing);
    QEventLoop ready;
    QObject::connect(&handler, &DmsHandler::sigDmsReady, &ready, &QEventLoop::quit);
    handler.start();
    ready.exec();

    const QDateTime start = QDateTime::currentDateTime().addDays(-2);
    const auto first = mailRecords(values, start);
    const auto second = mailRecords(values, start.addDays(1));
    const Timing t1 = runMail(handler, first);
    const Timing t2 = runMail(handler, second);
    // The CPU figure is the one to compare on a shared machine: wall time includes waiting for
    // other processes.
    std::printf("%-28s %7d values: first mail %8.0f values/s wall, %8.0f values/s CPU (%.2f s / %.2f s); "
                "second mail %8.0f values/s wall, %8.0f values/s CPU\n",
                label, values, values / t1.wall, values / t1.cpu, t1.wall, t1.cpu, values / t2.wall, values / t2.cpu);
    std::fflush(stdout);
    handler.quit();
    handler.wait();
}

// Processor time of one evaluation, alone, in the calling thread.
void benchEvaluation(const char *label, const QString &script, int rounds, bool freshEngine)
{
    DataParser::ValueRec rec;
    rec.iaks = QStringLiteral("G7:M7:1.8.0");
    rec.importType = DataParser::ImportType(3);
    rec.unit = QStringLiteral("kWh");
    double sink = 0;
    const double start = processCpuSeconds();
    for (int i = 0; i < rounds; ++i) {
        rec.value = i;
        const NamingScript::Result r = freshEngine ? NamingScript::evaluateInFreshEngine(script, rec) : NamingScript::evaluate(script, rec);
        sink += r.text.size();
    }
    const double seconds = processCpuSeconds() - start;
    std::printf("%-28s %-44s %10.2f us CPU per evaluation (%d evaluations)%s\n", label, qPrintable(script),
                seconds / rounds * 1e6, rounds, sink < 0 ? "!" : "");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("QuillonBench"));
    qunsetenv("ServiceMode");
    qunsetenv("ORVANE_CURRENT_PROJECT_LOCATION"); // the store in memory: no file of a real project
    std::printf("value path: %d points, mapping table of %d wildcard entries\n", Points, MappingEntries);
    const bool tzGiven = !qEnvironmentVariableIsEmpty("TZ");
    std::printf("TZ %s\n", tzGiven ? "set by the caller" : "unset: the C library checks /etc/localtime at every local-time conversion");
    bench("to the PDBS (trend rows)", true, 100000);
    bench("to the DMS (points)", false, 100000);
    if (!tzGiven) {
        // The same with the zone named once: local times of the records cost no file checks.
        qputenv("TZ", ":/etc/localtime");
        tzset();
        std::printf("TZ=:/etc/localtime\n");
        bench("to the PDBS (trend rows)", true, 100000);
        bench("to the DMS (points)", false, 100000);
    }
    // "plain" as argument leaves out the script runs, "before" the slow one with new engines.
    if (app.arguments().contains(QStringLiteral("plain")))
        return 0;
    if (!app.arguments().contains(QStringLiteral("after")))
        bench("PDBS, script, new engines", true, 2000, QStringLiteral("Value * 1000;"));
    bench("PDBS, script, compiled", true, 100000, QStringLiteral("Value * 1000"));
    bench("DMS, script, compiled", false, 100000, QStringLiteral("Value * 1000"));
    const QString rds = QStringLiteral("'BLD:' + IAKS2 + ':' + IAKS3.toLowerCase()");
    benchEvaluation("one evaluation, new engine", QStringLiteral("Value * 1000"), 300, true);
    benchEvaluation("one evaluation, compiled", QStringLiteral("Value * 1000"), 200000, false);
    benchEvaluation("one evaluation, new engine", rds, 300, true);
    benchEvaluation("one evaluation, compiled", rds, 200000, false);
    return 0;
}
