// links: quillon_parsing
// Throughput of the MSCONS parser through DataParser::parse: a load-profile interchange of many
// meters (one message per meter, quarter-hour values over several days, each value with its
// interval start and end, a few replaced values), generated in memory (over 50 MB) and parsed
// several times on one core. The best run is reported in MB/s and values/s.

#include "parsing/DataParser.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QDate>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>
#include <malloc.h>

namespace {

constexpr int meters = 2000;
constexpr int days = 4;
constexpr int runs = 5;

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
    std::printf("best of %d runs on one core (processor time): %.1f MB/s, %.0f values/s\n", runs, data.size() / 1e6 / bestSeconds,
                expected / bestSeconds);
    return 0;
}
