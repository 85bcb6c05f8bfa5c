// links: quillon_ui quillon_trend KyrIpc Qt6::Widgets
// Opening a year of quarter-hour values in the trend window: a store file with 35,040 trend rows
// for each of kPoints points (two missing days and some rows with a state not 0 in the one
// shown), then, kRounds times, the rows read from the file, the chart built from them, and the
// window opened on the point up to its first painted picture. Prints the median of each in
// milliseconds. Usage: bench_trend_window [folder]  (for the store file, default a temporary one).

#include "KyrIpc/Message.h"
#include "KyrIpc/StoreFile.h"
#include "trend/SqliteTrendReader.h"
#include "trend/TrendChart.h"
#include "trend/TrendCurves.h"
#include "ui/TrendWindow.h"

#include <QApplication>
#include <QChart>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRowsPerPoint = 365 * 96;
constexpr int kPoints = 10;
constexpr int kRounds = 7;
constexpr qint64 kQuarterMs = 15 * 60 * 1000;
const QDateTime kStart(QDate(2023, 1, 1), QTime(0, 0), QTimeZone::utc());
const QString kShown = QStringLiteral("Site:Meter0:Energy");

bool writeStore(const QString &path)
{
    Orvane::StoreFile file(path);
    if (!file.isOpen() || !file.setSynchronousFull(false))
        return false;
    using Db = Orvane::StoreDatabase;
    for (int p = 0; p < kPoints; ++p) {
        const QString point = QStringLiteral("Site:Meter%1:Energy").arg(p);
        std::deque<Db::Change> batch{
            Db::PointRow{QStringLiteral("DMS"), point, Orvane::FLT, 0.0, 0},
            Db::PointRow{QStringLiteral("DMS"), point + QStringLiteral(":Unit"), Orvane::STR, QStringLiteral("kWh"), 0}};
        for (int i = 0; i < kRowsPerPoint; ++i) {
            const bool missing = (i / 96 == 100 || i / 96 == 250); // two days without rows
            if (missing)
                continue;
            const double value = 20 + 15 * std::sin(i * 2 * M_PI / 96) + (i % 7);
            const quint32 state = i % 997 == 0 ? 65538u : 2u;
            batch.push_back(Db::TrendRow{QStringLiteral("PDBS"), kStart.toMSecsSinceEpoch() + i * kQuarterMs, value,
                                         state, point});
        }
        if (file.write(batch) != Db::WriteResult::Committed)
            return false;
    }
    return true;
}

double medianMs(const std::function<void()> &step)
{
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const QString path = QDir(folder).filePath(QStringLiteral("bench_trend_window.sqlite"));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    if (!writeStore(path)) {
        std::printf("cannot write %s\n", qPrintable(path));
        return 1;
    }
    const qint64 from = kStart.toMSecsSinceEpoch();
    const qint64 to = from + qint64(kRowsPerPoint) * kQuarterMs;

    SqliteTrendReader reader(path);
    qsizetype rows = 0;
    const double readMs = medianMs([&] { rows = reader.rows(kShown, from, to).samples.size(); });
    const TrendCurves curves = TrendCurves::read(reader, {kShown}, from, to);
    const double chartMs = medianMs([&] { delete TrendChart::build(curves, from, to); });
    const double windowMs = medianMs([&] {
        TrendWindow window(QStringLiteral("Quillon"), std::make_unique<SqliteTrendReader>(path));
        window.showPoints({kShown}, QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
        window.show();
        window.grab();
    });
    std::printf("store: %d points x %d quarter hours (%lld rows of the shown point, %d gaps)\n", kPoints,
                kRowsPerPoint, qlonglong(rows), curves.gapCount());
    std::printf("read the rows of one point:          %8.1f ms\n", readMs);
    std::printf("build the chart:                      %8.1f ms\n", chartMs);
    std::printf("open the window on it, first picture: %8.1f ms\n", windowMs);
    return 0;
}
