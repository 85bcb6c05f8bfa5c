// links: quillon_parsing
// Throughput of the column tables and the fallback line formats through DataParser::parse: a
// wide Simple CSV 2 table (60 meter columns, quarter-hour rows) and an Eon CSV load profile (one
// line per meter point and day with 96 value/status pairs), each about 16 MB generated in memory
// and parsed several times on one core. The best run is reported in MB/s and values/s, measured
// on the parsing thread's own CPU time (so that other load on the machine does not count) and on
// the wall clock. Local times cost a time-zone lookup each; run it with and without TZ set.

#include "parsing/DataParser.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QDateTime>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>

namespace {

constexpr qsizetype targetBytes = 16 * 1024 * 1024;
constexpr int runs = 5;

// A meter value as the exports write it, with a decimal point or a German decimal comma.
QByteArray reading(qsizetype i, bool comma)
{
    QByteArray text = QByteArray::number(double((i * 7919) % 1000000) / 1000.0, 'f', 3);
    if (comma)
        text.replace('.', ',');
    return text;
}

QByteArray simpleCsv2()
{
    constexpr int columns = 60;
    QByteArray data = "Zeitstempel";
    for (int c = 0; c < columns; ++c)
        data += ";Z\xc3\xa4hler Geb\xc3\xa4ude " + QByteArray::number(c) + " Wirkenergie";
    data += "\r\n";
    data.reserve(targetBytes + 4096);
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    for (qsizetype row = 0; data.size() < targetBytes; ++row) {
        data += start.addSecs(900 * row).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
        for (int c = 0; c < columns; ++c)
            data += ';' + reading(row * columns + c, row % 2);
        data += "\r\n";
    }
    return data;
}

QByteArray eonCsv()
{
    QByteArray data;
    data.reserve(targetBytes + 4096);
    const QDate first(2024, 1, 1);
    for (qsizetype line = 0; data.size() < targetBytes; ++line) {
        data += "DE00012345678000000000000000" + QByteArray::number(10000 + line % 500) + ";1.29.0 Wirkenergie;kWh;15;"
            + first.addDays(line / 500).toString(QStringLiteral("yyyyMMdd")).toLatin1();
        for (int q = 0; q < 96; ++q)
            data += ';' + reading(line * 96 + q, true) + (q % 50 == 0 ? ";E" : ";W");
        data += "\r\n";
    }
    return data;
}

double threadSeconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

void measure(const char *name, const QByteArray &data)
{
    double bestCpu = 1e300;
    double bestWall = 1e300;
    qsizetype count = 0;
    for (int run = 0; run < runs; ++run) {
        QList<DataParser::ValueRec> values;
        QString error;
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadSeconds();
        const bool ok = DataParser::parse(data, error, values, QStringLiteral("-"));
        bestCpu = std::min(bestCpu, threadSeconds() - cpuStart);
        bestWall = std::min(bestWall, timer.nsecsElapsed() / 1e9);
        if (!ok) {
            std::printf("%s: parse failed: %s\n", name, qPrintable(error));
            return;
        }
        count = values.size();
    }
    const double mb = data.size() / 1e6;
    std::printf("%-24s %6.1f MB %9lld values | cpu %7.1f MB/s %11.0f values/s | wall %7.1f MB/s %11.0f values/s\n",
                name, mb, static_cast<long long>(count), mb / bestCpu, count / bestCpu, mb / bestWall, count / bestWall);
}

} // namespace

int main(int argc, char **argv)
{
    // Local time as the running program has it: it names the zone file in TZ at start when TZ is
    // unset, so that local-time conversions do not check the file again each time.
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    std::printf("best of %d runs on one core, detection included, TZ %s\n", runs,
                qEnvironmentVariableIsSet("TZ") ? qPrintable(qEnvironmentVariable("TZ")) : "not set");
    measure("Simple CSV 2 (60 cols)", simpleCsv2());
    measure("Eon CSV (96 per line)", eonCsv());
    return 0;
}
