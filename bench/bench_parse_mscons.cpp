// links: quillon_parsing
// Throughput of the MSCONS parser through DataParser::parse: a load-profile interchange of many
// meters (one message per meter, quarter-hour values over several days, each value with its
// interval start and end, a few replaced values), generated in memory (over 50 MB) and parsed
// several times on one core. The best run is reported in MB/s and values/s, beside the npm
// package "edifact" (a tokenizer only) reading the same bytes in node: the package is installed
// with npm into npm/ next to this program when it is not there yet. Goals: 300 MB/s and four
// times the tokenizer's throughput.

#include "parsing/DataParser.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <malloc.h>

namespace {

constexpr int meters = 2000;
constexpr int days = 4;
constexpr int runs = 5;
constexpr double goalMBps = 300;
constexpr double goalPeerRatio = 4;

// The peer: every component of the interchange through the package's parser, best of three runs
// in processor time of the node process; prints the MB/s.
const char peerScript[] = R"(
const Parser = require('edifact/parser.js');
const doc = require('fs').readFileSync(process.argv[2], 'latin1');
let best = Infinity;
for (let r = 0; r < 3; ++r) {
    const parser = new Parser();
    parser.encoding('UNOC');
    let components = 0;
    parser.on('component', () => { ++components; });
    const start = process.cpuUsage();
    parser.write(doc);
    parser.end();
    const used = process.cpuUsage(start);
    best = Math.min(best, (used.user + used.system) / 1e6);
}
console.log((doc.length / 1e6 / best).toFixed(1));
)";

// The npm edifact tokenizer's MB/s on data, 0 when node or the package is not to be had.
double peerMBps(const QByteArray &data)
{
    const QString npmDir = QCoreApplication::applicationDirPath() + QStringLiteral("/npm");
    if (!QFileInfo::exists(npmDir + QStringLiteral("/node_modules/edifact/parser.js"))) {
        QDir().mkpath(npmDir);
        QProcess npm;
        npm.start(QStringLiteral("npm"), {"install", "--prefix", npmDir, "edifact"});
        npm.waitForFinished(300000);
    }
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("bench.edi")));
    QFile script(dir.filePath(QStringLiteral("peer.js")));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !script.open(QIODevice::WriteOnly)
        || script.write(peerScript) < 0)
        return 0;
    file.close();
    script.close();
    QProcess node;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NODE_PATH"), npmDir + QStringLiteral("/node_modules"));
    node.setProcessEnvironment(env);
    node.start(QStringLiteral("node"), {script.fileName(), file.fileName()});
    if (!node.waitForFinished(600000) || node.exitCode() != 0) {
        std::printf("npm edifact did not run: %s\n", node.readAllStandardError().left(300).constData());
        return 0;
    }
    return node.readAllStandardOutput().trimmed().toDouble();
}

QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').mid(0, 3).join(' ') : QByteArray("?");
}

QByteArray stamp(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyyMMddHHmm")).toLatin1() + "?+01:303";
}

QByteArray loadProfile(qsizetype &valueCount)
{
    QByteArray out = "UNA:+.? '\r\nUNB+UNOC:3+9900000000001:500+9900000000002:500+180105:0800+BENCH++TL'\r\n";
    valueCount = 0;
    const QDateTime start(QDate(2018, 1, 1), QTime(0, 0), Qt::UTC);
    for (int m = 0; m < meters; ++m) {
        const QByteArray ref = "M" + QByteArray::number(m);
        QByteArrayList segments{
            "UNH+" + ref + "+MSCONS:D:04B:UN:2.2e", "BGM+7+" + ref + "+9", "DTM+137:" + stamp(start.addDays(days)),
            "NAD+MS+9900000000001::293", "NAD+MR+9900000000002::293", "UNS+D", "NAD+DP",
            "LOC+172+DE00012345678900000000000" + QByteArray::number(100000 + m),
            "DTM+163:" + stamp(start), "DTM+164:" + stamp(start.addDays(days)), "LIN+1", "PIA+5+1-1?:1.29.0:SRW"};
        for (int i = 0; i < days * 96; ++i) {
            const QDateTime begin = start.addSecs(i * 900);
            segments.append("QTY+220:" + QByteArray::number(double((m * 7919 + i * 104729) % 100000) / 1000.0, 'f', 3));
            segments.append("DTM+163:" + stamp(begin));
            segments.append("DTM+164:" + stamp(begin.addSecs(900)));
            if (i % 97 == 0)
                segments.append("STS+8::293:Z74");
            ++valueCount;
        }
        segments.append("UNT+" + QByteArray::number(segments.size() + 1) + '+' + ref);
        out += segments.join("'\r\n") + "'\r\n";
    }
    out += "UNZ+" + QByteArray::number(meters) + "+BENCH'\r\n";
    return out;
}

// Processor time of this thread: the machine may be shared, wall time then says little.
double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    // Local time as the running program has it: it names the zone file in TZ at start when TZ is
    // unset, so that local-time conversions do not check the file again each time.
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    // Keep freed memory in the heap, so that later runs reuse the record list's pages the way a
    // long-running driver reuses its heap; the first run shows the cost of fresh pages.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    qsizetype expected = 0;
    const QByteArray data = loadProfile(expected);

    double bestSeconds = 0;
    for (int run = 0; run < runs; ++run) {
        QString error;
        QList<DataParser::ValueRec> values;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadSeconds();
        const bool ok = DataParser::parse(data, error, values, QStringLiteral("bench.edi"));
        const double seconds = threadSeconds() - cpuStart;
        const double wallSeconds = timer.nsecsElapsed() / 1e9;
        if (!ok || values.size() != expected) {
            std::printf("parse failed: %s (%lld of %lld values)\n", qPrintable(error), qlonglong(values.size()),
                        qlonglong(expected));
            return 1;
        }
        std::printf("run %d: %.1f MB/s, %.0f values/s (processor time; wall time %.1f MB/s)%s\n", run + 1,
                    data.size() / 1e6 / seconds, expected / seconds, data.size() / 1e6 / wallSeconds,
                    run == 0 ? ", fresh memory" : "");
        if (run == 0 || seconds < bestSeconds)
            bestSeconds = seconds;
    }
    std::printf("MSCONS load profile: %d meters, %.1f MB, %lld values\n", meters, data.size() / 1e6,
                qlonglong(expected));
    const double mbps = data.size() / 1e6 / bestSeconds;
    std::printf("best of %d runs on one core (processor time): %.1f MB/s, %.0f values/s (goal >= %.0f MB/s; load %s)\n",
                runs, mbps, expected / bestSeconds, goalMBps, loadAverage().constData());
    const double peer = peerMBps(data);
    if (peer > 0)
        std::printf("npm edifact tokenizer on the same bytes (processor time): %.1f MB/s; MSCONS / edifact: %.2f "
                    "(goal >= %.0f; load %s)\n", peer, mbps / peer, goalPeerRatio, loadAverage().constData());
    return 0;
}
