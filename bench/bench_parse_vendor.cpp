// links: quillon_parsing
// Throughput of the vendor CSV exports through DataParser::parse. Each export is generated in
// memory with a realistic shape (wide PVSS and Simple CSV 3 tables, one-channel MSD and Froeschl
// files, ...), about 8 MB each, and parsed several times; the best run is reported in MB/s and
// values/s of the parsing thread's own CPU time, so that other load on the machine does not count;
// the best wall time is shown beside it.
// Figures are given for a fresh record list per run and for a reused one.

#include "parsing/DataParser.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <time.h>

namespace {

constexpr qsizetype targetBytes = 8 * 1024 * 1024;
constexpr int runs = 5;

// Successive quarter hours from the start of 2024, as the exports write them.
QDateTime quarter(qsizetype i)
{
    return QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC).addSecs(900 * i);
}

QByteArray number(qsizetype i, bool comma)
{
    QByteArray text = QByteArray::number(double(i % 100000) / 8.0, 'f', 3);
    if (comma)
        text.replace('.', ',');
    return text;
}

QByteArray grow(const QByteArray &head, const std::function<QByteArray(qsizetype)> &line)
{
    QByteArray data = head;
    data.reserve(targetBytes + 4096);
    for (qsizetype i = 0; data.size() < targetBytes; ++i)
        data += line(i);
    return data;
}

QByteArray wideRow(qsizetype i, int columns, const char *format, bool comma)
{
    QByteArray row = quarter(i).toString(QLatin1String(format)).toLatin1();
    for (int c = 0; c < columns; ++c)
        row += ';' + number(i * columns + c, comma);
    return row + "\r\n";
}

QByteArray pvss()
{
    constexpr int columns = 40;
    QByteArray head = "SourceName:;Leitsystem Nord\r\nDPName:";
    QByteArray units = "Unit:";
    for (int c = 0; c < columns; ++c) {
        head += ";Nord_Anlage" + QByteArray::number(c) + "_Energie";
        units += ";kWh";
    }
    head += "\r\n" + units + "\r\n";
    return grow(head, [](qsizetype i) { return wideRow(i, columns, "yyyy-MM-dd HH:mm:ss", true); });
}

QByteArray simpleCsv3()
{
    constexpr int columns = 40;
    QByteArray titles = "Project: Nord";
    QByteArray units;
    for (int c = 0; c < columns; ++c) {
        titles += ";Z\xc3\xa4hler " + QByteArray::number(c);
        units += ";kWh";
    }
    return grow(titles + "\r\nExport\r\nPortal\r\nZone\r\n" + units + "\r\n",
                [](qsizetype i) { return wideRow(i, columns, "dd.MM.yyyy HH:mm", true); });
}

QByteArray immoBox()
{
    static const QByteArray channels[] = {"1-1:1.8.0", "1-1:2.8.0", "8-0:1.0.0", "6-0:1.0.0"};
    return grow("IMMO-Box Export\r\nDatum: 1.4.2025\r\nKanal,Uhrzeit,Wert,Status\r\n", [](qsizetype i) {
        return channels[i % 4] + ',' + quarter(i / 4 % 96).toString(QStringLiteral("HH:mm:ss")).toLatin1() + ','
               + number(i, false) + ",0\r\n";
    });
}

QByteArray msd()
{
    return grow(";;Z42\r\n;;Boiler house\r\n;;Lastgang\r\n;;Bezug\r\n;;1.8.0\r\n", [](qsizetype i) {
        return quarter(i).toString(QStringLiteral("dd.MM.yyyy;HH:mm:ss")).toLatin1() + ';' + number(i, true) + "\r\n";
    });
}

QByteArray froeschl()
{
    return grow("Kanal-Information\r\nBeschreibung;Heat North\r\nBeschreibung;School\r\nGer\xe4tenummer;77\r\n"
                "Einheit;kWh\r\nNachname;Muster\r\n",
                [](qsizetype i) {
                    return quarter(i).toString(QStringLiteral("dd.MM.yyyy;HH:mm")).toLatin1() + ';' + number(i, true)
                           + "\r\n";
                });
}

QByteArray innosolv()
{
    constexpr int meters = 20;
    QByteArray names, obis, units;
    for (int c = 0; c < meters; ++c) {
        names += ";Meter " + QByteArray::number(c) + ';';
        obis += ";1-1:1.8.0;S";
        units += ";kWh;";
    }
    return grow("Version;1.2\r\nCreation;01.04.2025\r\nDevice;x\r\nLocation;y\r\nInterval;15\r\nComment;\r\n" + names
                    + "\r\n" + obis + "\r\n" + units + "\r\n",
                [](qsizetype i) {
                    QByteArray row = quarter(i).toString(QStringLiteral("dd.MM.yyyy HH:mm")).toLatin1();
                    for (int c = 0; c < meters; ++c)
                        row += ';' + number(i * meters + c, true) + ";E";
                    return row + ";\r\n";
                });
}

QByteArray siloveda()
{
    return grow("Datum;Z\xe4hlerstand [MWh];Volumen [m3];E9 [kWh];Adresse;Z\xe4hler\r\n", [](qsizetype i) {
        return quarter(i / 50 * 96).toString(QStringLiteral("dd.MM.yyyy")).toLatin1() + ';' + number(i, true) + ';'
               + number(i + 1, true) + ';' + number(i + 2, true) + ";\"Seestrasse " + QByteArray::number(i % 50)
               + "\";M" + QByteArray::number(i % 50) + "\r\n";
    });
}

QByteArray pirelPortal()
{
    constexpr int columns = 20;
    QByteArray titles, units;
    for (int c = 0; c < columns; ++c) {
        titles += ";Anlage " + QByteArray::number(c);
        units += ";kWh";
    }
    return grow(titles + "\r\n" + units + "\r\n",
                [](qsizetype i) { return wideRow(i, columns, "yyyy-MM-ddTHH:mm:ss", true); });
}

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// Best CPU time (and best wall time) of parsing data, either into a fresh list each run (as the
// mail intake does) or into one list cleared between runs, which keeps its memory: the difference
// is the cost of the fresh memory pages that a fresh list of many records needs.
double bestSeconds(const QByteArray &data, bool reuseList, qsizetype &values, QString &errorText, double &bestWall)
{
    double best = 1e30;
    bestWall = 1e30;
    QList<DataParser::ValueRec> reused;
    for (int run = 0; run < runs; ++run) {
        QList<DataParser::ValueRec> fresh;
        QList<DataParser::ValueRec> &records = reuseList ? reused : fresh;
        records.clear();
        QElapsedTimer wall;
        wall.start();
        const double start = threadSeconds();
        const bool ok = DataParser::parse(data, errorText, records, QStringLiteral("-"));
        const double seconds = threadSeconds() - start;
        const double wallSeconds = wall.nsecsElapsed() / 1e9;
        if (!ok)
            return -1;
        values = records.size();
        best = std::min(best, seconds);
        bestWall = std::min(bestWall, wallSeconds);
    }
    return best;
}

void measure(const char *name, const QByteArray &data)
{
    qsizetype values = 0;
    QString errorText;
    double freshWall = 0;
    double reusedWall = 0;
    const double fresh = bestSeconds(data, false, values, errorText, freshWall);
    const double reused = bestSeconds(data, true, values, errorText, reusedWall);
    if (fresh < 0 || reused < 0) {
        std::printf("%-14s FAILED: %s\n", name, qPrintable(errorText));
        return;
    }
    const double megabytes = data.size() / 1e6;
    std::printf("%-14s %6.2f MB %8lld values | fresh list %6.1f MB/s (wall %6.1f) %9.0f values/s | reused list "
                "%6.1f MB/s (wall %6.1f)\n",
                name, megabytes, static_cast<long long>(values), megabytes / fresh, megabytes / freshWall,
                values / fresh, megabytes / reused, megabytes / reusedWall);
}

} // namespace

int main(int argc, char **argv)
{
    // Local time as the running program has it: it names the zone file in TZ at start when TZ is
    // unset, so that local-time conversions do not check the file again each time.
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    std::printf("Vendor CSV parsing, best of %d runs, CPU time of one core\n", runs);
    measure("PVSS", pvss());
    measure("Simple CSV 3", simpleCsv3());
    measure("IMMO Box", immoBox());
    measure("MSD", msd());
    measure("Froeschl", froeschl());
    measure("Innosolv", innosolv());
    measure("SILOVEDA", siloveda());
    measure("Pirel-Portal", pirelPortal());
    return 0;
}
